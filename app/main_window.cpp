#include "app/demo_windows.h"
#include "resources/resource.h"

namespace {

constexpr int32_t STATUS_STRIP_HEIGHT = 22;

const char kMainTitle[] = "ORVO NMEA GPS LIBRARY v1.0 (DEMO)";

LRESULT OnCreate(HWND window) {
  RECT frame{};
  // A failure leaves an empty rectangle, and the strip is then placed by the
  // first WM_MOVE instead.
  (void)GetWindowRect(window, &frame);
  appState.statusWindow =
      CreateWindowExA(0, "STATUSCLASS", kEmptyText, WS_POPUP | WS_VISIBLE | WS_DLGFRAME, frame.left,
                      frame.bottom, frame.right - frame.left, STATUS_STRIP_HEIGHT, window, nullptr,
                      appState.instance, nullptr);
  CreateBlinker(&appState.blinker, appState.statusWindow);
  CreateToolbar(window);
  // The panel needs mainWindow, which is stored only after this message.
  (void)PostMessageA(window, WM_CREATEPANEL, 0, 0);
  return 0;
}

LRESULT OnDestroy() {
  PostQuitMessage(0);
  return 0;
}

LRESULT OnMove(HWND window) {
  RECT frame{};
  if (!GetWindowRect(window, &frame)) return 0;
  // A missing status window or About box makes these fail harmlessly.
  (void)MoveWindow(appState.statusWindow, frame.left, frame.bottom, frame.right - frame.left,
                   STATUS_STRIP_HEIGHT, TRUE);
  if (aboutShown) {
    (void)MoveWindow(aboutWindow, frame.left + 9, frame.top + 55, (frame.right - frame.left) - 20,
                     (frame.bottom - frame.top) - 63, TRUE);
  }
  return 0;
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == ID_CMD_EXIT) {
    (void)DestroyWindow(window);
    return 0;
  }
  // Accelerators arrive with notification code 1 and are never toolbar clicks.
  if (HIWORD(wParam) == 0) DispatchToolbarClick(reinterpret_cast<HWND>(lParam), window);
  return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

LRESULT OnCreatePanel() {
  CreateReceiverPanel();
  return 0;
}

}  // namespace

void RegisterAppClass(HINSTANCE instance, UINT classStyle, WNDPROC procedure, int32_t arrowCursor,
                      int32_t background, const char* className, int32_t smallIcon) {
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = classStyle;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = arrowCursor ? LoadCursorA(nullptr, IDC_ARROW) : nullptr;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background));
  windowClass.lpszClassName = className;
  windowClass.hIconSm = smallIcon ? LoadIconA(instance, MAKEINTRESOURCEA(IDI_DEMO)) : nullptr;
  // Without the class the window creation below fails, and that is checked.
  (void)RegisterClassExA(&windowClass);
}

int32_t CreateMainWindow(HINSTANCE instance, int showCommand, HWND* mainWindowOut) {
  appState.instance = instance;
  HWND window = CreateWindowExA(0, "asdfasd", kMainTitle, WS_SYSMENU, CW_USEDEFAULT, 0, 340, 300,
                                nullptr, nullptr, instance, nullptr);
  *mainWindowOut = window;
  if (!window) return 0;
  // Both results say only whether the window was visible or painted before.
  (void)ShowWindow(window, showCommand);
  (void)UpdateWindow(window);
  return 1;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy();
    case WM_MOVE: return OnMove(window);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_CREATEPANEL: return OnCreatePanel();
    default: return DefWindowProcA(window, message, wParam, lParam);
  }
}

HWND CreateModelessDialog(HWND owner, DLGPROC procedure, int32_t templateId) {
  HWND dialog = CreateDialogParamA(appState.instance, MAKEINTRESOURCEA(templateId), owner,
                                   procedure, 0);
  // On a null dialog both calls fail and do nothing.
  (void)ShowWindow(dialog, SW_SHOWDEFAULT);
  (void)UpdateWindow(dialog);
  return dialog;
}
