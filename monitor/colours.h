// The monitor's colours as GDI takes them.
#ifndef ORVOGPS_MONITOR_COLOURS_H
#define ORVOGPS_MONITOR_COLOURS_H

#include <windows.h>

#include "monitor/constellations.h"

inline COLORREF StyleColour(int32_t style) {
  const ConstellationStyle& s = ConstellationStyles[style];
  return RGB(s.red, s.green, s.blue);
}

constexpr COLORREF GRID_COLOUR = RGB(150, 150, 150);
constexpr COLORREF FAINT_GRID_COLOUR = RGB(215, 215, 215);
constexpr COLORREF TEXT_COLOUR = RGB(40, 40, 40);

#endif
