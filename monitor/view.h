// What the monitor shows: the latest epoch's fix and sky, and what the plot
// and the bars make of the sky.  Written and read on the UI thread only.
#ifndef ORVOGPS_MONITOR_VIEW_H
#define ORVOGPS_MONITOR_VIEW_H

#include <cstdint>

#include <nmea/navigation.h>

#include "monitor/signal_bars.h"
#include "monitor/sky_view.h"
#include "monitor/steadiness.h"

struct MonitorView {
  bool hasEpoch;
  GpsFix fix;
  GpsSky sky;
  SatelliteMark marks[GPS_SKY_SIZE];
  int32_t markCount;
  SignalBar bars[GPS_SKY_SIZE];
  int32_t barCount;
};

extern MonitorView gView;
// The positions of the epochs since the Start or the last Reset.
extern Steadiness gSteadiness;

// Takes the sky apart into marks and bars and keeps the position; the fix
// and sky are gView's own.
void ViewUpdate();
// Nothing to show: before the first epoch of a Start.
void ViewClear();

#endif
