#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "nmea/nmea_internal.h"
#include "nmea_test_support.h"

namespace {

TEST(dispatch_test, formatter_selects_the_type_whatever_the_talker) {
  struct Case {
    const char* body;
    std::vector<SentenceType> expected;
  } cases[] = {
      {"GPGGA,125106,3854.5087,N", {SENTENCE_GGA}},
      {"GNGGA,125106,3854.5087,N", {SENTENCE_GGA}},
      {"IIGGA,125106,3854.5087,N", {SENTENCE_GGA}},
      {"xyGGA,125106,3854.5087,N", {SENTENCE_GGA}},
      {"GPGGAX,125106,3854.5087", {SENTENCE_GGA}},  // only three letters compared
      {"GPGSA,A,3,03,07,08", {SENTENCE_GSA}},
      {"BDGSV,3,1,10,03,41,050,46", {SENTENCE_GSV}},
      {"GPRMC,125106,V", {SENTENCE_RMC}},
      {"GLGLL,3854.5087,N", {SENTENCE_GLL}},
      {"GPVTG,0.0,T", {SENTENCE_VTG}},
      {"GPZDA,125106,24,10,2011,,", {}},
      {"PGRME,15.0,M,45.0,M,25.0,M", {}},  // proprietary: "RME"
      {"GPgga,125106,3854.5087,N", {}},  // formatters are upper case
      {"GPGG,125106,3854.5087,N", {}},
  };
  for (const auto& c : cases) {
    GpsContext* context = FreshContext();
    FeedBytes(context, WithChecksum(c.body));
    EXPECT_EQ(CalledTypes(), c.expected) << c.body;
  }
}

TEST(dispatch_test, callback_gets_context_type_record_and_zero) {
  struct Case {
    const char* body;
    SentenceType type;
    size_t recordOffset;
  } cases[] = {
      {"GPGGA,125106", SENTENCE_GGA, offsetof(GpsContext, gga)},
      {"GPGSA,A,3,03", SENTENCE_GSA, offsetof(GpsContext, gsa)},
      {"GPGSV,3,1,10", SENTENCE_GSV, offsetof(GpsContext, gsv)},
      {"GPRMC,125106", SENTENCE_RMC, offsetof(GpsContext, rmc)},
      {"GPGLL,3854.5", SENTENCE_GLL, offsetof(GpsContext, gll)},
      {"GPVTG,0.0,T,", SENTENCE_VTG, offsetof(GpsContext, vtg)},
  };
  for (const auto& c : cases) {
    GpsContext* context = FreshContext();
    FeedBytes(context, WithChecksum(c.body));
    ASSERT_EQ(gCallbackCalls.size(), 1u) << c.body;
    const CallbackCall& call = gCallbackCalls[0];
    EXPECT_EQ(call.context, context) << c.body;
    EXPECT_EQ(call.type, c.type) << c.body;
    EXPECT_EQ(call.record, reinterpret_cast<char*>(context) + c.recordOffset) << c.body;
    EXPECT_EQ(call.reserved, 0) << c.body;
  }
}

TEST(dispatch_test, unsupported_sentence_changes_no_record) {
  GpsContext* context = FreshContext();
  FeedBytes(context, WithChecksum("GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M"));
  // The six records, up to the counts that follow them.
  const size_t recordsSize = offsetof(GpsContext, stats) - offsetof(GpsContext, gga);
  std::vector<unsigned char> before(recordsSize);
  std::memcpy(before.data(), &context->gga, recordsSize);
  FeedBytes(context, WithChecksum("GPZDA,125108,24,10,2011,,"));
  EXPECT_EQ(gCallbackCalls.size(), 1u);
  EXPECT_EQ(std::memcmp(before.data(), &context->gga, recordsSize), 0);
}

int32_t ReturnsSeven(GpsContext*, SentenceType, void*, int32_t) { return 7; }

TEST(dispatch_test, returns_the_callback_result_or_zero) {
  GpsContextInit(ReturnsSeven);
  std::strcpy(gGpsContext.sentence, "$GPGGA,1,2,3*00");
  EXPECT_EQ(GpsDispatchSentence(gGpsContext.sentence), 7);
  std::strcpy(gGpsContext.sentence, "$GPZDA,1,2,3*00");
  EXPECT_EQ(GpsDispatchSentence(gGpsContext.sentence), 0);
}

TEST(dispatch_test, lookup_stores_the_type_only_when_found) {
  struct Case {
    const char* formatter;
    int32_t found;
    SentenceType type;
  } cases[] = {
      {"GGA", 1, SENTENCE_GGA}, {"GSA", 1, SENTENCE_GSA}, {"GSV", 1, SENTENCE_GSV},
      {"RMC", 1, SENTENCE_RMC}, {"GLL", 1, SENTENCE_GLL}, {"VTG", 1, SENTENCE_VTG},
      {"GGAX", 1, SENTENCE_GGA}, {"ZDA", 0, -1}, {"GG\0", 0, -1}, {"", 0, -1}, {"gsv", 0, -1},
  };
  for (const auto& c : cases) {
    SentenceType type = -1;
    EXPECT_EQ(LookupSentenceType(c.formatter, &type), c.found) << c.formatter;
    EXPECT_EQ(type, c.type) << c.formatter;
  }
}

TEST(dispatch_test, a_context_without_a_callback_still_decodes) {
  GpsContext* context = GpsContextInit(nullptr);
  FeedBytes(context, "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76\r\n");
  EXPECT_EQ(context->gga.latitude.degrees, 53);
  GpsStats stats = {};
  ASSERT_EQ(GpsGetStats(context, &stats), 0);
  EXPECT_EQ(stats.sentences, 1u);
}

// A formatter one letter away from a supported one, in each of the three
// places, is not supported.
TEST(dispatch_test, lookup_compares_all_three_letters) {
  const char* const supported[] = {"GGA", "GSA", "GSV", "RMC", "GLL", "VTG"};
  for (const char* name : supported) {
    for (int place = 0; place < 3; ++place) {
      char formatter[4] = {name[0], name[1], name[2], '\0'};
      formatter[place] = 'X';
      SentenceType type = -1;
      EXPECT_EQ(LookupSentenceType(formatter, &type), 0) << formatter;
      EXPECT_EQ(type, -1) << formatter;
    }
  }
}

}  // namespace
