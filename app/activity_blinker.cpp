#include "app/clock.h"
#include "app/demo_windows.h"
#include "resources/resource.h"

namespace {

constexpr int32_t BLINK_INTERVAL_MS = 1000;
constexpr int32_t NO_RESPONSE_LIMIT_MS = 5000;

void ShowImage(const ActivityBlinker* blinker, HBITMAP image) {
  // Posted, never sent, so the poll does not wait for the control to paint;
  // a lost post only skips one blink.
  (void)PostMessageA(blinker->imageWindow, STM_SETIMAGE, IMAGE_BITMAP,
                     reinterpret_cast<LPARAM>(image));
}

}  // namespace

void CreateBlinker(ActivityBlinker* blinker, HWND parent) {
  blinker->imageWindow =
      CreateWindowExA(0, "STATIC", kEmptyText, WS_CHILD | WS_VISIBLE | SS_BITMAP, 304, 0, 30, 18,
                      parent, nullptr, appState.instance, nullptr);
  blinker->bitmapLit = LoadBitmapA(appState.instance, MAKEINTRESOURCEA(IDB_INDICATOR_LIT));
  blinker->bitmapDark = LoadBitmapA(appState.instance, MAKEINTRESOURCEA(IDB_INDICATOR_DARK));
  blinker->current = blinker->bitmapLit;
}

void StartBlinker(ActivityBlinker* blinker) {
  StampTime(&blinker->lastToggle);
  // current is kept: a restart goes on with whichever image was due next.
  blinker->blinking = 1;
}

void StopBlinker(ActivityBlinker* blinker) {
  blinker->blinking = 0;
  ShowImage(blinker, nullptr);
}

void PollBlinker(ActivityBlinker* blinker) {
  if (!blinker->blinking) return;
  if (!HasElapsed(blinker->lastToggle, BLINK_INTERVAL_MS)) return;
  ShowImage(blinker, blinker->current);
  blinker->current =
      blinker->current == blinker->bitmapLit ? blinker->bitmapDark : blinker->bitmapLit;
  StampTime(&blinker->lastToggle);
}

void CheckWatchdog() {
  if (running != 1 || !HasElapsed(lastSentenceTime.load(), NO_RESPONSE_LIMIT_MS)) return;
  StopAcquisition();
  running = 0;
  SetStatusText("No response from GPS device");
}

DWORD MillisecondsUntilNextCheck(const ActivityBlinker* blinker) {
  DWORD wait = INFINITE;
  if (blinker->blinking) {
    wait = static_cast<DWORD>(MillisecondsUntilElapsed(blinker->lastToggle, BLINK_INTERVAL_MS));
  }
  if (running == 1) {
    DWORD watchdog =
        static_cast<DWORD>(MillisecondsUntilElapsed(lastSentenceTime.load(), NO_RESPONSE_LIMIT_MS));
    if (watchdog < wait) wait = watchdog;
  }
  return wait;
}
