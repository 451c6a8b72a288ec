#include "monitor/paint_buffer.h"

#include "monitor/colours.h"

namespace {

// Few distinct pens, brushes and fonts are ever asked for: constellation
// colours, greys and two font sizes.  Each is made at its first use.
constexpr int CACHE_SIZE = 48;

struct PenKey {
  COLORREF colour;
  int width, style;
  HPEN pen;
};
PenKey gPens[CACHE_SIZE];
int gPenCount;

struct BrushKey {
  COLORREF colour;
  HBRUSH brush;
};
BrushKey gBrushes[CACHE_SIZE];
int gBrushCount;

struct FontKey {
  int height;
  bool bold;
  HFONT font;
};
FontKey gFonts[8];
int gFontCount;

struct PaintBuffer {
  PAINTSTRUCT paint;
  HDC screen;
  RECT client;
  bool buffered;  // false when no back buffer could be made: painting goes straight to the screen
};

void ReleaseBackBuffer(BackBuffer* back) {
  if (back->dc) {
    SelectObject(back->dc, back->oldBitmap);
    DeleteDC(back->dc);
  }
  if (back->bitmap) DeleteObject(back->bitmap);
  *back = {};
}

// BeginPaint, and the back buffer (made again when the window's size
// changed) cleared to white; returns the DC to paint on.
HDC BeginBufferedPaint(HWND window, BackBuffer* back, PaintBuffer* paint) {
  paint->screen = BeginPaint(window, &paint->paint);
  GetClientRect(window, &paint->client);
  const int width = paint->client.right > 0 ? paint->client.right : 1;
  const int height = paint->client.bottom > 0 ? paint->client.bottom : 1;
  if (!back->dc || back->width != width || back->height != height) {
    ReleaseBackBuffer(back);
    back->dc = CreateCompatibleDC(paint->screen);
    back->bitmap = back->dc ? CreateCompatibleBitmap(paint->screen, width, height) : nullptr;
    if (back->bitmap) {
      back->oldBitmap = SelectObject(back->dc, back->bitmap);
      back->width = width;
      back->height = height;
    } else {
      ReleaseBackBuffer(back);
    }
  }
  paint->buffered = back->dc != nullptr;
  // Short of GDI memory: paint straight on the screen, flicker and all.
  HDC dc = paint->buffered ? back->dc : paint->screen;
  FillRect(dc, &paint->client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  return dc;
}

// Copies the picture to the window and ends the paint.
void EndBufferedPaint(HWND window, const BackBuffer& back, PaintBuffer* paint) {
  if (paint->buffered) {
    BitBlt(paint->screen, 0, 0, paint->client.right, paint->client.bottom, back.dc, 0, 0, SRCCOPY);
  }
  EndPaint(window, &paint->paint);
}

}  // namespace

LRESULT PaintedWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, BackBuffer* back,
                             DrawProc draw) {
  switch (message) {
    case WM_PAINT: {
      PaintBuffer paint;
      HDC dc = BeginBufferedPaint(window, back, &paint);
      SetBkMode(dc, TRANSPARENT);
      draw(dc, paint.client.right, paint.client.bottom);
      EndBufferedPaint(window, *back, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_SIZE:
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_DESTROY:
      ReleaseBackBuffer(back);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

bool RegisterPaintedClass(HINSTANCE instance, const char* className, WNDPROC procedure) {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = procedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = className;
  return RegisterClassExA(&wc) != 0;
}

HPEN MonitorPen(COLORREF colour, int width, int style) {
  for (int i = 0; i < gPenCount; ++i)
    if (gPens[i].colour == colour && gPens[i].width == width && gPens[i].style == style) return gPens[i].pen;
  HPEN pen = gPenCount < CACHE_SIZE ? CreatePen(style, width, colour) : nullptr;
  if (!pen) return static_cast<HPEN>(GetStockObject(BLACK_PEN));
  gPens[gPenCount++] = {colour, width, style, pen};
  return pen;
}

HBRUSH MonitorBrush(COLORREF colour) {
  for (int i = 0; i < gBrushCount; ++i)
    if (gBrushes[i].colour == colour) return gBrushes[i].brush;
  HBRUSH brush = gBrushCount < CACHE_SIZE ? CreateSolidBrush(colour) : nullptr;
  if (!brush) return static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
  gBrushes[gBrushCount++] = {colour, brush};
  return brush;
}

HFONT MonitorFont(int height, bool bold) {
  for (int i = 0; i < gFontCount; ++i)
    if (gFonts[i].height == height && gFonts[i].bold == bold) return gFonts[i].font;
  HFONT font = gFontCount == 8 ? nullptr : CreateFontA(-height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                           "Arial");
  if (!font) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  gFonts[gFontCount++] = {height, bold, font};
  return font;
}

HFONT MonitorFixedFont() {
  static HFONT font = CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, "Courier New");
  return font ? font : static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT));
}

void MonitorCircle(HDC dc, int cx, int cy, int radius) {
  Ellipse(dc, cx - radius, cy - radius, cx + radius + 1, cy + radius + 1);
}

void DrawPlotFrame(HDC dc, int cx, int cy, int radius) {
  SelectObject(dc, GetStockObject(NULL_BRUSH));
  SelectObject(dc, MonitorPen(FAINT_GRID_COLOUR, 1));
  MoveToEx(dc, cx - radius, cy, nullptr);
  LineTo(dc, cx + radius + 1, cy);
  MoveToEx(dc, cx, cy - radius, nullptr);
  LineTo(dc, cx, cy + radius + 1);
  SelectObject(dc, MonitorPen(GRID_COLOUR, 1));
  MonitorCircle(dc, cx, cy, radius);
}
