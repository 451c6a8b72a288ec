#include "tests/app/message_spy.h"

namespace {

SpyLog* log;

SpyLog* OpenLog() {
  if (!log) {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, MESSAGE_SPY_MAPPING);
    // Kept open for the life of the process: the hook may run at any time.
    if (mapping) log = static_cast<SpyLog*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  }
  return log;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK SpyOnSentMessage(int code, WPARAM wParam,
                                                                   LPARAM lParam) {
  const CWPSTRUCT* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && (sent->message == WM_COMMAND || sent->message == WM_SYSCOMMAND)) {
    if (SpyLog* spy = OpenLog()) {
      LONG slot = InterlockedIncrement(&spy->count) - 1;
      if (slot < MESSAGE_SPY_CAPACITY) {
        spy->entries[slot] = {reinterpret_cast<uint64_t>(sent->hwnd), sent->message,
                              static_cast<uint64_t>(sent->wParam),
                              static_cast<int64_t>(sent->lParam)};
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
