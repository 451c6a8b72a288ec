#include "monitor/constellations.h"

#include <nmea/navigation.h>

// Colours far enough apart on white and on each other to tell at a glance,
// the letters as RINEX and most receiver tools write them.
const ConstellationStyle ConstellationStyles[CONSTELLATION_STYLE_COUNT] = {
    {CONSTELLATION_GPS, 'G', "GPS", 0, 90, 220},
    {CONSTELLATION_GLONASS, 'R', "GLONASS", 220, 40, 40},
    {CONSTELLATION_GALILEO, 'E', "Galileo", 0, 150, 60},
    {CONSTELLATION_BEIDOU, 'C', "BeiDou", 230, 130, 0},
    {CONSTELLATION_QZSS, 'J', "QZSS", 150, 60, 200},
    {CONSTELLATION_SBAS, 'S', "SBAS", 120, 120, 120},
    {CONSTELLATION_NAVIC, 'I', "NavIC", 0, 150, 160},
};

int32_t ConstellationStyleIndex(int32_t constellation) {
  for (int32_t i = 0; i < CONSTELLATION_STYLE_COUNT; ++i)
    if (ConstellationStyles[i].constellation == constellation) return i;
  return -1;
}
