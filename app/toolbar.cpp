#include "app/demo_windows.h"
#include "resources/resource.h"

namespace {

struct ToolbarButton {
  int32_t bitmapId;
  HWND button;
  void (*handler)(HWND argument);
};

void OnToolbarStart(HWND) {
  if (running) return;
  if (StartAcquisition()) running = 1;
}

void OnToolbarStop(HWND) {
  if (running != 1) return;
  StopAcquisition();
  running = 0;
}

void OnToolbarAbout(HWND) {
  if (!aboutShown) ShowAboutBox();
}

void OnToolbarExit(HWND argument) {
  OnToolbarStop(argument);
  (void)DestroyWindow(appState.mainWindow);
}

constexpr int32_t TOOLBAR_BUTTON_COUNT = 4;

// The row order sets each button's place from the left.
ToolbarButton ToolbarTable[TOOLBAR_BUTTON_COUNT] = {
    {IDB_TOOLBAR_GO, nullptr, OnToolbarStart},
    {IDB_TOOLBAR_STOP, nullptr, OnToolbarStop},
    {IDB_TOOLBAR_ABOUT, nullptr, OnToolbarAbout},
    {IDB_TOOLBAR_EXIT, nullptr, OnToolbarExit},
};

constexpr int32_t BUTTON_LEFT = 6;
constexpr int32_t BUTTON_STEP = 81;
constexpr int32_t BUTTON_TOP = 5;
constexpr int32_t BUTTON_WIDTH = 77;
constexpr int32_t BUTTON_HEIGHT = 25;

}  // namespace

void CreateToolbar(HWND mainWindow) {
  int32_t x = BUTTON_LEFT;
  for (ToolbarButton& row : ToolbarTable) {
    row.button = CreateWindowExA(0, "BUTTON", kEmptyText, WS_CHILD | WS_VISIBLE | BS_BITMAP, x,
                                 BUTTON_TOP, BUTTON_WIDTH, BUTTON_HEIGHT, mainWindow, nullptr,
                                 appState.instance, nullptr);
    HBITMAP image = LoadBitmapA(appState.instance, MAKEINTRESOURCEA(row.bitmapId));
    // Posted so that the main loop sets the image; a bitmap that failed to
    // load, or a lost post, just leaves that button blank.
    if (row.button) {
      (void)PostMessageA(row.button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
    }
    x += BUTTON_STEP;
  }
}

void DispatchToolbarClick(HWND control, HWND argument) {
  for (const ToolbarButton& row : ToolbarTable) {
    if (row.button && row.button == control) {
      if (row.handler) row.handler(argument);
      return;
    }
  }
}
