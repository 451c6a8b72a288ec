#include "app/loop_schedule.h"

#include "app/clock.h"

int32_t BlinkIsDue(int32_t lastToggle) { return HasElapsed(lastToggle, BLINK_INTERVAL_MS); }

int32_t WatchdogIsDue(int32_t lastSentenceTime) {
  return HasElapsed(lastSentenceTime, NO_RESPONSE_LIMIT_MS);
}

uint32_t MillisecondsUntilNextCheck(int32_t blinking, int32_t lastToggle, int32_t running,
                                    int32_t lastSentenceTime) {
  uint32_t wait = WAIT_FOREVER;
  if (blinking) {
    wait = static_cast<uint32_t>(MillisecondsUntilElapsed(lastToggle, BLINK_INTERVAL_MS));
  }
  if (running == 1) {
    uint32_t watchdog =
        static_cast<uint32_t>(MillisecondsUntilElapsed(lastSentenceTime, NO_RESPONSE_LIMIT_MS));
    if (watchdog < wait) wait = watchdog;
  }
  return wait;
}
