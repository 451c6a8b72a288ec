// message_spy.dll: a hook library that the GUI test installs on the demo's
// UI thread to see where commands go and when the indicator changes, without
// sending the demo anything.  It logs, in a shared mapping that the test
// reads:
// - every WM_NULL, WM_COMMAND and WM_SYSCOMMAND sent to a window of that
//   thread (TranslateAcceleratorA and DefWindowProcA send theirs; the test
//   sends WM_NULL to see the spy in place);
// - every STM_SETIMAGE the thread takes from its queue (the indicator's
//   images, posted and taken in the same main loop pass as the toggle), with
//   the performance counter's value at that moment.
#ifndef ORVOGPS_TESTS_APP_MESSAGE_SPY_H
#define ORVOGPS_TESTS_APP_MESSAGE_SPY_H

#include <windows.h>

#include <cstdint>

constexpr char MESSAGE_SPY_MAPPING[] = "orvogps-demo-message-spy";
constexpr char MESSAGE_SPY_SENT_HOOK[] = "SpyOnSentMessage";          // WH_CALLWNDPROC
constexpr char MESSAGE_SPY_TAKEN_HOOK[] = "SpyOnTakenMessage";        // WH_GETMESSAGE
constexpr LONG MESSAGE_SPY_CAPACITY = 64;

struct SpiedMessage {
  uint64_t window;
  uint32_t message;
  uint64_t wParam;
  int64_t lParam;
  int64_t counter;  // QueryPerformanceCounter when the hook saw it
};

struct SpyLog {
  LONG count;  // entries written; more than the capacity were dropped
  SpiedMessage entries[MESSAGE_SPY_CAPACITY];
};

#endif
