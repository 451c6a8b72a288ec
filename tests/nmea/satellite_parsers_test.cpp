#include <gtest/gtest.h>

#include <string>

#include "nmea/nmea_internal.h"
#include "nmea_test_support.h"

namespace {

constexpr float F(double value) { return static_cast<float>(value); }

struct GsaCase {
  const char* legend;
  std::string sentence;
  char selectionMode;
  char fixMode;
  int32_t satellites[12];
  float pdop, hdop, vdop;
};

TEST(satellite_parsers_test, gsa) {
  const GsaCase cases[] = {
      {"ten satellites, two empty fields", "$GPGSA,A,3,03,07,08,11,13,16,19,23,24,28,,,3.6,2.0,3.0*3A",
       'A', '3', {3, 7, 8, 11, 13, 16, 19, 23, 24, 28, 0, 0}, F(3.6), F(2.0), F(3.0)},
      {"empty fields take no slot", FramedSentence("GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"),
       'A', '3', {4, 5, 9, 12, 24}, F(2.5), F(1.3), F(2.1)},
      {"no satellites, no DOP", "$GPGSA,A,1,,,,,,,,,,,,,,,,*32", 'A', '1', {}, 0.0f, 0.0f, 0.0f},
      {"empty VDOP closed by the '*'", FramedSentence("GPGSA,M,2,04,,,,,,,,,,,,2.5,1.3,"),
       'M', '2', {4}, F(2.5), F(1.3), 0.0f},
      {"a field after the VDOP is ignored", FramedSentence("GPGSA,A,3,04,,,,,,,,,,,,2.5,1.3,2.1,1"),
       'A', '3', {4}, F(2.5), F(1.3), F(2.1)},
      {"a satellite 00 takes a slot", FramedSentence("GPGSA,A,3,00,05,,,,,,,,,,,1,1,1"),
       'A', '3', {0, 5}, 1.0f, 1.0f, 1.0f},
      {"three-digit numbers keep two digits", FramedSentence("GNGSA,A,3,193,65,,,,,,,,,,,1.0,0.7,0.7"),
       'A', '3', {19, 65}, 1.0f, F(0.7), F(0.7)},
  };
  for (const GsaCase& c : cases) {
    GpsContext* context = FreshContext();
    FeedBytes(context, c.sentence + "\r\n");
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    ASSERT_EQ(gCallbackCalls.size(), 1u) << legend;
    const GsaRecord& r = context->gsa;
    EXPECT_EQ(r.selectionMode, c.selectionMode) << legend;
    EXPECT_EQ(r.fixMode, c.fixMode) << legend;
    for (int i = 0; i < 12; ++i) EXPECT_EQ(r.satellites[i], c.satellites[i]) << legend << " slot " << i;
    EXPECT_EQ(r.pdop, c.pdop) << legend;
    EXPECT_EQ(r.hdop, c.hdop) << legend;
    EXPECT_EQ(r.vdop, c.vdop) << legend;
  }
}

struct GsvCase {
  const char* legend;
  std::string sentence;
  int32_t messageCount, messageNumber, satellitesInView, satelliteCount;
  GsvSatellite satellite[4];  // snr is never filled: always 0
};

TEST(satellite_parsers_test, gsv) {
  const GsvCase cases[] = {
      {"four complete groups", "$GPGSV,3,1,10,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45*71",
       3, 1, 10, 4, {{3, 41, 50, 0}, {7, 60, 317, 0}, {8, 34, 315, 0}, {11, 35, 148, 0}}},
      {"message 1 of 3, 11 in view",
       FramedSentence("GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00"),
       3, 1, 11, 4, {{3, 3, 111, 0}, {4, 15, 270, 0}, {6, 1, 10, 0}, {13, 6, 292, 0}}},
      {"two groups: slots 3 and 4 stay zero", "$GPGSV,3,3,10,24,06,166,35,28,09,271,36*7D",
       3, 3, 10, 2, {{24, 6, 166, 0}, {28, 9, 271, 0}}},
      {"no groups", "$GPGSV,1,1,00*79", 1, 1, 0, 0, {}},
      {"empty signal-to-noise fields", "$GPGSV,3,2,12,02,56,323,,04,41,024,,12,31,317,,17,31,085,*72",
       3, 2, 12, 4, {{2, 56, 323, 0}, {4, 41, 24, 0}, {12, 31, 317, 0}, {17, 31, 85, 0}}},
      {"one group, signal-to-noise closed by the '*'", "$QZGSV,1,1,01,02,05,042,29*5E",
       1, 1, 1, 1, {{2, 5, 42, 0}}},
      {"single-digit elevation", FramedSentence("GPGSV,1,1,01,07,5,120,30"), 1, 1, 1, 1, {{7, 5, 120, 0}}},
      {"a group without azimuth is not counted; the next takes its slot",
       FramedSentence("GPGSV,2,1,08,01,40,,30,02,50,120,40"), 2, 1, 8, 1, {{2, 50, 120, 0}}},
      {"the slot keeps nothing of an uncounted group",
       FramedSentence("GPGSV,2,1,08,01,40,,30,,,120,40"), 2, 1, 8, 1, {{0, 0, 120, 0}}},
      {"an uncounted last group leaves its slot empty",
       FramedSentence("GPGSV,2,1,08,01,40,050,30,02,50,,40"), 2, 1, 8, 1, {{1, 40, 50, 0}}},
      {"the walk ends after the fourth azimuth",
       FramedSentence("GPGSV,3,1,10,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19"),
       3, 1, 10, 4, {{1, 2, 3, 0}, {5, 6, 7, 0}, {9, 10, 11, 0}, {13, 14, 15, 0}}},
      {"three-digit PRN keeps two digits", FramedSentence("QZGSV,1,1,01,193,34,332,"),
       1, 1, 1, 1, {{19, 34, 332, 0}}},
  };
  for (const GsvCase& c : cases) {
    GpsContext* context = FreshContext();
    // Fill the record first, so that the clearing at each parse shows.
    FeedBytes(context, WithChecksum("GPGSV,9,9,99,99,99,999,99,99,99,999,99,99,99,999,99,99,99,999,99"));
    FeedBytes(context, c.sentence + "\r\n");
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    ASSERT_EQ(gCallbackCalls.size(), 2u) << legend;
    const GsvRecord& r = context->gsv;
    EXPECT_EQ(r.messageCount, c.messageCount) << legend;
    EXPECT_EQ(r.messageNumber, c.messageNumber) << legend;
    EXPECT_EQ(r.satellitesInView, c.satellitesInView) << legend;
    EXPECT_EQ(r.satelliteCount, c.satelliteCount) << legend;
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(r.satellite[i].prn, c.satellite[i].prn) << legend << " slot " << i;
      EXPECT_EQ(r.satellite[i].elevation, c.satellite[i].elevation) << legend << " slot " << i;
      EXPECT_EQ(r.satellite[i].azimuth, c.satellite[i].azimuth) << legend << " slot " << i;
      EXPECT_EQ(r.satellite[i].snr, 0) << legend << " slot " << i;
    }
  }
}

}  // namespace
