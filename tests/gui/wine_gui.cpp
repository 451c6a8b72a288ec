#include "tests/gui/wine_gui.h"

bool WaitServingMessages(HANDLE handle, DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
    DWORD result = MsgWaitForMultipleObjects(handle ? 1 : 0, handle ? &handle : nullptr, FALSE,
                                             left, QS_ALLINPUT);
    if (handle && result == WAIT_OBJECT_0) return true;
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    if (result == WAIT_TIMEOUT || result == WAIT_FAILED) return false;
  }
}

Screenshot ScreenShot(const RECT& area) {
  Screenshot shot;
  shot.width = area.right - area.left;
  shot.height = area.bottom - area.top;
  if (shot.width <= 0 || shot.height <= 0) return {};
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = shot.width;
  info.bmiHeader.biHeight = -shot.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (memory && bitmap) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, shot.width, shot.height, screen, area.left, area.top, SRCCOPY)) {
      GdiFlush();
      const uint32_t* first = static_cast<const uint32_t*>(bits);
      shot.pixels.assign(first, first + shot.width * shot.height);
    }
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (shot.pixels.empty()) shot.width = shot.height = 0;
  return shot;
}

bool UseWineDesktop(const char* name) {
  HKEY explorer = nullptr;
  HKEY desktops = nullptr;
  const char size[] = "1024x768";
  const DWORD nameBytes = static_cast<DWORD>(lstrlenA(name) + 1);
  bool ok = RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer", 0, nullptr, 0,
                            KEY_SET_VALUE, nullptr, &explorer, nullptr) == ERROR_SUCCESS &&
            RegCreateKeyExA(explorer, "Desktops", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &desktops, nullptr) == ERROR_SUCCESS &&
            RegSetValueExA(explorer, "Desktop", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                           nameBytes) == ERROR_SUCCESS &&
            RegSetValueExA(desktops, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(size),
                           sizeof size) == ERROR_SUCCESS;
  if (desktops) RegCloseKey(desktops);
  if (explorer) RegCloseKey(explorer);
  return ok;
}

std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string converted = "Z:" + path;
  for (char& c : converted) {
    if (c == '/') c = '\\';
  }
  return converted;
}
