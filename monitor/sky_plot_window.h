// The sky plot: a child window that draws gView's satellites.
#ifndef ORVOGPS_MONITOR_SKY_PLOT_WINDOW_H
#define ORVOGPS_MONITOR_SKY_PLOT_WINDOW_H

#include <windows.h>

// Registers the plot's window class (SKY_PLOT_CLASS); false when it failed.
bool RegisterSkyPlotClass(HINSTANCE instance);

#endif
