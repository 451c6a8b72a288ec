// Where the sky plot writes its satellites' labels: beside each mark, on
// the first of the places around it where the label touches no other label,
// no mark and stays on the plot; a label with no such place is left out (the
// plot's tooltip names every mark).  Used satellites are placed first.
#ifndef ORVOGPS_MONITOR_SKY_LABELS_H
#define ORVOGPS_MONITOR_SKY_LABELS_H

#include <cstdint>

#include "monitor/layout.h"
#include "monitor/sky_view.h"

struct LabelSpot {
  int32_t x, y;          // the mark's centre
  int32_t width, height;  // the label's text
  int32_t used;          // placed before the unused ones
};

// For each spot, where its label goes (left, top, width, height), or a box
// of width 0 when it is left out; markRadius is the marks' radius, the plot
// width by height.  Returns how many were left out.
int32_t PlaceSkyLabels(const LabelSpot* spots, int32_t count, int32_t markRadius, int32_t width, int32_t height,
                       Box* labels);

bool BoxesMeet(const Box& a, const Box& b);

// The plot's geometry in a window of width by height: the horizon's centre
// and radius (radius 10 or less: too small to draw).
struct SkyGeometry {
  int32_t cx, cy, radius;
};
SkyGeometry SkyPlotGeometry(int32_t width, int32_t height);

// A spot for each mark that the plot draws (those with a direction), with
// its label's size still 0; markOf[k] is spot k's mark.  Returns how many.
int32_t SkyLabelSpots(const SatelliteMark* marks, int32_t count, const SkyGeometry& plot, LabelSpot* spots,
                      int32_t* markOf);

#endif
