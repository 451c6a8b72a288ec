// message_spy.dll: a hook library that the GUI test installs on the demo's
// UI thread to see where commands go.  Every WM_COMMAND and WM_SYSCOMMAND
// sent to a window of that thread (TranslateAcceleratorA and DefWindowProcA
// send theirs) is logged in a shared mapping that the test reads; the demo
// itself is left alone.
#ifndef ORVOGPS_TESTS_APP_MESSAGE_SPY_H
#define ORVOGPS_TESTS_APP_MESSAGE_SPY_H

#include <windows.h>

#include <cstdint>

constexpr char MESSAGE_SPY_MAPPING[] = "orvogps-demo-message-spy";
constexpr char MESSAGE_SPY_HOOK[] = "SpyOnSentMessage";
constexpr LONG MESSAGE_SPY_CAPACITY = 64;

struct SpiedMessage {
  uint64_t window;
  uint32_t message;
  uint64_t wParam;
  int64_t lParam;
};

struct SpyLog {
  LONG count;  // entries written; more than the capacity were dropped
  SpiedMessage entries[MESSAGE_SPY_CAPACITY];
};

#endif
