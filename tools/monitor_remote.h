// Finding and reading a running monitor (orvogps-monitor.exe) from another
// program, as its probe and its tests do: windows by class and control id,
// texts with WM_GETTEXT, Start/Stop with WM_COMMAND.
#ifndef ORVOGPS_TOOLS_MONITOR_REMOTE_H
#define ORVOGPS_TOOLS_MONITOR_REMOTE_H

#include <windows.h>

struct MonitorWindows {
  HWND main;
  HWND skyPlot;
  HWND signalBars;
  HWND linkLine;
  HWND startStop;
};

// The monitor's main window of the given process (0: any), looked for until
// timeoutMs has passed; false when none appeared.
bool FindMonitor(DWORD processId, DWORD timeoutMs, MonitorWindows* monitor);

// A control's text; false (and "") when it does not answer within 2 s.
bool ReadControlText(HWND control, char* text, int size);

// The value of fix row `row` (FIX_ROW_...).
bool ReadFixValue(const MonitorWindows& monitor, int row, char* text, int size);

// Presses Start or Stop, whichever the button shows.
void PressStartStop(const MonitorWindows& monitor);

// A window's client area in screen coordinates.
bool ClientOnScreen(HWND window, RECT* area);

#endif
