// The framer's counts: what a stream of known make-up gives, fed byte by byte
// or in blocks, and when the counts start again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "nmea/receiver.h"
#include "nmea_test_support.h"

namespace {

const std::string GGA = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F\r\n";
const std::string RMC = "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28\r\n";
const std::string BAD_CHECKSUM = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7E\r\n";
const std::string GARBAGE = std::string("\x01\xff\x80 noise \x00\r\n", 13);
// 600 characters after the '$': the 512th abandons the sentence, and the
// rest, its checksum included, is discarded while waiting for a '$'.
const std::string OVER_LONG = "$GPGGA," + std::string(600, 'x') + "*00\r\n";

struct Counts {
  uint32_t sentences, ignored, checksumErrors, tooShort, tooLong, cutShort;
};

struct StatsCase {
  const char* legend;
  std::string stream;
  Counts expected;  // bytes is always the length of the stream
};

const StatsCase kCases[] = {
    {"one GGA", GGA, {1, 0, 0, 0, 0, 0}},
    {"garbage between sentences counts as bytes only", GARBAGE + GGA + GARBAGE + RMC, {2, 0, 0, 0, 0, 0}},
    {"a wrong checksum", BAD_CHECKSUM + RMC, {1, 0, 1, 0, 0, 0}},
    {"11 and 12 characters with a right checksum are too short",
     WithChecksum("GPGGA,1") + WithChecksum("GPGGA,12") + WithChecksum("GPGGA,123"), {1, 0, 0, 2, 0, 0}},
    {"an over-long sentence is abandoned once", OVER_LONG + RMC, {1, 0, 0, 0, 1, 0}},
    {"two unsupported types are ignored",
     WithChecksum("GPZDA,125108,24,10,2011,,") + WithChecksum("GPTXT,01,01,02,ANTSTATUS=OK") + GGA,
     {1, 2, 0, 0, 0, 0}},
    {"a sentence cut short by the next '$' is counted once, and the next one decodes",
     "$GPGGA,125106,3854.5087,N\r\n" + RMC, {1, 0, 0, 0, 0, 1}},
    {"\"$$\" before every sentence: one cut short each", "$" + GGA + "$" + RMC, {2, 0, 0, 0, 0, 2}},
    {"a checksum character that is not hexadecimal is a checksum error",
     "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7G\r\n" + RMC, {1, 0, 1, 0, 0, 0}},
    {"everything at once",
     GARBAGE + GGA + BAD_CHECKSUM + WithChecksum("GPGGA,1") + OVER_LONG + WithChecksum("GPZDA,1,2") +
         GARBAGE + WithChecksum("PGRMZ,246,f,3") + "$GPRMC,1" + RMC + BAD_CHECKSUM + BAD_CHECKSUM,
     {2, 2, 3, 1, 1, 1}},
};

void ExpectCounts(const GpsStats& got, uint32_t bytes, const Counts& want, const std::string& legend) {
  EXPECT_EQ(got.bytes, bytes) << legend;
  EXPECT_EQ(got.sentences, want.sentences) << legend;
  EXPECT_EQ(got.ignored, want.ignored) << legend;
  EXPECT_EQ(got.checksumErrors, want.checksumErrors) << legend;
  EXPECT_EQ(got.tooShort, want.tooShort) << legend;
  EXPECT_EQ(got.tooLong, want.tooLong) << legend;
  EXPECT_EQ(got.cutShort, want.cutShort) << legend;
}

GpsStats StatsOf(const GpsContext* context) {
  GpsStats stats = {};
  EXPECT_EQ(GpsGetStats(context, &stats), 0);
  return stats;
}

void FeedBlock(GpsContext* context, const std::string& bytes) {
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int32_t>(bytes.size()));
}

TEST(stats_test, stream_of_known_make_up_gives_its_counts_byte_by_byte_and_as_one_block) {
  for (const StatsCase& c : kCases) {
    GpsContext* context = FreshContext();
    FeedBytes(context, c.stream);
    ExpectCounts(StatsOf(context), static_cast<uint32_t>(c.stream.size()), c.expected,
                 std::string(c.legend) + ", byte by byte");
    EXPECT_EQ(gCallbackCalls.size(), c.expected.sentences) << c.legend;

    context = FreshContext();
    FeedBlock(context, c.stream);
    ExpectCounts(StatsOf(context), static_cast<uint32_t>(c.stream.size()), c.expected,
                 std::string(c.legend) + ", one block");
  }
}

TEST(stats_test, bytes_are_whole_at_the_end_of_every_block_even_inside_a_sentence) {
  const StatsCase& all = kCases[sizeof kCases / sizeof kCases[0] - 1];
  for (size_t blockSize : {1u, 2u, 7u, 64u, 511u, 512u, 2048u}) {
    GpsContext* context = FreshContext();
    for (size_t at = 0; at < all.stream.size(); at += blockSize) {
      FeedBlock(context, all.stream.substr(at, blockSize));
      const size_t fed = std::min(all.stream.size(), at + blockSize);
      ASSERT_EQ(StatsOf(context).bytes, fed) << "blocks of " << blockSize << ", after byte " << fed;
    }
    ExpectCounts(StatsOf(context), static_cast<uint32_t>(all.stream.size()), all.expected,
                 "blocks of " + std::to_string(blockSize));
  }
}

TEST(stats_test, counts_start_again_at_init_and_stand_still_while_inactive) {
  GpsContext* context = FreshContext();
  FeedBlock(context, kCases[sizeof kCases / sizeof kCases[0] - 1].stream + "$GPGGA,12");
  context = FreshContext();
  ExpectCounts(StatsOf(context), 0, {0, 0, 0, 0, 0, 0}, "after init");
  FeedBlock(context, GGA);
  ExpectCounts(StatsOf(context), static_cast<uint32_t>(GGA.size()), {1, 0, 0, 0, 0, 0},
               "after init, the sentence cut off before it is not counted");

  context->active = 0;
  FeedBlock(context, GARBAGE + RMC);
  ExpectCounts(StatsOf(context), static_cast<uint32_t>(GGA.size()), {1, 0, 0, 0, 0, 0}, "inactive");
}

TEST(stats_test, counts_wrap_at_32_bits) {
  GpsContext* context = FreshContext();
  context->stats.bytes.store(UINT32_MAX - 1);
  FeedBlock(context, "abc");
  EXPECT_EQ(StatsOf(context).bytes, 1u);
}

TEST(stats_test, null_argument_gives_1) {
  GpsStats stats = {};
  EXPECT_EQ(GpsGetStats(nullptr, &stats), 1);
  EXPECT_EQ(GpsGetStats(FreshContext(), nullptr), 1);
}

}  // namespace
