#include "monitor/signal_bars_window.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "monitor/colours.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"
#include "monitor/view.h"

namespace {

constexpr int LEGEND_ROW = 20;
constexpr int AXIS = 30;       // the dB-Hz scale on the left
constexpr int LABEL_ROW = 16;  // satellite labels under the bars
constexpr int GROUP_GAP = 10;
constexpr int SATELLITE_GAP = 3;
constexpr int MAX_BAR = 16;

int TextWidth(HDC dc, const char* text) {
  SIZE size;
  GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
  return size.cx;
}

// A swatch and name per constellation, and how used and unused look.
void DrawLegend(HDC dc, int width) {
  SelectObject(dc, MonitorFont(12));
  SetTextColor(dc, TEXT_COLOUR);
  int x = AXIS;
  for (int32_t style = 0; style < CONSTELLATION_STYLE_COUNT && x < width; ++style) {
    const RECT swatch = {x, 5, x + 10, 15};
    FillRect(dc, &swatch, MonitorBrush(StyleColour(style)));
    x += 13;
    const char* name = ConstellationStyles[style].name;
    TextOutA(dc, x, 3, name, static_cast<int>(std::strlen(name)));
    x += TextWidth(dc, name) + 12;
  }
  const char note[] = "filled: used in the fix   hollow: not used";
  TextOutA(dc, x + 8, 3, note, sizeof note - 1);
}

// Lines at 0, 20, 40 and 60 dB-Hz.
void DrawScale(HDC dc, int width, int top, int bottom) {
  SelectObject(dc, MonitorFont(11));
  SetTextColor(dc, GRID_COLOUR);
  for (int dbhz = 0; dbhz <= 60; dbhz += 20) {
    const int y = bottom - (bottom - top) * dbhz / 60;
    SelectObject(dc, MonitorPen(dbhz == 0 ? GRID_COLOUR : FAINT_GRID_COLOUR, 1));
    MoveToEx(dc, AXIS - 4, y, nullptr);
    LineTo(dc, width, y);
    char text[8];
    std::snprintf(text, sizeof text, "%d", dbhz);
    TextOutA(dc, 2, y - 6, text, static_cast<int>(std::strlen(text)));
  }
}

// The width of a bar that lets every bar and gap fit.
int BarWidth(int width) {
  int gaps = 0;
  for (int32_t i = 1; i < gView.barCount; ++i)
    gaps += gView.bars[i].startsGroup ? GROUP_GAP : gView.bars[i].startsSatellite ? SATELLITE_GAP : 1;
  const int room = width - AXIS - 4 - gaps;
  return gView.barCount == 0 ? MAX_BAR : std::max(2, std::min(MAX_BAR, room / gView.barCount));
}

void DrawBars(HDC dc, int width, int top, int bottom) {
  const int barWidth = BarWidth(width);
  SelectObject(dc, MonitorFont(11, true));
  int x = AXIS + 2;
  int labelEnd = 0;
  for (int32_t i = 0; i < gView.barCount; ++i) {
    const SignalBar& bar = gView.bars[i];
    if (i > 0) x += bar.startsGroup ? GROUP_GAP : bar.startsSatellite ? SATELLITE_GAP : 1;
    const COLORREF colour = StyleColour(bar.style);
    const int height = static_cast<int>(bar.height * static_cast<float>(bottom - top) + 0.5f);
    const RECT rect = {x, bottom - height, x + barWidth, bottom + 1};
    if (bar.used) {
      FillRect(dc, &rect, MonitorBrush(colour));
    } else {
      FrameRect(dc, &rect, MonitorBrush(colour));
    }
    // Labels that would run into the one before are left out: the legend
    // and the neighbours tell which satellite a bar is.
    if (bar.label[0] && x >= labelEnd) {
      SetTextColor(dc, colour);
      TextOutA(dc, x, bottom + 2, bar.label, static_cast<int>(std::strlen(bar.label)));
      labelEnd = x + TextWidth(dc, bar.label) + 3;
    }
    x += barWidth;
  }
}

// The legend on top, the scale and the bars under it.
void Draw(HDC dc, int width, int height) {
  const int top = LEGEND_ROW + 8;
  const int bottom = height - LABEL_ROW - 2;
  DrawLegend(dc, width);
  if (bottom - top <= 10) return;
  DrawScale(dc, width, top, bottom);
  DrawBars(dc, width, top, bottom);
}

BackBuffer gBack;

LRESULT CALLBACK SignalBarsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return PaintedWindowMessage(window, message, wParam, lParam, &gBack, Draw);
}

}  // namespace

bool RegisterSignalBarsClass(HINSTANCE instance) {
  return RegisterPaintedClass(instance, SIGNAL_BARS_CLASS, SignalBarsProc);
}
