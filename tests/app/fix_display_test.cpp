#include "app/fix_display.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "resources/resource.h"

namespace {

std::vector<std::string> Show(const GgaRecord& fix) {
  std::vector<std::string> texts;
  char text[FIX_TEXT_SIZE];
  for (const FixField& field : FixFieldTable) {
    std::memset(text, '#', sizeof text);
    field.format(&fix, text);
    texts.push_back(text);
  }
  return texts;
}

TEST(fix_display_test, fields_are_set_in_the_panel_order) {
  const int32_t order[FIX_FIELD_COUNT] = {IDC_UTC_TIME,       IDC_LAT_DEGREES,    IDC_LAT_MINUTES,
                                         IDC_LON_DEGREES,    IDC_LON_MINUTES,    IDC_LAT_HEMISPHERE,
                                         IDC_LON_HEMISPHERE, IDC_SATELLITES,     IDC_FIX_VALID,
                                         IDC_ALTITUDE,       IDC_HDOP};
  for (int32_t i = 0; i < FIX_FIELD_COUNT; ++i) EXPECT_EQ(FixFieldTable[i].controlId, order[i]) << i;
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
TEST(fix_display_test, a_munich_fix) {
  GgaRecord fix{};
  fix.time = {12, 35, 19, 0};
  fix.latitude = {48, 7, 380};
  fix.latHemisphere = 'N';
  fix.longitude = {11, 31, 0};
  fix.lonHemisphere = 'E';
  fix.fixQuality = 1;
  fix.satellitesUsed = 8;
  fix.hdop = 0.9f;
  fix.altitude = 545.4f;
  EXPECT_EQ(Show(fix), (std::vector<std::string>{"12:35:19.00", "48", "07.0380", "011", "31.0000",
                                                  "North", "East", "08", "Yes", "545.400024",
                                                  "0.900000"}));
}

// $GPGGA,,,,,,,,,,,,,,*56 decodes to a zeroed record.
TEST(fix_display_test, an_empty_sentence_shows_the_zero_forms) {
  GgaRecord fix{};
  EXPECT_EQ(Show(fix), (std::vector<std::string>{"00:00:00.00", "00", "00.0000", "000", "00.0000",
                                                  "South", "West", "00", "No ", "0.000000",
                                                  "0.000000"}));
}

TEST(fix_display_test, southern_western_and_unusual_values) {
  GgaRecord fix{};
  fix.time = {23, 59, 59, 99};
  fix.latitude = {33, 51, 2345};
  fix.latHemisphere = 'S';
  fix.longitude = {151, 12, 5};
  fix.lonHemisphere = 'W';
  fix.fixQuality = 6;
  fix.satellitesUsed = 12;
  fix.hdop = 99.99f;
  fix.altitude = -28.5f;
  EXPECT_EQ(Show(fix), (std::vector<std::string>{"23:59:59.99", "33", "51.2345", "151", "12.0005",
                                                  "South", "West", "12", "Yes", "-28.500000",
                                                  "99.989998"}));
}

// Values are shown as formatted, without range checks, and the longest
// text any field can get (47 characters) is shown whole, not cut.
TEST(fix_display_test, extreme_values_are_shown_whole) {
  GgaRecord fix{};
  fix.time = {INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN};
  fix.latitude = {INT32_MIN, INT32_MIN, INT32_MIN};
  fix.longitude = {INT32_MIN, INT32_MIN, INT32_MIN};
  fix.fixQuality = INT32_MIN;
  fix.satellitesUsed = INT32_MIN;
  fix.altitude = -std::numeric_limits<float>::max();
  fix.hdop = std::numeric_limits<float>::max();
  EXPECT_EQ(Show(fix),
            (std::vector<std::string>{"-2147483648:-2147483648:-2147483648.-2147483648",
                                      "-2147483648", "-2147483648.-2147483648", "-2147483648",
                                      "-2147483648.-2147483648", "South", "West", "-2147483648",
                                      "Yes", "-340282346638528859811704183484516925440.000000",
                                      "340282346638528859811704183484516925440.000000"}));
}

}  // namespace
