// The monitor's main window: the port and speed lists with Start/Stop, the
// sky plot, the fix panel, the signal bars and the link line.
#ifndef ORVOGPS_MONITOR_WINDOW_H
#define ORVOGPS_MONITOR_WINDOW_H

#include <windows.h>

#include "monitor/monitor_options.h"

// Registers the window classes and creates the main window, with the port
// and speed preselected and Start pressed as options say.  Returns the window,
// or null when it could not be made.
HWND CreateMonitorWindow(HINSTANCE instance, const MonitorOptions& options, int show);

#endif
