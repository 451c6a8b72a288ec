// monitor-probe: drives a running monitor (orvogps-monitor.exe) from outside,
// for the demo script and the monitor's measurements.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "monitor/fix_text.h"
#include "monitor/monitor_ids.h"
#include "tools/monitor_remote.h"

namespace {

constexpr DWORD POLL_MS = 50;

int Fail(const char* what) {
  std::fprintf(stderr, "monitor-probe: %s\n", what);
  return 1;
}

// Until the link line contains text, or the deadline.
int WaitLink(const MonitorWindows& monitor, const char* text, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  char link[256];
  do {
    if (ReadControlText(monitor.linkLine, link, sizeof link) && std::strstr(link, text)) return 0;
    Sleep(POLL_MS);
  } while (GetTickCount64() < end);
  std::fprintf(stderr, "monitor-probe: the link line says \"%s\"\n", link);
  return 1;
}

// Until an epoch's time is shown.
int WaitFix(const MonitorWindows& monitor, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  char time[64];
  do {
    if (ReadFixValue(monitor, FIX_ROW_TIME, time, sizeof time) && std::strcmp(time, "-") != 0 && time[0])
      return 0;
    Sleep(POLL_MS);
  } while (GetTickCount64() < end);
  return Fail("no fix shown");
}

int PrintFields(const MonitorWindows& monitor) {
  for (int row = 0; row < FIX_ROW_COUNT; ++row) {
    char value[FIX_VALUE_SIZE];
    if (!ReadFixValue(monitor, row, value, sizeof value)) return Fail("the monitor does not answer");
    std::printf("%-20s %s\n", FixRowLabels[row][0] ? FixRowLabels[row] : "", value);
  }
  char link[256];
  if (!ReadControlText(monitor.linkLine, link, sizeof link)) return Fail("the monitor does not answer");
  std::printf("%-20s %s\n", "Link", link);
  return 0;
}

// The buttons and tabs press NAME knows, and the command each posts.
const struct {
  const char* name;
  int id;
} PRESSABLE[] = {
    {"record", IDC_RECORD},
    {"pause", IDC_SENTENCE_PAUSE},
    {"reset", IDC_STEADY_RESET},
    {"signals", IDC_VIEW + MONITOR_PAGE_SIGNALS},
    {"sentences", IDC_VIEW + MONITOR_PAGE_SENTENCES},
    {"steadiness", IDC_VIEW + MONITOR_PAGE_STEADINESS},
};

int Press(const MonitorWindows& monitor, const char* name) {
  for (const auto& p : PRESSABLE) {
    if (std::strcmp(p.name, name) != 0) continue;
    HWND control = GetDlgItem(monitor.main, p.id);
    // A push-like check box changes only when clicked.
    if (p.id == IDC_SENTENCE_PAUSE) {
      PostMessageA(control, BM_CLICK, 0, 0);
    } else {
      PostMessageA(monitor.main, WM_COMMAND, MAKEWPARAM(p.id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    }
    return 0;
  }
  return Fail("press takes record, pause, reset, signals, sentences or steadiness");
}

int Quit(const MonitorWindows& monitor) {
  DWORD processId = 0;
  GetWindowThreadProcessId(monitor.main, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  const ULONGLONG start = GetTickCount64();
  PostMessageA(monitor.main, WM_CLOSE, 0, 0);
  if (process == nullptr) return 0;
  const DWORD waited = WaitForSingleObject(process, 10000);
  CloseHandle(process);
  if (waited != WAIT_OBJECT_0) return Fail("the monitor did not end");
  std::printf("the monitor ended %llu ms after WM_CLOSE\n", static_cast<unsigned long long>(GetTickCount64() - start));
  return 0;
}

// The monitor's desktop exists only once its explorer has started.
bool UseDesktop(const char* name, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  do {
    HDESK desktop = OpenDesktopA(name, 0, FALSE, GENERIC_ALL);
    if (desktop != nullptr) return SetThreadDesktop(desktop) != FALSE;
    Sleep(POLL_MS);
  } while (GetTickCount64() < end);
  return false;
}

int Usage(FILE* out, int status) {
  std::fputs(
      "usage: monitor-probe [--desktop NAME] COMMAND\n"
      "Drives a running monitor (orvogps-monitor.exe) from outside.\n"
      "  wait-fix SECONDS        wait until an epoch's fix is shown\n"
      "  wait-link TEXT SECONDS  wait until the link line contains TEXT\n"
      "  fields                  print the fix panel and the link line\n"
      "  start-stop              press Start (or Stop)\n"
      "  press NAME              press record, pause or reset, or show the signals, sentences or\n"
      "                          steadiness page\n"
      "  quit                    close the window, wait for the monitor to end, say how long it took\n"
      "--desktop NAME            the Wine desktop it runs in (explorer /desktop=NAME)\n"
      "Exit status 0 on success, 1 on failure (reason on standard error), 2 for usage.\n",
      out);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  if (arg < argc && std::strcmp(argv[arg], "--help") == 0) return Usage(stdout, 0);
  if (arg + 1 < argc && std::strcmp(argv[arg], "--desktop") == 0) {
    if (!UseDesktop(argv[arg + 1], 20000)) return Fail("cannot use that desktop");
    arg += 2;
  }
  if (arg >= argc) return Usage(stderr, 2);
  const char* command = argv[arg];
  const char* first = arg + 1 < argc ? argv[arg + 1] : nullptr;
  const char* second = arg + 2 < argc ? argv[arg + 2] : nullptr;
  MonitorWindows monitor;
  if (!FindMonitor(0, 20000, &monitor)) return Fail("no monitor window found");
  if (std::strcmp(command, "wait-fix") == 0 && first) return WaitFix(monitor, std::atoi(first) * 1000u);
  if (std::strcmp(command, "wait-link") == 0 && second) return WaitLink(monitor, first, std::atoi(second) * 1000u);
  if (std::strcmp(command, "fields") == 0) return PrintFields(monitor);
  if (std::strcmp(command, "start-stop") == 0) {
    PressStartStop(monitor);
    return 0;
  }
  if (std::strcmp(command, "press") == 0 && first) return Press(monitor, first);
  if (std::strcmp(command, "quit") == 0) return Quit(monitor);
  return Usage(stderr, 2);
}
