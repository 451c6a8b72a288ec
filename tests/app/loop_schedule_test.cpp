#include "app/loop_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "app/clock.h"
#include "fake_clock.h"

namespace {

// The demo blinks once a second and gives up on a receiver after five
// seconds of silence; written here as numbers, not the program's names, so
// that a changed constant fails.
constexpr int32_t kBlinkMs = 1000;
constexpr int32_t kSilenceMs = 5000;

using loop_schedule_test = FakeClockTest;

struct Case {
  const char* legend;
  int32_t sinceStamp;
  int32_t due;
  uint32_t wait;
};

TEST_F(loop_schedule_test, the_indicator_is_due_only_after_a_full_second) {
  const int32_t lastToggle = 70000;
  const Case cases[] = {
      {"just toggled", 0, 0, kBlinkMs + 1},
      {"a millisecond early", kBlinkMs - 1, 0, 2},
      {"exactly a second: not yet, and the loop still waits", kBlinkMs, 0, 1},
      {"the first pass after the second", kBlinkMs + 1, 1, 0},
      {"long overdue", 10 * kBlinkMs, 1, 0},
  };
  for (const Case& c : cases) {
    fakeNow = lastToggle + c.sinceStamp;
    EXPECT_EQ(BlinkIsDue(lastToggle), c.due) << c.legend;
    EXPECT_EQ(MillisecondsUntilNextCheck(1, lastToggle, 0, 0), c.wait) << c.legend;
  }
}

TEST_F(loop_schedule_test, the_watchdog_is_due_only_after_five_seconds_of_silence) {
  const int32_t lastSentence = -2500;
  const Case cases[] = {
      {"a sentence just arrived", 0, 0, kSilenceMs + 1},
      {"a millisecond early", kSilenceMs - 1, 0, 2},
      {"exactly five seconds: not yet, and the loop still waits", kSilenceMs, 0, 1},
      {"the first pass after five seconds", kSilenceMs + 1, 1, 0},
  };
  for (const Case& c : cases) {
    fakeNow = lastSentence + c.sinceStamp;
    EXPECT_EQ(WatchdogIsDue(lastSentence), c.due) << c.legend;
    EXPECT_EQ(MillisecondsUntilNextCheck(0, 0, 1, lastSentence), c.wait) << c.legend;
  }
}

TEST_F(loop_schedule_test, the_nearer_check_sets_the_wait) {
  fakeNow = 100000;
  // Blink due in 1001 ms; the watchdog in 1001 - 700 = 301 ms.
  EXPECT_EQ(MillisecondsUntilNextCheck(1, fakeNow, 1, fakeNow - kSilenceMs + 300), 301u);
  // Blink due in 1001 - 400 = 601 ms, before the watchdog's 5001.
  EXPECT_EQ(MillisecondsUntilNextCheck(1, fakeNow - 400, 1, fakeNow), 601u);
  // A sentence stamped on the reader thread just after now was read.
  EXPECT_EQ(MillisecondsUntilNextCheck(0, 0, 1, fakeNow + 1), static_cast<uint32_t>(kSilenceMs + 1));
}

TEST_F(loop_schedule_test, nothing_armed_waits_for_input_alone) {
  fakeNow = 123456;
  // Stopped: a stale toggle or sentence time arms nothing.
  EXPECT_EQ(MillisecondsUntilNextCheck(0, fakeNow - 60000, 0, fakeNow - 60000), WAIT_FOREVER);
  EXPECT_EQ(WAIT_FOREVER, 0xFFFFFFFFu);
}

// The main loop on the fake clock, woken only by its own waits: it toggles
// the indicator on the first millisecond past each second and gives up on a
// silent receiver on the first millisecond past five seconds.
TEST_F(loop_schedule_test, a_loop_woken_only_by_its_waits_keeps_time) {
  const int32_t start = INT32_MAX - 2500;  // the count wraps on the way
  fakeNow = start;
  int32_t lastToggle = start;
  int32_t lastSentence = start;
  int32_t blinking = 1;
  int32_t running = 1;
  std::vector<int32_t> toggles;
  int32_t closedAfter = -1;
  for (int pass = 0; pass < 100 && running; ++pass) {
    if (blinking && BlinkIsDue(lastToggle)) {
      toggles.push_back(ElapsedSince(start));
      lastToggle = fakeNow;
    }
    if (running == 1 && WatchdogIsDue(lastSentence)) {
      closedAfter = ElapsedSince(start);
      running = 0;
      blinking = 0;
      break;
    }
    uint32_t wait = MillisecondsUntilNextCheck(blinking, lastToggle, running, lastSentence);
    ASSERT_NE(wait, WAIT_FOREVER) << "pass " << pass << ": the loop would never wake";
    fakeNow = static_cast<int32_t>(static_cast<uint32_t>(fakeNow) + wait);
  }
  EXPECT_EQ(toggles, (std::vector<int32_t>{1001, 2002, 3003, 4004}));
  EXPECT_EQ(closedAfter, 5001);
}

}  // namespace
