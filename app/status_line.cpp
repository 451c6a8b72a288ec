#include "app/demo_windows.h"
#include "resources/resource.h"

namespace {

constexpr COLORREF STATUS_TEXT_COLOUR = RGB(95, 95, 95);

LRESULT OnDestroy() {
  PostQuitMessage(0);
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == ID_CMD_EXIT) {
    (void)DestroyWindow(window);
    return 0;
  }
  return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  if (!dc) return 0;
  RECT area{};
  if (GetClientRect(window, &area)) {
    area.left += 3;
    (void)SetBkMode(dc, TRANSPARENT);
    (void)SetTextColor(dc, STATUS_TEXT_COLOUR);
    (void)DrawTextA(dc, statusLine.text, STATUS_LINE_LENGTH, &area, 0);
  }
  if (appState.statusDirty) {
    // Erases and repaints the whole strip now, so no trace of a longer
    // previous text stays behind; the nested paint finds the flag clear.
    appState.statusDirty = 0;
    (void)UpdateWindow(window);
    (void)RedrawWindow(window, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_NOINTERNALPAINT | RDW_UPDATENOW);
  }
  (void)EndPaint(window, &paint);
  return 0;
}

}  // namespace

LRESULT CALLBACK StatusWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY: return OnDestroy();
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window);
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

void SetStatusText(const char* text) {
  FillStatusLine(&statusLine, text);
  // The strip has no caption, so its window text changes nothing on screen
  // but lets screen readers and UI automation read the status.
  char readable[STATUS_LINE_LENGTH + 1];
  StatusLineString(&statusLine, readable);
  (void)SetWindowTextA(appState.statusWindow, readable);
  appState.statusDirty = 1;
  // A lost paint request leaves the old text until the next repaint.
  (void)PostMessageA(appState.statusWindow, WM_PAINT, 0, 0);
}
