// Making, placing and setting the standard controls of the monitor's window
// and its pages.
#ifndef ORVOGPS_MONITOR_CONTROLS_H
#define ORVOGPS_MONITOR_CONTROLS_H

#include <windows.h>

#include "monitor/layout.h"

constexpr int CONTROL_TEXT_SIZE = 256;

// A visible child of parent with the GUI font; null when it cannot be made.
HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, int id);
// Sets a control's text only when it changes: a static redraws on every set.
void SetText(HWND control, const char* text);
void Place(HWND parent, int id, const Box& box);
void ShowChild(HWND parent, int id, bool shown);

#endif
