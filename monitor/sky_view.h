// What the sky plot draws: one mark per satellite, however many signals it
// sends, placed by elevation and azimuth on a circle whose rim is the horizon
// and whose centre is the zenith.
#ifndef ORVOGPS_MONITOR_SKY_VIEW_H
#define ORVOGPS_MONITOR_SKY_VIEW_H

#include <cstdint>

#include <nmea/navigation.h>

struct SatelliteMark {
  int32_t constellation;
  int32_t svid;
  int32_t used;       // 1 when any of its signals is used in the fix
  float elevation;    // degrees; NaN when no signal of it says
  float azimuth;      // degrees true; NaN when no signal of it says
  float snr;          // its strongest signal's, dB-Hz; NaN when none is tracked
  char label[8];      // "G5", "R21", "S123"
};

// The satellites of the sky in the order their first signals come, one mark
// each; returns how many went into marks (at most capacity).  Satellites of a
// constellation the monitor does not know are left out.
int32_t CollectSatellites(const GpsSky& sky, SatelliteMark* marks, int32_t capacity);

// "G5": the constellation's letter and the satellite's own number, into
// label (8 characters); "?5" for an unknown constellation.
void SatelliteLabel(int32_t constellation, int32_t svid, char* label);

struct PlotPoint {
  double x, y;
};

// Where a direction lies on a plot of the given centre and horizon radius, in
// window coordinates (y grows downwards): north up, east right, the zenith at
// the centre, elevation 0 on the rim.  Elevations below 0 are drawn on the
// rim.
PlotPoint SkyPlotPoint(double centreX, double centreY, double radius, float elevation, float azimuth);

#endif
