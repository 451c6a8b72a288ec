#include "message_window.h"

namespace {

constexpr const char* kClassName = "ORVOTESTWINDOW";
void (*gOnAppMessage)();

LRESULT CALLBACK AppMessageProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) {
    if (gOnAppMessage) gOnAppMessage();
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

}  // namespace

HWND MakeMessageWindow(void (*onAppMessage)()) {
  gOnAppMessage = onAppMessage;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = AppMessageProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = kClassName;
  // Registered by the first call; later calls find it there.
  (void)RegisterClassA(&windowClass);
  return CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         windowClass.hInstance, nullptr);
}

void DestroyMessageWindow(HWND window) {
  if (window) DestroyWindow(window);
  gOnAppMessage = nullptr;
}
