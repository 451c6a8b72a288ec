#include "monitor/controls.h"

#include <cstring>

HWND MakeChild(HWND parent, const char* cls, const char* text, DWORD style, int id) {
  HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE));
  HWND child = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (child) SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  return child;
}

void SetText(HWND control, const char* text) {
  char old[CONTROL_TEXT_SIZE];
  if (GetWindowTextA(control, old, sizeof old) >= 0 && std::strcmp(old, text) == 0) return;
  SetWindowTextA(control, text);
}

void Place(HWND parent, int id, const Box& box) {
  MoveWindow(GetDlgItem(parent, id), box.left, box.top, box.width, box.height, TRUE);
}

void ShowChild(HWND parent, int id, bool shown) { ShowWindow(GetDlgItem(parent, id), shown ? SW_SHOWNA : SW_HIDE); }
