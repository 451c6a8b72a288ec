// Painting into a bitmap the size of the window and copying it to the screen
// in one go, so that a redraw never shows half a picture (no flicker).
#ifndef ORVOGPS_MONITOR_PAINT_BUFFER_H
#define ORVOGPS_MONITOR_PAINT_BUFFER_H

#include <windows.h>

struct PaintBuffer {
  PAINTSTRUCT paint;
  HDC screen;
  HDC dc;  // paint here; null when the buffer could not be made (paint on screen instead)
  HBITMAP bitmap;
  HGDIOBJ oldBitmap;
  RECT client;
};

// BeginPaint and a memory DC as large as the client area, cleared to white;
// returns the DC to paint on.
HDC BeginBufferedPaint(HWND window, PaintBuffer* buffer);
// Copies the picture to the window and releases everything.
void EndBufferedPaint(HWND window, PaintBuffer* buffer);

// A pen, brush and font of the monitor's, made once and kept for the life of
// the process.
HPEN MonitorPen(COLORREF colour, int width, int style = PS_SOLID);
HBRUSH MonitorBrush(COLORREF colour);
HFONT MonitorFont(int height, bool bold = false);

#endif
