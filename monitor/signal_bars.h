// What the signal bars show: one bar per signal, its height by SNR, grouped
// by constellation in the legend's order, a satellite's signals side by side.
#ifndef ORVOGPS_MONITOR_SIGNAL_BARS_H
#define ORVOGPS_MONITOR_SIGNAL_BARS_H

#include <cstdint>

#include <nmea/navigation.h>

// SNR at the top of the scale; stronger signals are drawn at full height.
constexpr float BAR_FULL_SCALE_DBHZ = 60.0f;

struct SignalBar {
  int32_t style;     // index in ConstellationStyles
  int32_t svid;
  int32_t signalId;  // GPS_UNKNOWN when the receiver does not say
  int32_t used;
  float snr;         // NaN when the signal is not tracked
  float height;      // 0 to 1 of the scale; 0 when not tracked
  int32_t startsGroup;      // 1 for the first bar of a constellation
  int32_t startsSatellite;  // 1 for the first bar of a satellite; only it is labelled
  char label[8];            // "G5" on a satellite's first bar, else empty
};

// The sky's signals as bars, in drawing order; returns how many (at most
// capacity).  Signals of a constellation the monitor does not know are left
// out.
int32_t LayOutSignalBars(const GpsSky& sky, SignalBar* bars, int32_t capacity);

#endif
