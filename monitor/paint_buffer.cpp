#include "monitor/paint_buffer.h"

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

}  // namespace

HDC BeginBufferedPaint(HWND window, PaintBuffer* buffer) {
  buffer->screen = BeginPaint(window, &buffer->paint);
  GetClientRect(window, &buffer->client);
  const int width = buffer->client.right > 0 ? buffer->client.right : 1;
  const int height = buffer->client.bottom > 0 ? buffer->client.bottom : 1;
  buffer->dc = CreateCompatibleDC(buffer->screen);
  buffer->bitmap = buffer->dc ? CreateCompatibleBitmap(buffer->screen, width, height) : nullptr;
  if (!buffer->bitmap) {
    // Short of GDI memory: paint straight on the screen, flicker and all.
    if (buffer->dc) DeleteDC(buffer->dc);
    buffer->dc = nullptr;
    FillRect(buffer->screen, &buffer->client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return buffer->screen;
  }
  buffer->oldBitmap = SelectObject(buffer->dc, buffer->bitmap);
  FillRect(buffer->dc, &buffer->client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  return buffer->dc;
}

void EndBufferedPaint(HWND window, PaintBuffer* buffer) {
  if (buffer->dc) {
    BitBlt(buffer->screen, 0, 0, buffer->client.right, buffer->client.bottom, buffer->dc, 0, 0, SRCCOPY);
    SelectObject(buffer->dc, buffer->oldBitmap);
    DeleteObject(buffer->bitmap);
    DeleteDC(buffer->dc);
  }
  EndPaint(window, &buffer->paint);
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
