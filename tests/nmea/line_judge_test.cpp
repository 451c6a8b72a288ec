// The speed search's judgement, on an injected clock: blocks as a receiver at
// the right or a wrong speed delivers them, then the verdict at a given time.
#include "nmea/line_judge.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Block {
  uint32_t atMs;  // after the start
  uint32_t bytes;
  uint32_t verified;
};

// count blocks of bytes, from atMs on, every 10 ms: a burst as a UART
// delivers it.
std::vector<Block> Burst(uint32_t atMs, int count, uint32_t bytes, uint32_t verifiedEach) {
  std::vector<Block> blocks;
  for (int i = 0; i < count; ++i) blocks.push_back({atMs + 10u * i, bytes, verifiedEach});
  return blocks;
}

std::vector<Block> operator+(std::vector<Block> a, const std::vector<Block>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Judged {
  LineVerdict verdict;
  uint32_t waitMs;
  uint32_t flags;
};

// Feeds the blocks to a tally started at startMs and judges at judgeMs after
// the start, the way the feeding and the searching thread meet.
Judged Judge(const std::vector<Block>& blocks, uint32_t judgeMs, uint32_t startMs = 1000) {
  LineTally tally;
  LineTallyStart(&tally, startMs);
  uint64_t word = LinePack(7, startMs, 0);
  for (const Block& b : blocks) {
    bool burstBegan = false;
    word = LinePack(7, startMs + b.atMs,
                    LineTallyBlock(&tally, startMs + b.atMs, b.bytes, b.verified, 0, &burstBegan));
  }
  Judged j = {LINE_WAIT, 0, LineFlags(word)};
  j.verdict = LineJudgeSearch(word, 7, startMs, startMs + judgeMs, &j.waitMs);
  return j;
}

TEST(line_judge_test, verdicts_while_searching) {
  struct Row {
    const char* legend;
    std::vector<Block> blocks;
    uint32_t judgeMs;
    LineVerdict verdict;
  };
  const Row rows[] = {
      {"two sentences verified in the first burst take the speed",
       Burst(300, 2, 70, 1), 320, LINE_TAKE},
      {"one sentence does not take it yet", Burst(300, 1, 70, 1), 320, LINE_WAIT},
      {"a whole burst of garbage, still arriving", Burst(300, 30, 20, 0), 650, LINE_WAIT},
      {"a whole burst of garbage is left once the line has been quiet 100 ms",
       Burst(300, 30, 20, 0), 690, LINE_LEAVE},
      {"99 ms of quiet are not yet a gap", Burst(300, 30, 20, 0), 689, LINE_WAIT},
      {"a burst under way at the start is not whole: its tail may be a sentence's end",
       Burst(20, 30, 20, 0), 600, LINE_WAIT},
      {"the next burst after it is whole, and judged", Burst(20, 30, 20, 0) + Burst(1000, 5, 4, 0),
       1150, LINE_LEAVE},
      {"a sentence's tail at the start, then the next cycle's sentences: taken",
       Burst(10, 1, 30, 0) + Burst(1000, 2, 70, 1), 1020, LINE_TAKE},
      {"a sparse burst, as a slow UART makes of a fast receiver: three bytes, then quiet",
       Burst(400, 3, 1, 0), 620, LINE_LEAVE},
      {"1024 bytes without a sentence leave at once", Burst(200, 8, 128, 0), 271, LINE_LEAVE},
      {"1023 do not", Burst(0, 1, 1023, 0), 50, LINE_WAIT},
      {"a sentence forgives the bytes before it", Burst(0, 1, 1000, 0) + Burst(20, 1, 70, 1) +
       Burst(30, 1, 1000, 0), 50, LINE_WAIT},
      {"nothing at all for 1.5 s leaves", {}, 1500, LINE_LEAVE},
      {"nothing for 1499 ms does not", {}, 1499, LINE_WAIT},
      {"a partial burst, then 1.5 s of nothing, leaves", Burst(10, 1, 5, 0), 1510, LINE_LEAVE},
      {"1.5 s counts from the last block", Burst(10, 1, 5, 0), 1509, LINE_WAIT},
      {"a verified burst is not left when it ends", Burst(300, 1, 70, 1), 900, LINE_WAIT},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.verdict, Judge(r.blocks, r.judgeMs).verdict) << r.legend;
  }
}

TEST(line_judge_test, waits_until_the_next_moment_a_verdict_can_change) {
  EXPECT_EQ(1400u, Judge({}, 100).waitMs) << "silence: until 1.5 s";
  EXPECT_EQ(40u, Judge(Burst(300, 30, 20, 0), 650).waitMs) << "a whole burst: until its gap";
  EXPECT_EQ(1300u, Judge(Burst(300, 1, 70, 1), 500).waitMs) << "a verified burst: silence only";
}

TEST(line_judge_test, the_clock_may_wrap_in_between) {
  const uint32_t nearWrap = 0xFFFFFF00u;
  EXPECT_EQ(LINE_LEAVE, Judge(Burst(300, 30, 20, 0), 690, nearWrap).verdict);
  EXPECT_EQ(LINE_WAIT, Judge(Burst(300, 30, 20, 0), 650, nearWrap).verdict);
  EXPECT_EQ(LINE_TAKE, Judge(Burst(300, 2, 70, 1), 320, nearWrap).verdict);
}

// The feeding thread published a block after the judging thread read its
// clock: the block is 1 ms "ahead", and the line was not quiet for 49 days.
TEST(line_judge_test, a_block_published_after_the_clock_was_read_is_no_silence) {
  const uint64_t word = LinePack(7, 5001, LINE_HEARD | LINE_WHOLE_BURST | LINE_BURST_VERIFIED);
  uint32_t waitMs = 0;
  EXPECT_EQ(LINE_WAIT, LineJudgeSearch(word, 7, 1000, 5000, &waitMs));
}

// Bytes held in a binary frame candidate are not garbage until it is judged.
TEST(line_judge_test, bytes_held_in_a_frame_candidate_are_not_garbage) {
  LineTally tally;
  LineTallyStart(&tally, 0);
  bool began = false;
  EXPECT_EQ(0u, LineTallyBlock(&tally, 10, 1500, 0, 1500, &began) & LINE_GARBAGE);
  EXPECT_EQ(0u, LineTallyBlock(&tally, 20, 500, 0, 2000, &began) & LINE_GARBAGE);
  EXPECT_NE(0u, LineTallyBlock(&tally, 30, 100, 0, 0, &began) & LINE_GARBAGE) << "the candidate failed";
}

TEST(line_judge_test, a_word_of_an_earlier_speed_says_nothing) {
  const uint64_t taken = LinePack(6, 1000, LINE_HEARD | LINE_SENTENCES);
  uint32_t waitMs = 0;
  EXPECT_EQ(LINE_WAIT, LineJudgeSearch(taken, 7, 1000, 1100, &waitMs));
  EXPECT_EQ(LINE_TAKE, LineJudgeSearch(taken, 6, 1000, 1100, &waitMs));
  const uint64_t garbage = LinePack(6, 1000, LINE_HEARD | LINE_GARBAGE);
  EXPECT_EQ(LINE_WAIT, LineJudgeSearch(garbage, 7, 1000, 1100, &waitMs));
}

TEST(line_judge_test, a_taken_speed_is_given_up_after_two_whole_bursts_without_a_sentence) {
  struct Row {
    const char* legend;
    std::vector<Block> blocks;
    bool garbage;
  };
  const std::vector<Block> good = Burst(0, 3, 70, 1);
  const Row rows[] = {
      {"one bad burst (judged when the next begins) is forgiven",
       good + Burst(1000, 20, 20, 0) + Burst(2000, 1, 20, 0), false},
      {"two in a row are garbage", good + Burst(1000, 20, 20, 0) + Burst(2000, 20, 20, 0) +
       Burst(3000, 1, 20, 0), true},
      {"a good burst between them starts the count again", good + Burst(1000, 20, 20, 0) +
       Burst(2000, 2, 70, 1) + Burst(3000, 20, 20, 0) + Burst(4000, 1, 20, 0), false},
      {"1024 bytes without a sentence are garbage at any time", good + Burst(1000, 1, 1024, 0),
       true},
  };
  for (const Row& r : rows) {
    const Judged j = Judge(r.blocks, 5000);
    EXPECT_TRUE(j.flags & LINE_SENTENCES) << r.legend;
    EXPECT_EQ(r.garbage, (j.flags & LINE_GARBAGE) != 0) << r.legend;
  }
}

TEST(line_judge_test, a_block_after_a_gap_begins_a_burst) {
  LineTally tally;
  LineTallyStart(&tally, 0);
  bool began = false;
  LineTallyBlock(&tally, 50, 10, 0, 0, &began);
  EXPECT_FALSE(began) << "50 ms after the start: the line may have been busy before it";
  LineTallyBlock(&tally, 60, 10, 0, 0, &began);
  EXPECT_FALSE(began);
  LineTallyBlock(&tally, 160, 10, 0, 0, &began);
  EXPECT_TRUE(began);
}

TEST(line_judge_test, search_order_starts_at_the_speed_last_found_then_the_common_ones) {
  struct Row {
    uint32_t first;
    std::vector<uint32_t> order;
  };
  const Row rows[] = {
      {0, {4800, 9600, 38400, 115200, 19200, 57600, 230400, 460800, 921600, 4800}},
      {4800, {4800, 9600, 38400, 115200, 19200, 57600, 230400, 460800, 921600, 4800}},
      {38400, {38400, 4800, 9600, 115200, 19200, 57600, 230400, 460800, 921600, 38400}},
      {921600, {921600, 4800, 9600, 38400, 115200, 19200, 57600, 230400, 460800, 921600}},
  };
  for (const Row& r : rows) {
    LineSearch search;
    LineSearchStart(&search, r.first);
    for (size_t i = 0; i < r.order.size(); ++i)
      EXPECT_EQ(r.order[i], LineSearchNext(&search)) << "from " << r.first << ", try " << i;
  }
}

TEST(line_judge_test, only_the_listed_speeds_are_receiver_speeds) {
  for (uint32_t baud : {4800u, 9600u, 19200u, 38400u, 57600u, 115200u, 230400u, 460800u, 921600u})
    EXPECT_EQ(1, IsLineSpeed(baud)) << baud;
  for (uint32_t baud : {0u, 1u, 2400u, 4801u, 14400u, 1000000u})
    EXPECT_EQ(0, IsLineSpeed(baud)) << baud;
}

}  // namespace
