// The signal bars, with the constellations' legend: a child window that draws
// gView's signals.
#ifndef ORVOGPS_MONITOR_SIGNAL_BARS_WINDOW_H
#define ORVOGPS_MONITOR_SIGNAL_BARS_WINDOW_H

#include <windows.h>

// Registers the bars' window class (SIGNAL_BARS_CLASS); false when it failed.
bool RegisterSignalBarsClass(HINSTANCE instance);

#endif
