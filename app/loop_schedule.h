// What the main loop does between messages: toggle the activity indicator
// once a second while acquisition runs, and close a receiver that has been
// silent for more than five seconds.  Both are timed on the millisecond clock
// (app/clock.h), and the loop sleeps until the nearer of the two is due.
#ifndef ORVOGPS_APP_LOOP_SCHEDULE_H
#define ORVOGPS_APP_LOOP_SCHEDULE_H

#include <cstdint>

constexpr int32_t BLINK_INTERVAL_MS = 1000;
constexpr int32_t NO_RESPONSE_LIMIT_MS = 5000;

// A wait without end, for when nothing is armed (Win32's INFINITE).
constexpr uint32_t WAIT_FOREVER = 0xFFFFFFFFu;

// 1 when more than BLINK_INTERVAL_MS have passed since the last toggle.
int32_t BlinkIsDue(int32_t lastToggle);

// 1 when more than NO_RESPONSE_LIMIT_MS have passed since the last sentence.
int32_t WatchdogIsDue(int32_t lastSentenceTime);

// How long the loop may wait for input before the indicator (while
// blinking) or the watchdog (while running is 1) is due: 0 when one is due
// now, WAIT_FOREVER while neither is armed.
uint32_t MillisecondsUntilNextCheck(int32_t blinking, int32_t lastToggle, int32_t running,
                                    int32_t lastSentenceTime);

#endif
