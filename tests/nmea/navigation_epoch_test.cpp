// The epoch callback: once per receiver cycle, at the sentence that ended the
// previous cycle, or at the next cycle's time until that is learned.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "navigation_test_support.h"

namespace {

struct EpochCall {
  int32_t second;
  bool position;
  int32_t signals;
};

std::vector<EpochCall> gEpochs;
// Epoch and sentence callbacks in the order they came: 'E' or the sentence type.
std::string gOrder;

void RecordEpoch(GpsContext*, const GpsFix* fix, const GpsSky* sky) {
  gEpochs.push_back({fix->seconds, !std::isnan(fix->latitude), sky->signalCount});
  gOrder += 'E';
}

int32_t RecordSentence(GpsContext*, SentenceType type, void*, int32_t) {
  gOrder += static_cast<char>('0' + type);
  return 0;
}

GpsContext* ContextWithEpochs() {
  gEpochs.clear();
  gOrder.clear();
  GpsContext* context = GpsContextInit(RecordSentence);
  EXPECT_EQ(GpsSetEpochCallback(context, RecordEpoch), 0);
  return context;
}

// A Garmin-like cycle of second s: RMC, GGA, GSA, a GSV group, GLL.
std::vector<std::string> Cycle(int32_t s) {
  const std::string time = "1200" + std::string(s < 10 ? "0" : "") + std::to_string(s);
  return {"GPRMC," + time + ",A,4807.038,N,01131.000,E,0.5,90.0,150324,,",
          "GPGGA," + time + ",4807.038,N,01131.000,E,1,05,1.2,545.4,M,46.9,M,,",
          "GPGSA,A,3,05,07,09,,,,,,,,,,2.1,1.2,1.7",
          "GPGSV,1,1,03,05,40,100,40,07,30,200,35,09,20,300,30",
          "GPGLL,4807.038,N,01131.000,E," + time + ",A,A"};
}

std::vector<int32_t> Seconds() {
  std::vector<int32_t> seconds;
  for (const EpochCall& call : gEpochs) seconds.push_back(call.second);
  return seconds;
}

TEST(navigation_epoch_test, the_first_epoch_completes_when_the_next_time_comes) {
  GpsContext* context = ContextWithEpochs();
  FeedSentences(context, Cycle(1));
  EXPECT_TRUE(gEpochs.empty());
  FeedSentences(context, {Cycle(2)[0]});
  ASSERT_EQ(gEpochs.size(), 1u);
  // The epoch just completed, whole: not yet cleared by the new time.
  EXPECT_EQ(gEpochs[0].second, 1);
  EXPECT_TRUE(gEpochs[0].position);
  EXPECT_EQ(gEpochs[0].signals, 3);
}

TEST(navigation_epoch_test, then_at_the_sentence_that_ended_the_cycle_once_each) {
  GpsContext* context = ContextWithEpochs();
  for (int32_t s = 1; s <= 4; ++s) FeedSentences(context, Cycle(s));
  // 1 when the time of 2 came; 2, 3 and 4 at their GLL.
  EXPECT_EQ(Seconds(), (std::vector<int32_t>{1, 2, 3, 4}));
  for (const EpochCall& call : gEpochs) EXPECT_TRUE(call.position);
  FeedSentences(context, {Cycle(5)[0]});
  EXPECT_EQ(gEpochs.size(), 4u) << "epoch 4 was reported already";
}

TEST(navigation_epoch_test, the_epoch_callback_comes_before_the_sentence_callback_of_its_last_sentence) {
  GpsContext* context = ContextWithEpochs();
  FeedSentences(context, Cycle(1));
  FeedSentences(context, Cycle(2));
  // Types: 3 RMC, 0 GGA, 1 GSA, 2 GSV, 4 GLL.  Epoch 1 before the RMC that
  // begins epoch 2, epoch 2 before its GLL's callback.
  EXPECT_EQ(gOrder, "30124" "E3012" "E4");
}

TEST(navigation_epoch_test, a_receiver_sending_one_gga_a_second_gets_one_call_per_gga) {
  GpsContext* context = ContextWithEpochs();
  for (int32_t s = 1; s <= 4; ++s) FeedSentences(context, {Cycle(s)[1]});
  EXPECT_EQ(Seconds(), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(navigation_epoch_test, a_receiver_that_changes_its_cycle_still_reports_each_epoch_once) {
  GpsContext* context = ContextWithEpochs();
  FeedSentences(context, Cycle(1));
  FeedSentences(context, Cycle(2));
  // The GLL is switched off: epoch 3 ends unseen, and the GGA is learned.
  for (int32_t s = 3; s <= 5; ++s) FeedSentences(context, {Cycle(s)[0], Cycle(s)[1]});
  // And on again.
  for (int32_t s = 6; s <= 7; ++s) FeedSentences(context, Cycle(s));
  EXPECT_EQ(Seconds(), (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}));
}

TEST(navigation_epoch_test, u_blox_m9n_ends_its_cycle_with_the_last_part_of_a_gsv_group) {
  const auto cycle = [](const char* time) {
    return std::vector<std::string>{
        std::string("GNRMC,") + time + ",A,3806.62964,N,12237.61382,W,0.040,,110720,,,D,V",
        "GPGSV,1,1,01,13,22,062,23,1", "GBGSV,2,1,05,04,01,262,,07,03,328,,27,78,059,44,28,29,115,34,1",
        "GBGSV,2,2,05,30,37,312,36,1"};
  };
  GpsContext* context = ContextWithEpochs();
  FeedSentences(context, cycle("223745.00"));
  FeedSentences(context, cycle("223746.00"));
  FeedSentences(context, cycle("223747.00"));
  // Epoch 45 at the time of 46; 46 and 47 at the second part, not at the first.
  EXPECT_EQ(Seconds(), (std::vector<int32_t>{45, 46, 47}));
  for (const EpochCall& call : gEpochs) EXPECT_EQ(call.signals, 6);
}

TEST(navigation_epoch_test, sentences_without_a_time_make_no_epoch) {
  GpsContext* context = ContextWithEpochs();
  for (int32_t s = 1; s <= 3; ++s) FeedSentences(context, {Cycle(s)[2], Cycle(s)[3]});
  EXPECT_TRUE(gEpochs.empty());
}

TEST(navigation_epoch_test, the_callback_is_set_on_a_context_and_cleared_by_its_init) {
  EXPECT_EQ(GpsSetEpochCallback(nullptr, RecordEpoch), 1);
  GpsContext* context = ContextWithEpochs();
  GpsContextInit(RecordSentence);
  for (int32_t s = 1; s <= 3; ++s) FeedSentences(context, Cycle(s));
  EXPECT_TRUE(gEpochs.empty());
  // Epochs that completed without a callback are not told later.
  ASSERT_EQ(GpsSetEpochCallback(context, RecordEpoch), 0);
  FeedSentences(context, Cycle(4));
  EXPECT_EQ(Seconds(), (std::vector<int32_t>{4}));
  ASSERT_EQ(GpsSetEpochCallback(context, nullptr), 0);
  FeedSentences(context, Cycle(5));
  EXPECT_EQ(gEpochs.size(), 1u);
}

}  // namespace
