#include "tests/app/message_spy.h"

namespace {

SpyLog* spyLog;

SpyLog* OpenLog() {
  if (!spyLog) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, MESSAGE_SPY_MAPPING);
    // Kept open for the life of the process: the hooks may run at any time.
    if (mapping) spyLog = static_cast<SpyLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  }
  return spyLog;
}

void Record(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  SpyLog* spy = OpenLog();
  if (!spy) return;
  LONG slot = InterlockedIncrement(&spy->count) - 1;
  if (slot >= MESSAGE_SPY_CAPACITY) return;
  spy->entries[slot] = {reinterpret_cast<uint64_t>(window), message, static_cast<uint64_t>(wParam),
                        static_cast<int64_t>(lParam), now.QuadPart};
}

}  // namespace

// Exported by name through message_spy.def.
extern "C" LRESULT CALLBACK SpyOnSentMessage(int code, WPARAM wParam, LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION &&
      (sent->message == WM_NULL || sent->message == WM_COMMAND || sent->message == WM_SYSCOMMAND)) {
    Record(sent->hwnd, sent->message, sent->wParam, sent->lParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

extern "C" LRESULT CALLBACK SpyOnTakenMessage(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* taken = reinterpret_cast<const MSG*>(lParam);
  // A look with PM_NOREMOVE calls the hook too; the message counts when taken.
  if (code == HC_ACTION && wParam == PM_REMOVE && taken->message == STM_SETIMAGE) {
    Record(taken->hwnd, taken->message, taken->wParam, taken->lParam);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
