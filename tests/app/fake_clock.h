// The demo's millisecond clock under a test's control: a fixture derived
// from FakeClockTest reads fakeNow wherever the demo reads the clock.
#ifndef ORVOGPS_TESTS_APP_FAKE_CLOCK_H
#define ORVOGPS_TESTS_APP_FAKE_CLOCK_H

#include <gtest/gtest.h>

#include <cstdint>

#include "app/clock.h"

inline int32_t fakeNow;

class FakeClockTest : public ::testing::Test {
 protected:
  static int32_t FakeClock() { return fakeNow; }
  void SetUp() override { SetClockSource(FakeClock); }
  void TearDown() override { SetClockSource(nullptr); }
};

#endif
