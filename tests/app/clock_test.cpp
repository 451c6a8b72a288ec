#include "app/clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "fake_clock.h"

namespace {

using clock_test = FakeClockTest;

TEST_F(clock_test, limits_pass_only_when_strictly_exceeded) {
  struct Case {
    const char* legend;
    int32_t stamp;
    int32_t now;
    int32_t limit;
    int32_t elapsed;
    int32_t wait;
  };
  const Case cases[] = {
      {"blink: at the stamp", 1000, 1000, 1000, 0, 1001},
      {"blink: 999 ms", 1000, 1999, 1000, 0, 2},
      {"blink: exactly 1000 ms", 1000, 2000, 1000, 0, 1},
      {"blink: first pass after 1000 ms", 1000, 2001, 1000, 1, 0},
      {"watchdog: exactly 5000 ms", 7, 5007, 5000, 0, 1},
      {"watchdog: 5001 ms", 7, 5008, 5000, 1, 0},
      {"watchdog: long silence", 0, 600000, 5000, 1, 0},
      {"stamp across the wrap", INT32_MAX - 2000, INT32_MIN + 2999, 5000, 0, 1},
      {"elapsed across the wrap", INT32_MAX - 2000, INT32_MIN + 3000, 5000, 1, 0},
      {"stamp written after now was read", 500, 499, 5000, 0, 5001},
  };
  for (const Case& c : cases) {
    fakeNow = c.now;
    EXPECT_EQ(HasElapsed(c.stamp, c.limit), c.elapsed) << c.legend;
    EXPECT_EQ(MillisecondsUntilElapsed(c.stamp, c.limit), c.wait) << c.legend;
  }
}

TEST_F(clock_test, wait_ends_exactly_when_the_limit_passes) {
  const int32_t stamp = -123;
  for (fakeNow = stamp; fakeNow < stamp + 1200; fakeNow += 37) {
    int32_t wait = MillisecondsUntilElapsed(stamp, 1000);
    int32_t start = fakeNow;
    if (wait > 0) {
      fakeNow = start + wait - 1;
      EXPECT_EQ(HasElapsed(stamp, 1000), 0) << "one ms early from " << start;
    }
    fakeNow = start + wait;
    EXPECT_EQ(HasElapsed(stamp, 1000), 1) << "on time from " << start;
    fakeNow = start;
  }
}

TEST_F(clock_test, stamps_copy_the_current_count) {
  std::atomic<int32_t> shared{0};
  int32_t plain = 0;
  fakeNow = -42;
  StampTime(&shared);
  StampTime(&plain);
  EXPECT_EQ(shared.load(), -42);
  EXPECT_EQ(plain, -42);
  EXPECT_EQ(ElapsedSince(-50), 8);
}

// The real clock against the standard library's steady clock: it starts
// near zero at process start, steps one millisecond at a time and keeps
// pace, so it is neither stuck, nor counting seconds, nor in other units.
TEST(real_clock_test, counts_milliseconds_from_process_start) {
  int32_t first = ClockNow();
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 60 * 60 * 1000) << "a test process an hour old";

  using std::chrono::milliseconds;
  using std::chrono::steady_clock;
  const int32_t from = ClockNow();
  const steady_clock::time_point start = steady_clock::now();
  const steady_clock::time_point deadline = start + std::chrono::seconds(5);
  int32_t previous = from;
  int32_t smallestStep = INT32_MAX;
  while (ElapsedSince(from) < 100 && steady_clock::now() < deadline) {
    int32_t now = ClockNow();
    if (now != previous) smallestStep = std::min(smallestStep, now - previous);
    previous = now;
    std::this_thread::yield();
  }
  auto elapsed = std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
  EXPECT_EQ(smallestStep, 1);
  // 100 counts take 99 to 100 ms; the upper slack is for a loaded machine.
  EXPECT_GE(elapsed, 98);
  EXPECT_LT(elapsed, 400);
  EXPECT_GE(ElapsedSince(first), 100);
}

}  // namespace
