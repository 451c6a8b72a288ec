#include "monitor/sky_plot_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "monitor/colours.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"
#include "monitor/view.h"

namespace {

void CentredText(HDC dc, int x, int y, const char* text) {
  SIZE size;
  const int length = static_cast<int>(std::strlen(text));
  GetTextExtentPoint32A(dc, text, length, &size);
  TextOutA(dc, x - size.cx / 2, y - size.cy / 2, text, length);
}

void Circle(HDC dc, int cx, int cy, int radius) { Ellipse(dc, cx - radius, cy - radius, cx + radius + 1, cy + radius + 1); }

// Horizon, rings at 30 and 60 degrees of elevation, the north-south and
// east-west lines, and the four directions outside the rim.
void DrawGrid(HDC dc, int cx, int cy, int radius) {
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, MonitorPen(FAINT_GRID_COLOUR, 1));
  MoveToEx(dc, cx - radius, cy, nullptr);
  LineTo(dc, cx + radius + 1, cy);
  MoveToEx(dc, cx, cy - radius, nullptr);
  LineTo(dc, cx, cy + radius + 1);
  for (int elevation : {30, 60}) Circle(dc, cx, cy, radius * (90 - elevation) / 90);
  SelectObject(dc, MonitorPen(GRID_COLOUR, 1));
  Circle(dc, cx, cy, radius);

  SelectObject(dc, MonitorFont(14, true));
  SetTextColor(dc, TEXT_COLOUR);
  const int out = SKY_PLOT_MARGIN / 2;
  CentredText(dc, cx, cy - radius - out, "N");
  CentredText(dc, cx + radius + out, cy, "E");
  CentredText(dc, cx, cy + radius + out, "S");
  CentredText(dc, cx - radius - out, cy, "W");
  SelectObject(dc, MonitorFont(11));
  SetTextColor(dc, GRID_COLOUR);
  for (int elevation : {30, 60}) {
    const int ring = radius * (90 - elevation) / 90;
    char text[4] = {static_cast<char>('0' + elevation / 10), '0', '\0'};
    TextOutA(dc, cx + 3, cy - ring + 1, text, 2);
  }
}

// Filled when the receiver uses the satellite, hollow when it does not.
void DrawMark(HDC dc, const SatelliteMark& mark, int cx, int cy, int radius) {
  if (std::isnan(mark.elevation) || std::isnan(mark.azimuth)) return;
  const int32_t style = ConstellationStyleIndex(mark.constellation);
  const COLORREF colour = StyleColour(style);
  const PlotPoint p = SkyPlotPoint(cx, cy, radius, mark.elevation, mark.azimuth);
  const int x = static_cast<int>(std::lround(p.x));
  const int y = static_cast<int>(std::lround(p.y));
  if (mark.used) {
    SelectObject(dc, MonitorPen(colour, 1));
    SelectObject(dc, MonitorBrush(colour));
  } else {
    SelectObject(dc, MonitorPen(colour, 2));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
  }
  Circle(dc, x, y, SKY_MARK_RADIUS);
  SelectObject(dc, MonitorFont(11, true));
  SetTextColor(dc, colour);
  TextOutA(dc, x + SKY_MARK_RADIUS + 2, y + 1, mark.label, static_cast<int>(std::strlen(mark.label)));
}

// The horizon circle as large as the window allows, and the satellites.
void Draw(HDC dc, int width, int height) {
  const int radius = std::min(width, height) / 2 - SKY_PLOT_MARGIN;
  if (radius <= 10) return;
  const int cx = width / 2;
  const int cy = height / 2;
  DrawGrid(dc, cx, cy, radius);
  // Unused first, so that a used satellite is never hidden under one.
  for (int used = 0; used < 2; ++used)
    for (int32_t i = 0; i < gView.markCount; ++i)
      if (gView.marks[i].used == used) DrawMark(dc, gView.marks[i], cx, cy, radius);
}

BackBuffer gBack;

LRESULT CALLBACK SkyPlotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return PaintedWindowMessage(window, message, wParam, lParam, &gBack, Draw);
}

}  // namespace

bool RegisterSkyPlotClass(HINSTANCE instance) {
  return RegisterPaintedClass(instance, SKY_PLOT_CLASS, SkyPlotProc);
}
