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

// The sky plot and the signal bars are child windows that draw themselves
// whole into their back buffer.  Their window procedures hand every message
// to this one with their buffer and their drawing.
typedef void (*DrawProc)(HDC dc, int width, int height);
LRESULT PaintedWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, BackBuffer* back,
                             DrawProc draw);
// Registers such a window's class; false when it failed.
bool RegisterPaintedClass(HINSTANCE instance, const char* className, WNDPROC procedure);

// A pen, brush and font of the monitor's, made once and kept for the life of
// the process.
HPEN MonitorPen(COLORREF colour, int width, int style = PS_SOLID);
HBRUSH MonitorBrush(COLORREF colour);
HFONT MonitorFont(int height, bool bold = false);
// A circle around (cx, cy) in the pen and brush selected.
void MonitorCircle(HDC dc, int cx, int cy, int radius);
// A round plot's frame: a faint cross through its centre and its rim; the
// brush is left hollow.
void DrawPlotFrame(HDC dc, int cx, int cy, int radius);

// The sentences' fixed-pitch font.
HFONT MonitorFixedFont();

#endif
