// Silence on an injected clock: when a receiver that stopped talking is
// shown as silent and when its port is opened again, for receivers that
// talk every second and less often.
#include "nmea/link_silence.h"

#include <gtest/gtest.h>

namespace {

constexpr uint32_t NEVER = 0xFFFFFFFFu;

TEST(link_silence_test, silent_after_three_seconds_or_cycles_reopened_after_five) {
  struct Row {
    const char* legend;
    uint32_t quietMs;
    uint32_t cycleMs;
    bool reconnect;
    LinkSilence expected;
  };
  const Row rows[] = {
      {"just heard", 0, 1000, false, {false, false, 3000}},
      {"2.9 s quiet at 1 Hz", 2900, 1000, true, {false, false, 100}},
      {"3 s quiet at 1 Hz", 3000, 1000, false, {true, false, NEVER}},
      {"3 s quiet, reconnect: the reopen comes at 5 s", 3000, 1000, true, {true, false, 2000}},
      {"5 s quiet, reconnect: reopen", 5000, 1000, true, {true, true, NEVER}},
      {"5 s quiet without reconnect: silent, nothing more", 5000, 1000, false, {true, false, NEVER}},
      {"a cycle not known yet counts as short", 3000, 0, false, {true, false, NEVER}},
      {"a 0.2 Hz receiver: three cycles are 15 s", 14000, 5000, true, {false, false, 1000}},
      {"a 0.2 Hz receiver, 15 s quiet", 15000, 5000, true, {true, false, 10000}},
      {"a 0.2 Hz receiver, 25 s quiet: reopen", 25000, 5000, true, {true, true, NEVER}},
  };
  for (const Row& r : rows) {
    const LinkSilence got = JudgeSilence(r.quietMs, r.cycleMs, r.reconnect);
    EXPECT_EQ(r.expected.silent, got.silent) << r.legend;
    EXPECT_EQ(r.expected.reopen, got.reopen) << r.legend;
    EXPECT_EQ(r.expected.waitMs, got.waitMs) << r.legend;
  }
}

// The cycle is the time between the starts of two bursts in which something
// verified; blocks of one burst do not shorten it, and a long silence is no
// cycle.
TEST(link_silence_test, the_cycle_is_measured_between_bursts_not_across_silence) {
  LinkHeard heard;
  LinkHeardStart(&heard);
  const uint32_t start = 0xFFFFF000u;  // the clock wraps in between
  for (uint32_t second = 0; second < 3; ++second)
    for (uint32_t block = 0; block < 5; ++block) LinkHeardBlock(&heard, start + second * 5000 + block * 20);
  EXPECT_EQ(5000u, LinkHeardCycleMs(LinkHeardPack(&heard)));
  EXPECT_EQ(start + 2 * 5000 + 80, LinkHeardLastMs(LinkHeardPack(&heard)));
  LinkHeardBlock(&heard, start + 10000 + 3600000);  // an hour switched off
  EXPECT_EQ(5000u, LinkHeardCycleMs(LinkHeardPack(&heard)));
  EXPECT_EQ(start + 10000u, LaterMs(start + 10000, start + 9000));
  EXPECT_EQ(start + 10000u, LaterMs(start + 9000, start + 10000));
}

}  // namespace
