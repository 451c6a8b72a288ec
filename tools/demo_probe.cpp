// demo-probe: drives a running demo from outside, the way a user would, for
// the demo script and the measurement scripts.  It finds the demo's windows
// by class and control id, presses its buttons with WM_COMMAND and reads its
// fields with WM_GETTEXT.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "resources/resource.h"

namespace {

constexpr char MAIN_CLASS[] = "asdfasd";
constexpr char STATUS_CLASS[] = "STATUSCLASS";
constexpr UINT MESSAGE_TIMEOUT_MS = 2000;
constexpr DWORD POLL_MS = 1;

struct FieldRow {
  int id;
  const char* label;
};

// In the order the panel fills them.
const FieldRow FIELDS[] = {
    {IDC_UTC_TIME, "UTC time"},
    {IDC_LAT_DEGREES, "Latitude degrees"},
    {IDC_LAT_MINUTES, "Latitude minutes"},
    {IDC_LON_DEGREES, "Longitude degrees"},
    {IDC_LON_MINUTES, "Longitude minutes"},
    {IDC_LAT_HEMISPHERE, "Latitude hemisphere"},
    {IDC_LON_HEMISPHERE, "Longitude hemisphere"},
    {IDC_SATELLITES, "Satellites used"},
    {IDC_FIX_VALID, "Fix valid"},
    {IDC_ALTITUDE, "Altitude"},
    {IDC_HDOP, "HDOP"},
};

struct Demo {
  HWND main;
  HWND panel;
  HWND status;
};

int Fail(const char* what) {
  std::fprintf(stderr, "demo-probe: %s\n", what);
  return 1;
}

bool ReadText(HWND window, char* text, int size) {
  DWORD_PTR copied = 0;
  text[0] = '\0';
  if (!SendMessageTimeoutA(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &copied)) {
    return false;
  }
  text[copied < static_cast<DWORD_PTR>(size) ? copied : size - 1] = '\0';
  return true;
}

bool ReadField(const Demo& demo, int id, char* text, int size) {
  HWND control = GetDlgItem(demo.panel, id);
  return control != nullptr && ReadText(control, text, size);
}

BOOL CALLBACK FindStatusWindow(HWND window, LPARAM found) {
  char name[32];
  if (GetClassNameA(window, name, sizeof name) > 0 && std::strcmp(name, STATUS_CLASS) == 0) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// The panel is created one message after the main window, so the windows
// are looked for until the deadline.
bool FindDemo(Demo* demo, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    demo->main = FindWindowA(MAIN_CLASS, nullptr);
    demo->panel = nullptr;
    demo->status = nullptr;
    if (demo->main != nullptr) {
      for (HWND child = FindWindowExA(demo->main, nullptr, nullptr, nullptr); child != nullptr;
           child = FindWindowExA(demo->main, child, nullptr, nullptr)) {
        if (GetDlgItem(child, IDC_PORT_LIST) != nullptr && GetDlgItem(child, IDOK) != nullptr) {
          demo->panel = child;
        }
      }
      EnumWindows(FindStatusWindow, reinterpret_cast<LPARAM>(&demo->status));
      // The status line gets its first text once the panel is complete.
      char status[64];
      if (demo->panel != nullptr && demo->status != nullptr &&
          ReadText(demo->status, status, sizeof status) && status[0] != '\0') {
        return true;
      }
    }
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

// Polls until the control's text is (or, with equal false, is not) the
// given text.
bool WaitForText(HWND control, const char* text, bool equal, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  char current[128];
  do {
    if (ReadText(control, current, sizeof current) && (std::strcmp(current, text) == 0) == equal) {
      return true;
    }
    Sleep(10);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

bool PressGoStop(const Demo& demo) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(demo.panel, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(demo.panel, IDOK)),
                             SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &ignored) != 0;
}

int Start(const Demo& demo, const char* portName) {
  int port = 1;
  if (portName != nullptr &&
      (std::sscanf(portName, "COM%d", &port) != 1 || port < 1 || port > 8)) {
    return Fail("the panel offers COM1 to COM8");
  }
  HWND button = GetDlgItem(demo.panel, IDOK);
  char caption[16];
  if (!ReadText(button, caption, sizeof caption)) return Fail("the demo does not answer");
  if (std::strcmp(caption, "STOP") == 0) return 0;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(demo.panel, IDC_PORT_LIST), CB_SETCURSEL, port - 1, 0,
                      SMTO_ABORTIFHUNG, MESSAGE_TIMEOUT_MS, &ignored);
  if (!PressGoStop(demo)) return Fail("the demo does not answer");
  if (!WaitForText(button, "STOP", true, 5000)) {
    char status[64];
    ReadText(demo.status, status, sizeof status);
    std::fprintf(stderr, "demo-probe: acquisition did not start: %s\n", status);
    return 1;
  }
  return 0;
}

// A fix is on screen once the UTC time field has text; the indicator is lit
// when its control shows the first bitmap it ever showed after a start,
// since the first toggle after the demo's start shows the lit one.
int WaitFix(const Demo& demo, DWORD timeoutMs) {
  if (!WaitForText(GetDlgItem(demo.panel, IDC_UTC_TIME), "", false, timeoutMs)) {
    return Fail("no fix on screen before the deadline");
  }
  HWND indicator = FindWindowExA(demo.status, nullptr, "STATIC", nullptr);
  if (indicator == nullptr) return Fail("no activity indicator");
  const DWORD start = GetTickCount();
  LRESULT lit = 0;
  do {
    DWORD_PTR image = 0;
    SendMessageTimeoutA(indicator, STM_GETIMAGE, IMAGE_BITMAP, 0, SMTO_ABORTIFHUNG,
                        MESSAGE_TIMEOUT_MS, &image);
    if (lit == 0) lit = static_cast<LRESULT>(image);
    if (lit != 0 && static_cast<LRESULT>(image) == lit) {
      // The image message is posted before the repaint: give the control
      // one repaint's time so that a screenshot shows it.
      Sleep(100);
      return 0;
    }
    Sleep(10);
  } while (GetTickCount() - start < timeoutMs);
  return Fail("the activity indicator never lit");
}

int PrintFields(const Demo& demo) {
  for (const FieldRow& row : FIELDS) {
    char text[128];
    if (!ReadField(demo, row.id, text, sizeof text)) return Fail("the demo does not answer");
    std::printf("%-21s \"%s\"\n", row.label, text);
  }
  char status[64];
  if (!ReadText(demo.status, status, sizeof status)) return Fail("the demo does not answer");
  std::printf("%-21s \"%s\"\n", "Status", status);
  return 0;
}

int Stop(const Demo& demo) {
  HWND button = GetDlgItem(demo.panel, IDOK);
  char caption[16];
  if (!ReadText(button, caption, sizeof caption)) return Fail("the demo does not answer");
  if (std::strcmp(caption, "GO") == 0) return 0;
  if (!PressGoStop(demo) || !WaitForText(button, "GO", true, 5000)) {
    return Fail("acquisition did not stop");
  }
  return 0;
}

int Quit(const Demo& demo) {
  DWORD processId = 0;
  GetWindowThreadProcessId(demo.main, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  PostMessageA(demo.main, WM_CLOSE, 0, 0);
  if (process == nullptr) return 0;
  const DWORD waited = WaitForSingleObject(process, 10000);
  CloseHandle(process);
  return waited == WAIT_OBJECT_0 ? 0 : Fail("the demo did not end");
}

int64_t UnixNanoseconds() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  const int64_t ticks = (static_cast<int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (ticks - 116444736000000000LL) * 100;
}

// Prints "<unix ns> <HDOP field>" each time the HDOP field changes: it is
// the last of the eleven fields the panel fills for a fix, so the fix is then
// on screen whole.
int Watch(const Demo& demo, int count) {
  HWND hdopField = GetDlgItem(demo.panel, IDC_HDOP);
  char last[64] = "";
  ReadText(hdopField, last, sizeof last);
  // Tells a script that it may start the receiver now.
  std::printf("# watching\n");
  std::fflush(stdout);
  for (int seen = 0; seen < count;) {
    char now[64];
    if (!ReadText(hdopField, now, sizeof now)) return Fail("the demo does not answer");
    if (now[0] != '\0' && std::strcmp(now, last) != 0) {
      std::printf("%lld %s\n", static_cast<long long>(UnixNanoseconds()), now);
      std::fflush(stdout);
      std::strcpy(last, now);
      ++seen;
    }
    Sleep(POLL_MS);
  }
  return 0;
}

// The demo's desktop exists only once its explorer has started.
bool UseDesktop(const char* name, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  do {
    HDESK desktop = OpenDesktopA(name, 0, FALSE, GENERIC_ALL);
    if (desktop != nullptr) return SetThreadDesktop(desktop) != FALSE;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}

int Usage(FILE* out, int status) {
  std::fputs(
      "usage: demo-probe [--desktop NAME] COMMAND\n"
      "Drives a running demo (orvogps-demo.exe) from outside.\n"
      "  start [COMn]       select the port (COM1 by default), press GO, wait for STOP\n"
      "  wait-fix SECONDS   wait until a fix is shown and the indicator is lit\n"
      "  fields             print the eleven panel fields and the status line\n"
      "  stop               press STOP, wait for GO\n"
      "  quit               close the main window and wait for the demo to end\n"
      "  watch N            print '<unix ns> <HDOP>' for the next N changes of HDOP\n"
      "--desktop NAME       the Wine desktop the demo runs in (explorer /desktop=NAME)\n"
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
  const char* value = arg + 1 < argc ? argv[arg + 1] : nullptr;

  Demo demo;
  if (!FindDemo(&demo, 20000)) return Fail("no demo window found");
  if (std::strcmp(command, "start") == 0) return Start(demo, value);
  if (std::strcmp(command, "wait-fix") == 0 && value != nullptr) {
    return WaitFix(demo, static_cast<DWORD>(std::atoi(value)) * 1000);
  }
  if (std::strcmp(command, "fields") == 0) return PrintFields(demo);
  if (std::strcmp(command, "stop") == 0) return Stop(demo);
  if (std::strcmp(command, "quit") == 0) return Quit(demo);
  if (std::strcmp(command, "watch") == 0 && value != nullptr) return Watch(demo, std::atoi(value));
  return Usage(stderr, 2);
}
