// Painting into a bitmap the size of the window and copying it to the screen
// in one go, so that a redraw never shows half a picture (no flicker).
#ifndef ORVOGPS_MONITOR_PAINT_BUFFER_H
#define ORVOGPS_MONITOR_PAINT_BUFFER_H

#include <windows.h>

// The picture of a window, kept from one paint to the next: making and
// freeing a bitmap the window's size for every paint costs more than all the
// drawing (measured under Wine with tools/measure-monitor.sh).  Made again
// when the window's size changes.
struct BackBuffer {
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ oldBitmap;
  int width, height;
};

struct PaintBuffer {
  PAINTSTRUCT paint;
  HDC screen;
  RECT client;
  bool buffered;  // false when no back buffer could be made: painting goes straight to the screen
};

// BeginPaint, and the back buffer cleared to white; returns the DC to paint
// on.
HDC BeginBufferedPaint(HWND window, BackBuffer* back, PaintBuffer* paint);
// Copies the picture to the window and ends the paint.
void EndBufferedPaint(HWND window, const BackBuffer& back, PaintBuffer* paint);
// Frees the back buffer (when its window goes).
void ReleaseBackBuffer(BackBuffer* back);

// A pen, brush and font of the monitor's, made once and kept for the life of
// the process.
HPEN MonitorPen(COLORREF colour, int width, int style = PS_SOLID);
HBRUSH MonitorBrush(COLORREF colour);
HFONT MonitorFont(int height, bool bold = false);

#endif
