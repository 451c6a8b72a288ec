// How the monitor tells constellations apart: a letter for labels (G5, R21,
// E36, C13, J3, S123, I2), a name for the legend and a colour for marks and
// bars.
#ifndef ORVOGPS_MONITOR_CONSTELLATIONS_H
#define ORVOGPS_MONITOR_CONSTELLATIONS_H

#include <cstdint>

struct ConstellationStyle {
  int32_t constellation;  // CONSTELLATION_...
  char letter;
  const char* name;
  uint8_t red, green, blue;
};

// Legend order, which is also the order of the signal bars' groups.
constexpr int32_t CONSTELLATION_STYLE_COUNT = 7;
extern const ConstellationStyle ConstellationStyles[CONSTELLATION_STYLE_COUNT];

// The style of a constellation; its index in ConstellationStyles, or -1 for a
// constellation the monitor does not know.
int32_t ConstellationStyleIndex(int32_t constellation);

#endif
