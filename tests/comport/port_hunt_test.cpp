// One port's speed search on an injected clock: more than a day of a silent
// port.
#include "nmea/port_hunt.h"

#include <gtest/gtest.h>

namespace {

uint32_t gNowMs = 1000;
uint32_t FakeClock() { return gNowMs; }

struct HuntOnFakeClock {
  PortHunt hunt = {};
  HuntOnFakeClock() {
    gNowMs = 1000;
    HuntUseClock(FakeClock);
    hunt.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  ~HuntOnFakeClock() {
    CloseHandle(hunt.wake);
    HuntUseClock(nullptr);
  }
  // A block as the reader feeds it: begins, ends with verified sentences.
  void Block(uint32_t bytes, uint32_t verified) {
    (void)HuntBlockBegins(&hunt);
    HuntBlockEnds(&hunt, bytes, verified, 0);
  }
};

// A port that talked once, then stays silent while the search moves on every
// 1.5 s for 29 hours (more than 65536 generations): no later generation is
// ever judged by the word of the one that heard sentences.
TEST(port_hunt_test, a_day_of_a_silent_port_never_takes_a_speed) {
  HuntOnFakeClock f;
  HuntStart(&f.hunt, 4800, true);
  f.Block(100, 0);
  f.Block(100, 3);
  uint32_t wait = 0;
  ASSERT_EQ(LINE_TAKE, HuntJudge(&f.hunt, &wait));
  uint32_t taken = 0;
  for (uint32_t i = 0; i < 70000; ++i) {
    HuntStart(&f.hunt, 9600, true);
    gNowMs += LINE_SILENT_MS;
    if (HuntJudge(&f.hunt, &wait) == LINE_TAKE) ++taken;
  }
  EXPECT_EQ(0u, taken);
}

}  // namespace
