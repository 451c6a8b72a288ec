#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "nmea/receiver.h"
#include "nmea_test_support.h"

namespace {

const std::string GGA = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F";
const std::string GGA_NEXT = "$GPGGA,125107,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7E";
const std::string ZDA = FramedSentence("GPZDA,125106.00,24,10,2011,00,00");

// Everything the application heard, in order.
std::vector<std::string> gHeard;

void HearSentence(GpsContext*, const char* text, int32_t length, int32_t verdict) {
  gHeard.push_back(std::to_string(verdict) + " " + std::string(text, static_cast<size_t>(length)));
}

void HearEpoch(GpsContext*, const GpsFix*, const GpsSky*) { gHeard.push_back("epoch"); }

int32_t HearRecord(GpsContext*, SentenceType type, void*, int32_t) {
  gHeard.push_back("record " + std::to_string(type));
  return 0;
}

void HearBytes(GpsContext*, const unsigned char* bytes, int32_t count) {
  gHeard.push_back("bytes " + std::string(reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)));
}

GpsContext* Listening() {
  gHeard.clear();
  GpsContext* context = GpsContextInit(HearRecord);
  EXPECT_EQ(GpsSetSentenceCallback(context, HearSentence), 0);
  return context;
}

std::string Heard(int32_t verdict, const std::string& text) { return std::to_string(verdict) + " " + text; }

TEST(sentence_callback_test, tells_every_sentence_the_framer_leaves_as_received) {
  const std::string tooLong = "$GPGGA," + std::string(505, 'x');
  const std::string lostStar = "$GPGLL,3854.5087,N";
  const struct {
    const char* legend;
    std::string bytes;
    std::vector<std::string> expected;
  } cases[] = {
      {"a verified sentence without its line end, garbage before it unheard", "\x01junk\r\n" + GGA + "\r\n",
       {Heard(GPS_SENTENCE_VERIFIED, GGA), "record 0"}},
      {"a verified sentence of a type with no record", ZDA + "\r\n", {Heard(GPS_SENTENCE_VERIFIED, ZDA)}},
      {"a checksum error, then a verified sentence", GGA.substr(0, GGA.size() - 1) + "E\r\n" + GGA,
       {Heard(GPS_SENTENCE_CHECKSUM_ERROR, GGA.substr(0, GGA.size() - 1) + "E"), Heard(GPS_SENTENCE_VERIFIED, GGA),
        "record 0"}},
      {"too short", FramedSentence("GPGGA,1") + "\r\n", {Heard(GPS_SENTENCE_TOO_SHORT, FramedSentence("GPGGA,1"))}},
      {"cut short by the next '$': the part received", lostStar + "\r\n" + GGA,
       {Heard(GPS_SENTENCE_CUT_SHORT, lostStar + "\r\n"), Heard(GPS_SENTENCE_VERIFIED, GGA), "record 0"}},
      {"too long: its first 512 characters", tooLong + "*00\r\n" + GGA,
       {Heard(GPS_SENTENCE_TOO_LONG, tooLong), Heard(GPS_SENTENCE_VERIFIED, GGA), "record 0"}},
      {"a sentence not yet whole is not told", GGA.substr(0, 40), {}},
  };
  for (const auto& c : cases) {
    GpsContext* context = Listening();
    FeedBytes(context, c.bytes);
    EXPECT_EQ(gHeard, c.expected) << c.legend;
  }
}

TEST(sentence_callback_test, comes_before_the_state_and_the_record_and_counts_its_bytes) {
  GpsContext* context = Listening();
  GpsSetEpochCallback(context, HearEpoch);
  GpsSetSentenceCallback(context, [](GpsContext* c, const char*, int32_t, int32_t) {
    GpsStats stats;
    GpsGetStats(c, &stats);
    gHeard.push_back("sentence at " + std::to_string(stats.bytes));
  });
  const std::string gsa = FramedSentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1");
  FeedBytes(context, "xy" + GGA + "\r\n" + gsa + "\r\n" + GGA_NEXT);
  auto at = [](size_t bytes) { return "sentence at " + std::to_string(bytes); };
  const size_t first = 2 + GGA.size();
  const size_t second = first + 2 + gsa.size();
  // The second time of day completes the first epoch: after its sentence is
  // told, before its record.
  EXPECT_EQ(gHeard, (std::vector<std::string>{at(first), "record 0", at(second), "record 1",
                                              at(second + 2 + GGA_NEXT.size()), "epoch", "record 0"}));
}

TEST(sentence_callback_test, bytes_callback_sees_each_block_whole_before_it_is_framed) {
  GpsContext* context = Listening();
  EXPECT_EQ(GpsSetBytesCallback(context, HearBytes), 0);
  const std::string block = "\r\n" + GGA + "\r\n$GPG";
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(block.data()), static_cast<int32_t>(block.size()));
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(block.data()), 0);
  EXPECT_EQ(gHeard, (std::vector<std::string>{"bytes " + block, Heard(GPS_SENTENCE_VERIFIED, GGA), "record 0"}));
}

TEST(sentence_callback_test, init_clears_both_callbacks_and_null_turns_them_off) {
  GpsContext* context = Listening();
  GpsSetBytesCallback(context, HearBytes);
  GpsContextInit(HearRecord);
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(GGA.data()), static_cast<int32_t>(GGA.size()));
  GpsSetSentenceCallback(context, HearSentence);
  GpsSetSentenceCallback(context, nullptr);
  FeedBytes(context, "\r\n" + GGA);
  EXPECT_EQ(gHeard, (std::vector<std::string>{"record 0", "record 0"}));
  EXPECT_EQ(GpsSetSentenceCallback(nullptr, HearSentence), 1);
  EXPECT_EQ(GpsSetBytesCallback(nullptr, HearBytes), 1);
}

}  // namespace
