#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "nmea/field_walk.h"

namespace {

// The field text at the start of a zeroed buffer, as in the sentence buffer
// behind a short sentence.
struct Field {
  char text[64];
  explicit Field(const std::string& s) {
    std::memset(text, 0, sizeof text);
    std::memcpy(text, s.data(), s.size());
  }
  const char* end() const { return text + sizeof text; }
};

uint32_t Bits(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

TEST(decoders_test, int_n_reads_exactly_n_characters) {
  struct Case {
    const char* text;
    int32_t n;
    int32_t expected;
  } cases[] = {
      {"08", 2, 8},     {"5,", 2, 5},      {",5", 2, 0},       {"-1", 2, -1},     {"+3", 2, 3},
      {" 7", 2, 7},     {"123", 2, 12},    {"9", 1, 9},        {"050", 3, 50},    {"0380", 4, 380},
      {"038*", 4, 38},  {"12.5", 3, 12},   {"M", 2, 0},        {"", 2, 0},        {"\t\n9", 3, 9},
      {"--1", 3, 0},    {"1 2", 3, 1},     {"\xC2\xB0" "1", 3, 0},
  };
  for (const auto& c : cases) {
    Field field(c.text);
    int32_t out = -99;
    DecodeIntN(field.text, c.n, &out, field.end());
    EXPECT_EQ(out, c.expected) << '"' << c.text << "\" n=" << c.n;
  }
}

TEST(decoders_test, float_gives_the_nearest_float_to_the_decimal) {
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* text;
    float expected;
  } cases[] = {
      {"545.4,M", static_cast<float>(545.4)},
      {"1.03,", static_cast<float>(1.03)},
      {"0.9*", static_cast<float>(0.9)},
      {"-30.40", static_cast<float>(-30.40)},
      {"268.8", static_cast<float>(268.8)},
      {"-33.9", static_cast<float>(-33.9)},
      {"1e3", 1000.0f},
      {"1.5E-2", static_cast<float>(1.5e-2)},
      {"1e", 1.0f},
      {"  7", 7.0f},
      {"+2", 2.0f},
      {".5", 0.5f},
      {"5.", 5.0f},
      {"0.000", 0.0f},
      {"-0", -0.0f},
      {"M", 0.0f},
      {"", 0.0f},
      {".", 0.0f},
      {"--5", 0.0f},
      {"+-5", 0.0f},
      {"123456789012345678901234567890", static_cast<float>(123456789012345678901234567890.0)},
      {"0.1000000000000000055511151231257827", static_cast<float>(0.1000000000000000055511151231257827)},
      {"9007199254740993", static_cast<float>(9007199254740993.0)},
      {"3.4028235677973366e38", static_cast<float>(3.4028235677973366e38)},
      {"1e400", inf},
      {"-1e400", -inf},
      {"1e-400", 0.0f},
      {"0.0000000000000000000000000001e-330", 0.0f},
      {"inf", inf},
      {"-Infinity", -inf},
      {"0x10", 0.0f},  // hexadecimal is not NMEA: the conversion stops at the 'x'
  };
  for (const auto& c : cases) {
    Field field(c.text);
    float out = -99.0f;
    DecodeFloat(field.text, &out, field.end());
    EXPECT_EQ(Bits(out), Bits(c.expected)) << '"' << c.text << "\" gave " << out;
  }
  Field nan("nan");
  float out = 0.0f;
  DecodeFloat(nan.text, &out, nan.end());
  EXPECT_TRUE(std::isnan(out));
}

// The short-decimal path must round exactly like a full conversion.
TEST(decoders_test, float_matches_a_full_conversion_on_many_decimals) {
  std::mt19937_64 random(12345);
  for (int i = 0; i < 200000; ++i) {
    const int digits = 1 + static_cast<int>(random() % 19);
    std::string text;
    for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
    text.insert(random() % (text.size() + 1), ".");
    if (random() % 4 == 0) text.insert(0, "-");
    double reference = 0.0;
    std::from_chars(text.data() + (text[0] == '-'), text.data() + text.size(), reference);
    if (text[0] == '-') reference = -reference;
    Field field(text);
    float out;
    DecodeFloat(field.text, &out, field.end());
    ASSERT_EQ(Bits(out), Bits(static_cast<float>(reference))) << '"' << text << '"';
  }
}

// Hundredths are the first two decimals of the seconds, whatever number of
// decimals the receiver sends.
TEST(decoders_test, time) {
  struct Case {
    const char* legend;
    const char* text;
    UtcTime expected;
  } cases[] = {
      {"Garmin's whole seconds: hundredths not written", "123519,", {12, 35, 19, -7}},
      {"two decimals", "123519.00,", {12, 35, 19, 0}},
      {"two decimals (Meinberg, u-blox)", "220952.50,", {22, 9, 52, 50}},
      {"one decimal is tenths", "123519.5,", {12, 35, 19, 50}},
      {"SiRF-TriG's three decimals are cut, not rounded", "074150.799,", {7, 41, 50, 79}},
      {"MTK's milliseconds", "235946.005,", {23, 59, 46, 0}},
      {"three zero decimals", "092750.000,", {9, 27, 50, 0}},
      {"the '*' ends the decimals", "123519.123*", {12, 35, 19, 12}},
      {"a '.' without decimals", "123519.,", {12, 35, 19, 0}},
      {"no sign taken after the '.'", "123519.-5,", {12, 35, 19, 0}},
      {"no white space taken after the '.'", "123519. 5,", {12, 35, 19, 0}},
      {"short field: no '.' in the seventh place", "1235,", {12, 35, 0, -7}},
      {"short field: a '.' in the sixth place", "12351.", {12, 35, 1, -7}},
  };
  for (const auto& c : cases) {
    Field field(c.text);
    UtcTime out = {-1, -1, -1, -7};
    DecodeTime(field.text, &out, field.end());
    const std::string legend = std::string(c.legend) + ": " + c.text;
    EXPECT_EQ(out.hours, c.expected.hours) << legend;
    EXPECT_EQ(out.minutes, c.expected.minutes) << legend;
    EXPECT_EQ(out.seconds, c.expected.seconds) << legend;
    EXPECT_EQ(out.hundredths, c.expected.hundredths) << legend;
  }
}

TEST(decoders_test, date_latitude_longitude) {
  Field date("230394,");
  NmeaDate d = {};
  DecodeDate(date.text, &d, date.end());
  EXPECT_EQ(d.day, 23);
  EXPECT_EQ(d.month, 3);
  EXPECT_EQ(d.year, 94);

  // The fraction is always ten-thousandths of a minute: receivers send two to
  // eight decimals.
  struct Case {
    const char* legend;
    const char* text;
    bool longitude;
    GeoAngle expected;
  } cases[] = {
      {"four decimals", "4807.0380,N", false, {48, 7, 380}},
      {"four decimals", "5321.6802,N", false, {53, 21, 6802}},
      {"Garmin's three decimals", "4527.458,S", false, {45, 27, 4580}},
      {"Garmin's three decimals", "4807.038,N", false, {48, 7, 380}},
      {"Garmin's three decimals", "16709.165,E", true, {167, 9, 1650}},
      {"Meinberg's two decimals", "4742.21,N", false, {47, 42, 2100}},
      {"Meinberg's two decimals", "01200.75,E", true, {12, 0, 7500}},
      {"two decimals", "4916.45,N", false, {49, 16, 4500}},
      {"one decimal", "4807.5,N", false, {48, 7, 5000}},
      {"u-blox's five decimals are cut, not rounded", "4807.03812,N", false, {48, 7, 381}},
      {"u-blox's five decimals", "12118.85478,W", true, {121, 18, 8547}},
      {"u-blox F9P's seven decimals", "4404.1306024,N", false, {44, 4, 1306}},
      {"u-blox F9P's seven decimals", "12118.8446777,W", true, {121, 18, 8446}},
      {"MTK's six decimals", "8960.000000,N", false, {89, 60, 0}},
      {"Trimble RTK's eight decimals", "09345.03431408,W", true, {93, 45, 343}},
      {"four decimals", "01131.0000,E", true, {11, 31, 0}},
      {"four decimals", "12345.6789,W", true, {123, 45, 6789}},
      {"four decimals", "00630.3372,W", true, {6, 30, 3372}},
      {"no decimals", "4807,N", false, {48, 7, 0}},
      {"a '.' without decimals", "4807.,N", false, {48, 7, 0}},
      {"a '.' without decimals", "01131.*", true, {11, 31, 0}},
      {"no sign taken in the decimals", "4807.-038,N", false, {48, 7, 0}},
      {"no white space taken in the decimals", "01131. 5,E", true, {11, 31, 0}},
  };
  for (const auto& c : cases) {
    Field field(c.text);
    GeoAngle out = {-1, -1, -1};
    if (c.longitude) DecodeLongitude(field.text, &out, field.end());
    else DecodeLatitude(field.text, &out, field.end());
    const std::string legend = std::string(c.legend) + ": " + c.text;
    EXPECT_EQ(out.degrees, c.expected.degrees) << legend;
    EXPECT_EQ(out.minutes, c.expected.minutes) << legend;
    EXPECT_EQ(out.fraction, c.expected.fraction) << legend;
  }
}

// A field in the last characters of the buffer: the widths are cut at the
// end (an overread shows under AddressSanitizer), the missing characters read
// as NUL.
TEST(decoders_test, fixed_widths_stop_at_the_end_of_the_buffer) {
  char* buffer = new char[GPS_SENTENCE_SIZE];
  std::memset(buffer, '9', GPS_SENTENCE_SIZE);
  const char* end = buffer + GPS_SENTENCE_SIZE;

  GeoAngle angle = {-1, -1, -1};
  DecodeLongitude(end - 7, &angle, end);
  EXPECT_EQ(angle.degrees, 999);
  EXPECT_EQ(angle.minutes, 99);
  EXPECT_EQ(angle.fraction, 9000);
  DecodeLatitude(end - 1, &angle, end);
  EXPECT_EQ(angle.degrees, 9);
  EXPECT_EQ(angle.minutes, 0);
  EXPECT_EQ(angle.fraction, 0);

  std::memcpy(buffer + GPS_SENTENCE_SIZE - 7, "123519.", 7);
  UtcTime time = {-1, -1, -1, -7};
  DecodeTime(end - 7, &time, end);
  EXPECT_EQ(time.hours, 12);
  EXPECT_EQ(time.seconds, 19);
  EXPECT_EQ(time.hundredths, 0);

  NmeaDate date = {-1, -1, -1};
  DecodeDate(end - 3, &date, end);
  EXPECT_EQ(date.day, 19);
  EXPECT_EQ(date.month, 0);
  EXPECT_EQ(date.year, 0);

  std::memcpy(buffer + GPS_SENTENCE_SIZE - 8, "123519.9", 8);
  DecodeTime(end - 8, &time, end);
  EXPECT_EQ(time.hundredths, 90);

  int32_t value = -1;
  std::memset(buffer, '7', GPS_SENTENCE_SIZE);
  DecodeIntN(end - 1, 4, &value, end);
  EXPECT_EQ(value, 7);
  float number = -1.0f;
  DecodeFloat(end - 2, &number, end);
  EXPECT_EQ(number, 77.0f);
  delete[] buffer;
}

}  // namespace
