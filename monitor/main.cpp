// orvogps-monitor: shows what a GPS receiver sees and does, live: the sky,
// the signals, the fix and the link.
#include <windows.h>

#include <cstdlib>

#include "monitor/monitor_options.h"
#include "monitor/monitor_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  MonitorOptions options;
  char error[200];
  if (ParseMonitorOptions(__argc - 1, __argv + 1, &options, error, sizeof error) != 0) {
    MessageBoxA(nullptr, error, "orvogps-monitor", MB_OK | MB_ICONERROR);
    return 2;
  }
  HWND window = CreateMonitorWindow(instance, options, show);
  if (!window) return 1;
  MSG msg;
  // Nothing happens between messages: the loop sleeps in GetMessage.
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &msg)) continue;  // Tab between the choices
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}
