// What the GUI tests share to drive a program under Wine: waiting while this
// thread's messages are served, the screen read back as pixels, Wine's drawn
// desktop, and Unix paths for a Windows program.
#ifndef ORVOGPS_TESTS_GUI_WINE_GUI_H
#define ORVOGPS_TESTS_GUI_WINE_GUI_H

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Waits up to ms for the handle (or just the time, for none) while serving
// messages sent to this thread: a program's window manager sends activation
// messages here when its windows close, and would wait for us forever.
// True when the handle was signalled.
bool WaitServingMessages(HANDLE handle, DWORD ms);

// What the screen shows in an area, read back from Wine's drawn desktop;
// reading it sends the program nothing.  Pixels are 0xRRGGBB, top row first.
struct Screenshot {
  LONG width = 0;
  LONG height = 0;
  std::vector<uint32_t> pixels;

  uint32_t At(LONG x, LONG y) const { return pixels[static_cast<size_t>(y * width + x)] & 0xFFFFFF; }
};

// An area of the screen, in screen coordinates; empty when it cannot be read.
Screenshot ScreenShot(const RECT& area);

// Without a window manager, Wine waits about two seconds for each top-level
// window it hides; in its own drawn desktop (named name, 1024x768) it does
// not, and windows get their captions and frames as on Windows.
bool UseWineDesktop(const char* name);

// "/a/b" as Wine's Windows programs see it: "Z:\a\b".
std::string WindowsPath(const std::string& path);

#endif
