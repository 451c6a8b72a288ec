// The steadiness page's picture: a child window that draws gSteadiness's
// points as dots around their mean, north up, with the CEP50 and CEP95
// circles and the scale.
#ifndef ORVOGPS_MONITOR_STEADINESS_WINDOW_H
#define ORVOGPS_MONITOR_STEADINESS_WINDOW_H

#include <windows.h>

// Registers the picture's window class (STEADINESS_CLASS); false when it failed.
bool RegisterSteadinessClass(HINSTANCE instance);

#endif
