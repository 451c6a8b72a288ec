#include "app/clock.h"
#include "app/demo_windows.h"
#include "app/loop_schedule.h"
#include "resources/resource.h"

namespace {

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
  if (!BlinkIsDue(blinker->lastToggle)) return;
  ShowImage(blinker, blinker->current);
  blinker->current =
      blinker->current == blinker->bitmapLit ? blinker->bitmapDark : blinker->bitmapLit;
  StampTime(&blinker->lastToggle);
}

void CheckWatchdog() {
  if (running != 1 || !WatchdogIsDue(lastSentenceTime.load())) return;
  StopAcquisition();
  running = 0;
  SetStatusText("No response from GPS device");
}
