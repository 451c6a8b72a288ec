// A window of the test's own thread for handlers that send it messages, as
// the demo's fix callback does: a message sent from another thread runs only
// when this thread serves it.
#ifndef ORVOGPS_TESTS_MESSAGE_WINDOW_H
#define ORVOGPS_TESTS_MESSAGE_WINDOW_H

#include <windows.h>

// A message-only window whose WM_APP calls onAppMessage; null without an X
// display (vnullmodem.sh up <dir> --display).
HWND MakeMessageWindow(void (*onAppMessage)());
void DestroyMessageWindow(HWND window);

#endif
