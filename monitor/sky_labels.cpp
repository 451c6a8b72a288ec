#include "monitor/sky_labels.h"

#include <algorithm>
#include <cmath>

#include "monitor/monitor_ids.h"

namespace {

// The places tried, in order: right and a little down (where a reader
// looks first, clear of a line through the mark), left, above, below, the
// four corners, then the same again one and two marks
// further out.
constexpr int32_t PLACES = 24;

Box Candidate(const LabelSpot& s, int32_t place, int32_t radius) {
  const int32_t gap = radius + 2 + (place / 8) * 2 * radius;
  const int32_t w = s.width, h = s.height;
  switch (place % 8) {
    case 0: return {s.x + gap, s.y + 1, w, h};
    case 1: return {s.x - gap - w, s.y - h / 2, w, h};
    case 2: return {s.x - w / 2, s.y - gap - h, w, h};
    case 3: return {s.x - w / 2, s.y + gap, w, h};
    case 4: return {s.x + gap - 2, s.y - gap - h + 2, w, h};
    case 5: return {s.x + gap - 2, s.y + gap - 2, w, h};
    case 6: return {s.x - gap - w + 2, s.y - gap - h + 2, w, h};
    default: return {s.x - gap - w + 2, s.y + gap - 2, w, h};
  }
}

Box MarkBox(const LabelSpot& s, int32_t radius) { return {s.x - radius, s.y - radius, 2 * radius + 1, 2 * radius + 1}; }

}  // namespace

bool BoxesMeet(const Box& a, const Box& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

int32_t PlaceSkyLabels(const LabelSpot* spots, int32_t count, int32_t markRadius, int32_t width, int32_t height,
                       Box* labels) {
  for (int32_t i = 0; i < count; ++i) labels[i] = {0, 0, 0, 0};
  int32_t left = 0;
  for (int32_t used = 1; used >= 0; --used) {
    for (int32_t i = 0; i < count; ++i) {
      if ((spots[i].used != 0) != (used != 0)) continue;
      bool placed = false;
      for (int32_t place = 0; place < PLACES && !placed; ++place) {
        const Box box = Candidate(spots[i], place, markRadius);
        bool free = box.left >= 0 && box.top >= 0 && box.left + box.width <= width && box.top + box.height <= height;
        for (int32_t j = 0; j < count && free; ++j)
          free = !BoxesMeet(box, MarkBox(spots[j], markRadius)) && (labels[j].width == 0 || !BoxesMeet(box, labels[j]));
        if (free) {
          labels[i] = box;
          placed = true;
        }
      }
      if (!placed) ++left;
    }
  }
  return left;
}

SkyGeometry SkyPlotGeometry(int32_t width, int32_t height) {
  return {width / 2, height / 2, std::min(width, height) / 2 - SKY_PLOT_MARGIN};
}

int32_t SkyLabelSpots(const SatelliteMark* marks, int32_t count, const SkyGeometry& plot, LabelSpot* spots,
                      int32_t* markOf) {
  int32_t spotCount = 0;
  for (int32_t i = 0; i < count; ++i) {
    const SatelliteMark& mark = marks[i];
    if (std::isnan(mark.elevation) || std::isnan(mark.azimuth)) continue;
    const PlotPoint p = SkyPlotPoint(plot.cx, plot.cy, plot.radius, mark.elevation, mark.azimuth);
    spots[spotCount] = {static_cast<int32_t>(std::lround(p.x)), static_cast<int32_t>(std::lround(p.y)), 0, 0, mark.used};
    markOf[spotCount++] = i;
  }
  return spotCount;
}
