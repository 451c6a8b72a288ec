// The demo's entry and its main loop, which also times the activity indicator
// and the no-response watchdog: no window timers are used.
#include "app/demo_windows.h"
#include "app/loop_schedule.h"
#include "resources/resource.h"

namespace {

static_assert(WAIT_FOREVER == INFINITE, "a schedule with nothing armed waits without end");

// Polling interval when waiting for input itself fails: slow enough not to
// keep a processor busy, fast enough for the 1000 ms blink.
constexpr DWORD WAIT_FAILED_RETRY_MS = 10;

// Sleeps until input or a sent message arrives, or the indicator or the
// watchdog is due.  Messages sent by the reader thread wake it too, and the
// next PeekMessageA serves them.
void WaitForInputOrNextCheck() {
  DWORD timeout = MillisecondsUntilNextCheck(appState.blinker.blinking, appState.blinker.lastToggle,
                                             running, lastSentenceTime.load());
  if (timeout == 0) return;
  DWORD result =
      MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  if (result == WAIT_FAILED) Sleep(WAIT_FAILED_RETRY_MS);
}

int RunMainLoop(HACCEL accelerators) {
  MSG message;
  for (;;) {
    PollBlinker(&appState.blinker);
    CheckWatchdog();
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
      WaitForInputOrNextCheck();
      continue;
    }
    if (GetMessageA(&message, nullptr, 0, 0) == 0) return static_cast<int>(message.wParam);
    // Accelerators go to the window the key is addressed to.
    if (TranslateAcceleratorA(message.hwnd, accelerators, &message)) continue;
    (void)TranslateMessage(&message);
    (void)DispatchMessageA(&message);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  InitAppState();
  RegisterAppClass(instance, CS_HREDRAW | CS_VREDRAW, MainWndProc, 1, COLOR_APPWORKSPACE + 1,
                   "asdfasd", 1);
  RegisterAppClass(instance, 0, StatusWndProc, 0, COLOR_MENU + 1, "STATUSCLASS", 0);
  HWND mainWindow = nullptr;
  if (!CreateMainWindow(instance, showCommand, &mainWindow)) return 0;
  // Without the table no key is translated; the demo works the same.
  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
  appState.mainWindow = mainWindow;
  return RunMainLoop(accelerators);
}
