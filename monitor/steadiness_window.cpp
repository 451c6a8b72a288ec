#include "monitor/steadiness_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "monitor/colours.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"
#include "monitor/view.h"

namespace {

constexpr int MARGIN = 14;
constexpr COLORREF DOT_COLOUR = RGB(0, 90, 220);
constexpr COLORREF CEP50_COLOUR = RGB(0, 150, 60);
constexpr COLORREF CEP95_COLOUR = RGB(230, 120, 0);

// 1, 2 or 5 times a power of ten, the first at or above metres.
double RoundScale(double metres) {
  const double power = std::pow(10.0, std::floor(std::log10(metres)));
  for (double step : {1.0, 2.0, 5.0, 10.0})
    if (step * power >= metres) return step * power;
  return 10 * power;
}

void Label(HDC dc, int x, int y, COLORREF colour, const char* text) {
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

void Draw(HDC dc, int width, int height) {
  const int radius = std::min(width, height) / 2 - MARGIN;
  if (radius <= 10) return;
  const int cx = width / 2, cy = height / 2;
  DrawPlotFrame(dc, cx, cy, radius);
  SelectObject(dc, MonitorFont(11, true));
  SetBkMode(dc, TRANSPARENT);
  Label(dc, cx - 3, 0, TEXT_COLOUR, "N");

  static SteadyDot dots[STEADY_POINTS];
  SteadyFigures figures;
  SteadinessMeasure(gSteadiness, &figures, dots);
  if (figures.count == 0) {
    Label(dc, MARGIN, height - MARGIN, GRID_COLOUR, "no fix yet");
    return;
  }
  double farthest = figures.cep95;
  for (int32_t i = 0; i < figures.count; ++i) farthest = std::max(farthest, std::hypot(dots[i].east, dots[i].north));
  // The rim is a round number of metres, never less than a centimetre.
  const double rim = RoundScale(std::max(farthest * 1.2, 0.01));
  const double pixels = radius / rim;
  SelectObject(dc, MonitorPen(DOT_COLOUR, 1));
  SelectObject(dc, MonitorBrush(DOT_COLOUR));
  for (int32_t i = 0; i < figures.count; ++i) {
    const int x = cx + static_cast<int>(std::lround(dots[i].east * pixels));
    const int y = cy - static_cast<int>(std::lround(dots[i].north * pixels));
    Rectangle(dc, x - 1, y - 1, x + 2, y + 2);
  }
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, MonitorPen(CEP50_COLOUR, 2));
  MonitorCircle(dc, cx, cy, static_cast<int>(std::lround(figures.cep50 * pixels)));
  SelectObject(dc, MonitorPen(CEP95_COLOUR, 2));
  MonitorCircle(dc, cx, cy, static_cast<int>(std::lround(figures.cep95 * pixels)));
  char text[48];
  std::snprintf(text, sizeof text, "rim %g m", rim);
  Label(dc, 2, height - 14, GRID_COLOUR, text);
  Label(dc, 2, 0, CEP50_COLOUR, "CEP50");
  Label(dc, 2, 12, CEP95_COLOUR, "CEP95");
}

BackBuffer gBack;

LRESULT CALLBACK SteadinessProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return PaintedWindowMessage(window, message, wParam, lParam, &gBack, Draw);
}

}  // namespace

bool RegisterSteadinessClass(HINSTANCE instance) {
  return RegisterPaintedClass(instance, STEADINESS_CLASS, SteadinessProc);
}
