#include "tools/monitor_remote.h"

#include <cstring>

#include "monitor/monitor_ids.h"

namespace {

constexpr UINT MESSAGE_TIMEOUT_MS = 2000;

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchMonitor(HWND window, LPARAM context) {
  Search* search = reinterpret_cast<Search*>(context);
  char name[64] = "";
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, MONITOR_CLASS) == 0 &&
      (search->processId == 0 || owner == search->processId)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool FindMonitor(DWORD processId, DWORD timeoutMs, MonitorWindows* monitor) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    Search search = {processId, nullptr};
    EnumWindows(MatchMonitor, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      monitor->main = search.found;
      monitor->skyPlot = GetDlgItem(search.found, IDC_SKY_PLOT);
      monitor->signalBars = GetDlgItem(search.found, IDC_SIGNAL_BARS);
      monitor->linkLine = GetDlgItem(search.found, IDC_LINK_LINE);
      monitor->startStop = GetDlgItem(search.found, IDC_START_STOP);
      if (monitor->skyPlot && monitor->signalBars && monitor->linkLine && monitor->startStop) return true;
    }
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
}

bool ReadControlText(HWND control, char* text, int size) {
  DWORD_PTR copied = 0;
  text[0] = '\0';
  if (!control || !SendMessageTimeoutA(control, WM_GETTEXT, static_cast<WPARAM>(size),
                                       reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS,
                                       &copied)) {
    text[0] = '\0';
    return false;
  }
  text[copied < static_cast<DWORD_PTR>(size) ? copied : size - 1] = '\0';
  return true;
}

bool ReadFixValue(const MonitorWindows& monitor, int row, char* text, int size) {
  return ReadControlText(GetDlgItem(monitor.main, IDC_FIX_VALUE + row), text, size);
}

void PressStartStop(const MonitorWindows& monitor) {
  PostMessageA(monitor.main, WM_COMMAND, MAKEWPARAM(IDC_START_STOP, BN_CLICKED),
               reinterpret_cast<LPARAM>(monitor.startStop));
}

bool ClientOnScreen(HWND window, RECT* area) {
  RECT client;
  POINT corner = {0, 0};
  if (!GetClientRect(window, &client) || !ClientToScreen(window, &corner)) return false;
  *area = {corner.x, corner.y, corner.x + client.right, corner.y + client.bottom};
  return true;
}
