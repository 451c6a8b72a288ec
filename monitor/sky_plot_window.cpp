#include "monitor/sky_plot_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "monitor/colours.h"
#include "monitor/monitor_ids.h"
#include "monitor/paint_buffer.h"
#include "monitor/sky_labels.h"
#include "monitor/view.h"

namespace {

void CentredText(HDC dc, int x, int y, const char* text) {
  SIZE size;
  const int length = static_cast<int>(std::strlen(text));
  GetTextExtentPoint32A(dc, text, length, &size);
  TextOutA(dc, x - size.cx / 2, y - size.cy / 2, text, length);
}

// Horizon, rings at 30 and 60 degrees of elevation, the north-south and
// east-west lines, and the four directions outside the rim.
void DrawGrid(HDC dc, int cx, int cy, int radius) {
  DrawPlotFrame(dc, cx, cy, radius);
  SelectObject(dc, MonitorPen(FAINT_GRID_COLOUR, 1));
  for (int elevation : {30, 60}) MonitorCircle(dc, cx, cy, radius * (90 - elevation) / 90);

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

// What the last paint drew, for the tooltip: each drawn mark's place.
LabelSpot gSpots[GPS_SKY_SIZE];
int32_t gMarkOf[GPS_SKY_SIZE];
int32_t gSpotCount;

// Filled when the receiver uses the satellite, hollow when it does not.
void DrawMark(HDC dc, const SatelliteMark& mark, const LabelSpot& spot) {
  const COLORREF colour = StyleColour(ConstellationStyleIndex(mark.constellation));
  if (mark.used) {
    SelectObject(dc, MonitorPen(colour, 1));
    SelectObject(dc, MonitorBrush(colour));
  } else {
    SelectObject(dc, MonitorPen(colour, 2));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
  }
  MonitorCircle(dc, spot.x, spot.y, SKY_MARK_RADIUS);
}

// The label where PlaceSkyLabels put it; one set further out than beside
// its mark gets a faint line to it.
void DrawLabel(HDC dc, const SatelliteMark& mark, const LabelSpot& spot, const Box& box) {
  const COLORREF colour = StyleColour(ConstellationStyleIndex(mark.constellation));
  const int nearX = std::max(box.left, std::min(spot.x, box.left + box.width));
  const int nearY = std::max(box.top, std::min(spot.y, box.top + box.height));
  const double away = std::hypot(nearX - spot.x, nearY - spot.y);
  if (away > SKY_MARK_RADIUS + 5) {
    SelectObject(dc, MonitorPen(colour, 1, PS_DOT));
    MoveToEx(dc, spot.x + static_cast<int>((nearX - spot.x) * SKY_MARK_RADIUS / away),
             spot.y + static_cast<int>((nearY - spot.y) * SKY_MARK_RADIUS / away), nullptr);
    LineTo(dc, nearX, nearY);
  }
  SetTextColor(dc, colour);
  TextOutA(dc, box.left, box.top, mark.label, static_cast<int>(std::strlen(mark.label)));
}

// The horizon circle as large as the window allows, and the satellites.
void Draw(HDC dc, int width, int height) {
  const SkyGeometry plot = SkyPlotGeometry(width, height);
  gSpotCount = 0;
  if (plot.radius <= 10) return;
  DrawGrid(dc, plot.cx, plot.cy, plot.radius);
  gSpotCount = SkyLabelSpots(gView.marks, gView.markCount, plot, gSpots, gMarkOf);
  SelectObject(dc, MonitorFont(11, true));
  for (int32_t i = 0; i < gSpotCount; ++i) {
    const char* label = gView.marks[gMarkOf[i]].label;
    SIZE size = {0, 0};
    (void)GetTextExtentPoint32A(dc, label, static_cast<int>(std::strlen(label)), &size);  // 0 x 0: not shown
    gSpots[i].width = size.cx;
    gSpots[i].height = size.cy;
  }
  static Box labels[GPS_SKY_SIZE];
  (void)PlaceSkyLabels(gSpots, gSpotCount, SKY_MARK_RADIUS, width, height, labels);  // left out: the tooltip's
  // Unused first, so that a used satellite is never hidden under one.
  for (int used = 0; used < 2; ++used)
    for (int32_t i = 0; i < gSpotCount; ++i)
      if (gSpots[i].used == used) DrawMark(dc, gView.marks[gMarkOf[i]], gSpots[i]);
  for (int32_t i = 0; i < gSpotCount; ++i)
    if (labels[i].width > 0) DrawLabel(dc, gView.marks[gMarkOf[i]], gSpots[i], labels[i]);
}

// The tooltip names the mark under the mouse, whether its label is shown or
// was left out.
HWND gTip;
int32_t gHovered = -1;

int32_t MarkAt(int x, int y) {
  for (int32_t i = gSpotCount - 1; i >= 0; --i)
    if (std::abs(gSpots[i].x - x) <= SKY_MARK_RADIUS + 1 && std::abs(gSpots[i].y - y) <= SKY_MARK_RADIUS + 1)
      return gMarkOf[i];
  return -1;
}

void OnMouseMove(HWND window, int x, int y) {
  if (!gTip) {
    gTip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                           0, window, nullptr, reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE)),
                           nullptr);
    if (!gTip) return;
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS | TTF_IDISHWND;  // the whole plot, whatever its size
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    (void)SendMessageA(gTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
  }
  const int32_t hovered = MarkAt(x, y);
  if (hovered == gHovered) return;
  gHovered = hovered;
  (void)SendMessageA(gTip, TTM_UPDATE, 0, 0);
  if (hovered < 0) (void)SendMessageA(gTip, TTM_POP, 0, 0);
}

void OnTipText(NMTTDISPINFOA* info) {
  static char text[96];
  text[0] = '\0';
  if (gHovered >= 0 && gHovered < gView.markCount) {
    const SatelliteMark& m = gView.marks[gHovered];
    char snr[24] = "not tracked";
    if (!std::isnan(m.snr)) std::snprintf(snr, sizeof snr, "%.0f dB-Hz", m.snr);
    std::snprintf(text, sizeof text, "%s: elevation %.0f, azimuth %.0f, %s, %s", m.label, m.elevation, m.azimuth, snr,
                  m.used ? "used" : "not used");
  }
  info->lpszText = text;
}

BackBuffer gBack;

LRESULT CALLBACK SkyPlotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSEMOVE) {
    OnMouseMove(window, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    return 0;
  }
  if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == TTN_GETDISPINFOA) {
    OnTipText(reinterpret_cast<NMTTDISPINFOA*>(lParam));
    return 0;
  }
  return PaintedWindowMessage(window, message, wParam, lParam, &gBack, Draw);
}

}  // namespace

bool RegisterSkyPlotClass(HINSTANCE instance) {
  return RegisterPaintedClass(instance, SKY_PLOT_CLASS, SkyPlotProc);
}
