#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "nmea/nmea_internal.h"
#include "nmea_test_support.h"

namespace {

// The nearest float to the decimal, through double as the decoder does.
constexpr float F(double value) { return static_cast<float>(value); }

// Decodes one sentence through the framer after a long sentence has filled
// the buffer behind it, so leftovers would show.
GpsContext* Decode(const std::string& sentence) {
  GpsContext* context = FreshContext();
  FeedBytes(context, FramedSentence("GPXXX," + std::string(480, '7')) + "\r\n");
  FeedBytes(context, sentence + "\r\n");
  EXPECT_EQ(gCallbackCalls.size(), 1u) << sentence;
  return context;
}

void ExpectTime(const UtcTime& actual, const UtcTime& expected, const std::string& legend) {
  EXPECT_EQ(actual.hours, expected.hours) << legend;
  EXPECT_EQ(actual.minutes, expected.minutes) << legend;
  EXPECT_EQ(actual.seconds, expected.seconds) << legend;
  EXPECT_EQ(actual.hundredths, expected.hundredths) << legend;
}

void ExpectAngle(const GeoAngle& actual, const GeoAngle& expected, const std::string& legend) {
  EXPECT_EQ(actual.degrees, expected.degrees) << legend;
  EXPECT_EQ(actual.minutes, expected.minutes) << legend;
  EXPECT_EQ(actual.fraction, expected.fraction) << legend;
}

struct GgaCase {
  const char* legend;
  std::string sentence;
  GgaRecord expected;
};

TEST(position_parsers_test, gga) {
  const GgaCase cases[] = {
      {"fix with three-decimal time",
       "$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76",
       {{9, 27, 50, 0}, {53, 21, 6802}, 'N', {6, 30, 3372}, 'W', 1, 8, F(1.03), F(61.7), "GP"}},
      {"Garmin simulator fix quality 8, negative geoid separation is not read",
       "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F",
       {{12, 51, 6, 0}, {38, 54, 5087}, 'N', {77, 26, 4523}, 'W', 8, 10, F(2.0), F(268.8), "GP"}},
      {"DGPS fix quality 2, negative altitude",
       "$GPGGA,200004,5504.4343,N,01025.5386,E,2,03,2.5,-9.1,M,43.9,M,,*62",
       {{20, 0, 4, 0}, {55, 4, 4343}, 'N', {10, 25, 5386}, 'E', 2, 3, F(2.5), F(-9.1), "GP"}},
      {"no fix: every field empty or zero", "$GPGGA,,,,,,0,00,,,M,,M,,*66",
       {{0, 0, 0, 0}, {0, 0, 0}, '\0', {0, 0, 0}, '\0', 0, 0, 0.0f, 0.0f, "GP"}},
      {"only the first character of the fix quality counts; three decimals of minutes",
       FramedSentence("GPGGA,123519,4807.038,N,01131.000,E,42,08,0.9,545.4,M,46.9,M,,"),
       {{12, 35, 19, 0}, {48, 7, 380}, 'N', {11, 31, 0}, 'E', 4, 8, F(0.9), F(545.4), "GP"}},
      {"malformed text after the altitude has no effect",
       FramedSentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,%&\x01\xff,,,,1e9,"),
       {{12, 35, 19, 0}, {48, 7, 380}, 'N', {11, 31, 0}, 'E', 1, 8, F(0.9), F(545.4), "GP"}},
      {"fixed widths read on into the next fields", FramedSentence("GPGGA,1,2,S,3,E,4,5,6,7"),
       {{1, 2, 0, 0}, {2, 0, 0}, 'S', {3, 0, 5000}, 'E', 4, 5, F(6), F(7), "GP"}},
      {"sentence ends early: remaining fields zero", "$GPGGA,123519,4807.038,N*27",
       {{12, 35, 19, 0}, {48, 7, 380}, 'N', {0, 0, 0}, '\0', 0, 0, 0.0f, 0.0f, "GP"}},
      {"Garmin 48: three decimals of minutes, whole seconds",
       "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53",
       {{22, 53, 8, 0}, {45, 27, 4580}, 'S', {167, 9, 1650}, 'E', 1, 5, F(2.1), F(14.7), "GP"}},
      {"u-blox F9P: seven decimals of minutes, two of seconds",
       "$GNGGA,014500.00,4404.1306024,N,12118.8446777,W,2,12,0.49,1129.913,M,-21.350,M,,0278*4C",
       {{1, 45, 0, 0}, {44, 4, 1306}, 'N', {121, 18, 8446}, 'W', 2, 12, F(0.49), F(1129.913), "GN"}},
      {"Trimble RTK: eight decimals of minutes, one of seconds",
       "$GNGGA,132819.60,4134.49795459,N,09345.03431408,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133*6A",
       {{13, 28, 19, 60}, {41, 34, 4979}, 'N', {93, 45, 343}, 'W', 2, 10, F(0.9), F(278.161), "GN"}},
      {"SiRF-TriG without a fix: three decimals of seconds",
       "$GNGGA,074150.799,,,,,0,00,,,M,0.0,M,,0000,*64",
       {{7, 41, 50, 79}, {0, 0, 0}, '\0', {0, 0, 0}, '\0', 0, 0, 0.0f, 0.0f, "GN"}},
      {"MTK-3301: milliseconds and six decimals of minutes",
       "$GPGGA,235946.005,8960.000000,N,00000.000000,E,0,0,,137.000,M,13.000,M,,*49",
       {{23, 59, 46, 0}, {89, 60, 0}, 'N', {0, 0, 0}, 'E', 0, 0, 0.0f, F(137.0), "GP"}},
  };
  for (const GgaCase& c : cases) {
    GpsContext* context = Decode(c.sentence);
    const GgaRecord& r = context->gga;
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    ExpectTime(r.time, c.expected.time, legend);
    ExpectAngle(r.latitude, c.expected.latitude, legend);
    EXPECT_EQ(r.latHemisphere, c.expected.latHemisphere) << legend;
    ExpectAngle(r.longitude, c.expected.longitude, legend);
    EXPECT_EQ(r.lonHemisphere, c.expected.lonHemisphere) << legend;
    EXPECT_EQ(r.fixQuality, c.expected.fixQuality) << legend;
    EXPECT_EQ(r.satellitesUsed, c.expected.satellitesUsed) << legend;
    EXPECT_EQ(r.hdop, c.expected.hdop) << legend;
    EXPECT_EQ(r.altitude, c.expected.altitude) << legend;
    EXPECT_STREQ(r.talker, c.expected.talker) << legend;
  }
}

TEST(position_parsers_test, gga_fix_quality_is_the_character_code_minus_48) {
  GpsContext* context = Decode(FramedSentence("GPGGA,,,,,,\xC8,"));
  EXPECT_EQ(context->gga.fixQuality, 0xC8 - '0');
  context = Decode(FramedSentence("GPGGA,,,,,,A,"));
  EXPECT_EQ(context->gga.fixQuality, 'A' - '0');
}

struct RmcCase {
  const char* legend;
  const char* sentence;
  RmcRecord expected;
};

TEST(position_parsers_test, rmc) {
  const RmcCase cases[] = {
      {"with mode indicator",
       "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28",
       {{12, 51, 6, 0}, 'V', {38, 54, 5087}, 'N', {77, 26, 4523}, 'W', 0.0f, 0.0f, {24, 10, 11}, F(10.5),
        'W', 'S', "GP"}},
      {"older form ending with the variation direction",
       "$GPRMC,200619.30,A,5313.2228,N,00634.4228,E,00.0,000.0,200506,00,W*59",
       {{20, 6, 19, 30}, 'A', {53, 13, 2228}, 'N', {6, 34, 4228}, 'E', 0.0f, 0.0f, {20, 5, 6}, 0.0f, 'W',
        '\0', "GP"}},
      {"Meinberg GPS164: two decimals of minutes and of seconds",
       "$GPRMC,220952.00,A,4742.21,N,01200.75,E,0.0,0.0,181223,0.0,E*5A",
       {{22, 9, 52, 0}, 'A', {47, 42, 2100}, 'N', {12, 0, 7500}, 'E', 0.0f, 0.0f, {18, 12, 23}, 0.0f, 'E',
        '\0', "GP"}},
      {"Garmin 48: three decimals of minutes",
       "$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D",
       {{22, 53, 8, 0}, 'A', {45, 27, 4580}, 'S', {167, 9, 1650}, 'E', 0.0f, F(94.5), {6, 6, 1}, F(24.1), 'E',
        '\0', "GP"}},
      {"empty variation fields, a comma directly before the '*'",
       "$GPRMC,153347.000,A,3940.6986,N,07544.9356,W,0.12,87.21,230410,,*29",
       {{15, 33, 47, 0}, 'A', {39, 40, 6986}, 'N', {75, 44, 9356}, 'W', F(0.12), F(87.21), {23, 4, 10}, 0.0f,
        '\0', '\0', "GP"}},
  };
  for (const RmcCase& c : cases) {
    GpsContext* context = Decode(c.sentence);
    const RmcRecord& r = context->rmc;
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    ExpectTime(r.time, c.expected.time, legend);
    EXPECT_EQ(r.status, c.expected.status) << legend;
    ExpectAngle(r.latitude, c.expected.latitude, legend);
    EXPECT_EQ(r.latHemisphere, c.expected.latHemisphere) << legend;
    ExpectAngle(r.longitude, c.expected.longitude, legend);
    EXPECT_EQ(r.lonHemisphere, c.expected.lonHemisphere) << legend;
    EXPECT_EQ(r.speedKnots, c.expected.speedKnots) << legend;
    EXPECT_EQ(r.courseTrue, c.expected.courseTrue) << legend;
    EXPECT_EQ(r.date.day, c.expected.date.day) << legend;
    EXPECT_EQ(r.date.month, c.expected.date.month) << legend;
    EXPECT_EQ(r.date.year, c.expected.date.year) << legend;
    EXPECT_EQ(r.magneticVariation, c.expected.magneticVariation) << legend;
    EXPECT_EQ(r.variationDirection, c.expected.variationDirection) << legend;
    EXPECT_EQ(r.modeIndicator, c.expected.modeIndicator) << legend;
    EXPECT_STREQ(r.talker, c.expected.talker) << legend;
  }
}

struct GllCase {
  const char* legend;
  const char* sentence;
  GllRecord expected;
};

TEST(position_parsers_test, gll) {
  const GllCase cases[] = {
      {"with mode indicator; three decimals of seconds are cut",
       "$GPGLL,5201.0809,N,00832.0852,E,142819.299,A,A*5D",
       {{52, 1, 809}, 'N', {8, 32, 852}, 'E', {14, 28, 19, 29}, 'A', 'A', "GP"}},
      {"Magellan eXplorist: older form ending with the status",
       "$GPGLL,5313.2228,N,00634.4228,E,200619.295,A*35",
       {{53, 13, 2228}, 'N', {6, 34, 4228}, 'E', {20, 6, 19, 29}, 'A', '\0', "GP"}},
      {"depth sounder: three decimals of minutes", "$ECGLL,5119.881,N,00125.169,E,164326,A,D*52",
       {{51, 19, 8810}, 'N', {1, 25, 1690}, 'E', {16, 43, 26, 0}, 'A', 'D', "EC"}},
      {"simulator mode indicator S", "$GPGLL,3854.5087,N,07726.4523,W,125106,V,S*55",
       {{38, 54, 5087}, 'N', {77, 26, 4523}, 'W', {12, 51, 6, 0}, 'V', 'S', "GP"}},
  };
  for (const GllCase& c : cases) {
    GpsContext* context = Decode(c.sentence);
    const GllRecord& r = context->gll;
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    ExpectAngle(r.latitude, c.expected.latitude, legend);
    EXPECT_EQ(r.latHemisphere, c.expected.latHemisphere) << legend;
    ExpectAngle(r.longitude, c.expected.longitude, legend);
    EXPECT_EQ(r.lonHemisphere, c.expected.lonHemisphere) << legend;
    ExpectTime(r.time, c.expected.time, legend);
    EXPECT_EQ(r.status, c.expected.status) << legend;
    EXPECT_EQ(r.modeIndicator, c.expected.modeIndicator) << legend;
    EXPECT_STREQ(r.talker, c.expected.talker) << legend;
  }
}

struct VtgCase {
  const char* legend;
  const char* sentence;
  VtgRecord expected;
};

TEST(position_parsers_test, vtg) {
  const VtgCase cases[] = {
      {"ending in K: the letters as character codes, no mode indicator",
       "$GPVTG,0.0,T,10.5,M,0.0,N,0.0,K*7A",
       {0.0f, 'T', F(10.5), 'M', 0.0f, 'N', 0.0f, 'K', '\0', "GP"}},
      {"with mode indicator", "$GPVTG,230.5,T,229.1,M,5.6,N,10.4,K,A*19",
       {F(230.5), 'T', F(229.1), 'M', F(5.6), 'N', F(10.4), 'K', 'A', "GP"}},
      {"empty magnetic course", "$GPVTG,54.7,T,,M,5.5,N,10.2,K*65",
       {F(54.7), 'T', 0.0f, 'M', F(5.5), 'N', F(10.2), 'K', '\0', "GP"}},
      {"more fields than the table lists are ignored", "$GPVTG,1,T,2,M,3,N,4,K,D,9,9,9*37",
       {F(1), 'T', F(2), 'M', F(3), 'N', F(4), 'K', 'D', "GP"}},
  };
  for (const VtgCase& c : cases) {
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    GpsContext* context = FreshContext();
    FeedBytes(context, std::string(c.sentence) + "\r\n");
    if (gCallbackCalls.size() != 1u) {
      ADD_FAILURE() << "not dispatched: " << legend;
      continue;
    }
    const VtgRecord& r = context->vtg;
    EXPECT_EQ(r.courseTrue, c.expected.courseTrue) << legend;
    EXPECT_EQ(r.courseTrueRef, c.expected.courseTrueRef) << legend;
    EXPECT_EQ(r.courseMagnetic, c.expected.courseMagnetic) << legend;
    EXPECT_EQ(r.courseMagneticRef, c.expected.courseMagneticRef) << legend;
    EXPECT_EQ(r.speedKnots, c.expected.speedKnots) << legend;
    EXPECT_EQ(r.speedKnotsUnit, c.expected.speedKnotsUnit) << legend;
    EXPECT_EQ(r.speedKmh, c.expected.speedKmh) << legend;
    EXPECT_EQ(r.speedKmhUnit, c.expected.speedKmhUnit) << legend;
    EXPECT_EQ(r.modeIndicator, c.expected.modeIndicator) << legend;
    EXPECT_STREQ(r.talker, c.expected.talker) << legend;
  }
}

// Leading zeros move every separator through each place of an
// eight-character block, and across blocks.
TEST(position_parsers_test, fields_end_at_separators_in_any_place) {
  for (size_t zeros = 0; zeros < 16; ++zeros) {
    const std::string pad(zeros, '0');
    const std::string sentence =
        FramedSentence("GPVTG," + pad + "230.5,T,,M," + pad + "5.6,N," + pad + "10.4,K,A");
    GpsContext* context = FreshContext();
    FeedBytes(context, sentence + "\r\n");
    ASSERT_EQ(gCallbackCalls.size(), 1u) << sentence;
    const VtgRecord& r = context->vtg;
    EXPECT_EQ(r.courseTrue, F(230.5)) << sentence;
    EXPECT_EQ(r.courseTrueRef, 'T') << sentence;
    EXPECT_EQ(r.courseMagnetic, 0.0f) << sentence;
    EXPECT_EQ(r.courseMagneticRef, 'M') << sentence;
    EXPECT_EQ(r.speedKnots, F(5.6)) << sentence;
    EXPECT_EQ(r.speedKnotsUnit, 'N') << sentence;
    EXPECT_EQ(r.speedKmh, F(10.4)) << sentence;
    EXPECT_EQ(r.speedKmhUnit, 'K') << sentence;
    EXPECT_EQ(r.modeIndicator, 'A') << sentence;
  }
}

// The buffer cut at its separators, as the navigation state does it for
// the parsers.
const SentenceFields& Split(const char* buffer) {
  static SentenceFields fields;
  SplitSentence(buffer, &fields);
  return fields;
}

// The '*' in the last eight characters of the buffer still ends the last
// field (the buffer is exactly as large, for AddressSanitizer).
TEST(position_parsers_test, star_in_the_last_block_ends_the_walk) {
  const std::string text = "$GPVTG,1,T,2,M,3,N," + std::string(485, '0') + "4,K,A*7F";
  ASSERT_EQ(text.size(), static_cast<size_t>(GPS_SENTENCE_SIZE));
  char* buffer = new char[GPS_SENTENCE_SIZE];
  std::memcpy(buffer, text.data(), GPS_SENTENCE_SIZE);
  const VtgRecord* r = GpsParseVTG(Split(buffer));
  EXPECT_EQ(r->speedKmh, F(4));
  EXPECT_EQ(r->speedKmhUnit, 'K');
  EXPECT_EQ(r->modeIndicator, 'A');
  delete[] buffer;
}

TEST(position_parsers_test, each_parse_clears_the_whole_record) {
  GpsContext* context = Decode("$GPGGA,092750.000,5321.6802,N,00630.3372,W,1,8,1.03,61.7,M,55.2,M,,*76");
  FeedBytes(context, WithChecksum("GPGGA,,,,,W"));
  EXPECT_EQ(context->gga.time.hours, 0);
  EXPECT_EQ(context->gga.latHemisphere, '\0');
  EXPECT_EQ(context->gga.lonHemisphere, 'W');
  EXPECT_EQ(context->gga.hdop, 0.0f);
}

// The last field of a sentence whose '*' is next to the end of the buffer:
// the longitude's fixed width reaches past the buffer, and is cut there (an
// overread shows under AddressSanitizer, the buffer being exactly as large).
TEST(position_parsers_test, fixed_width_fields_stop_at_the_end_of_the_buffer) {
  const std::string text = "$GPGGA," + std::string(485, '1') + ",4807.0380,N,12345*7";
  ASSERT_EQ(text.size(), static_cast<size_t>(GPS_SENTENCE_SIZE));
  char* buffer = new char[GPS_SENTENCE_SIZE];
  std::memcpy(buffer, text.data(), GPS_SENTENCE_SIZE);
  const GgaRecord* r = GpsParseGGA(Split(buffer));
  ExpectTime(r->time, {11, 11, 11, 0}, text);
  ExpectAngle(r->latitude, {48, 7, 380}, text);
  EXPECT_EQ(r->latHemisphere, 'N');
  ExpectAngle(r->longitude, {123, 45, 7000}, text);
  delete[] buffer;
}

// Without a '*' in the buffer (never so for a framed sentence) the walk
// stops at the end of the buffer and leaves the unterminated field alone.
TEST(position_parsers_test, walk_stops_at_the_end_of_the_buffer_without_a_star) {
  const std::string text = "$GPGGA,123519," + std::string(GPS_SENTENCE_SIZE - 14, '4');
  char* buffer = new char[GPS_SENTENCE_SIZE];
  std::memcpy(buffer, text.data(), GPS_SENTENCE_SIZE);
  const GgaRecord* r = GpsParseGGA(Split(buffer));
  ExpectTime(r->time, {12, 35, 19, 0}, "time");
  ExpectAngle(r->latitude, {0, 0, 0}, "latitude");
  delete[] buffer;
}

}  // namespace
