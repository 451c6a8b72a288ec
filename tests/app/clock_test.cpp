#include "app/clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

int32_t fakeNow;
int32_t FakeClock() { return fakeNow; }

class clock_test : public ::testing::Test {
 protected:
  void SetUp() override { SetClockSource(FakeClock); }
  void TearDown() override { SetClockSource(nullptr); }
};

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

TEST(real_clock_test, counts_from_process_start_and_never_goes_back) {
  int32_t first = ClockNow();
  EXPECT_GE(first, 0);
  EXPECT_LT(first, 60 * 60 * 1000) << "a test process an hour old";
  EXPECT_GE(ElapsedSince(first), 0);
}

}  // namespace
