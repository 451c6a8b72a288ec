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
      {"QZSS and GLONASS numbers", FramedSentence("GNGSA,A,3,193,65,,,,,,,,,,,1.0,0.7,0.7"),
       'A', '3', {193, 65}, 1.0f, F(0.7), F(0.7)},
      {"SiRF-TriG's BeiDou numbers from 201", "$GNGSA,A,3,201,,,,,,,,,,,,2.5,1.2,2.2*1B",
       'A', '3', {201}, F(2.5), F(1.2), F(2.2)},
      {"SBAS numbers from 120", FramedSentence("GPGSA,A,3,05,133,138,,,,,,,,,,1.8,1.0,1.5"),
       'A', '3', {5, 133, 138}, F(1.8), F(1.0), F(1.5)},
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
  GsvSatellite satellite[4];
};

TEST(satellite_parsers_test, gsv) {
  const GsvCase cases[] = {
      {"four complete groups", "$GPGSV,3,1,10,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45*71",
       3, 1, 10, 4, {{3, 41, 50, 46}, {7, 60, 317, 49}, {8, 34, 315, 45}, {11, 35, 148, 45}}},
      {"Garmin 48: ratios of 00 for satellites not tracked",
       "$GPGSV,3,1,11,01,78,221,47,03,09,042,00,04,05,242,00,06,04,149,00*70",
       3, 1, 11, 4, {{1, 78, 221, 47}, {3, 9, 42, 0}, {4, 5, 242, 0}, {6, 4, 149, 0}}},
      {"two groups: slots 3 and 4 stay zero", "$GPGSV,3,3,10,24,06,166,35,28,09,271,36*7D",
       3, 3, 10, 2, {{24, 6, 166, 35}, {28, 9, 271, 36}}},
      {"no groups", "$GPGSV,1,1,00*79", 1, 1, 0, 0, {}},
      {"empty ratios: satellites not tracked", "$GPGSV,3,2,12,02,56,323,,04,41,024,,12,31,317,,17,31,085,*72",
       3, 2, 12, 4, {{2, 56, 323, 0}, {4, 41, 24, 0}, {12, 31, 317, 0}, {17, 31, 85, 0}}},
      {"one group, ratio closed by the '*'", "$QZGSV,1,1,01,02,05,042,29*5E",
       1, 1, 1, 1, {{2, 5, 42, 29}}},
      {"single-digit elevation", FramedSentence("GPGSV,1,1,01,07,5,120,30"), 1, 1, 1, 1, {{7, 5, 120, 30}}},
      {"a group without azimuth is not counted; the next takes its slot",
       FramedSentence("GPGSV,2,1,08,01,40,,30,02,50,120,40"), 2, 1, 8, 1, {{2, 50, 120, 40}}},
      {"the slot keeps nothing of an uncounted group",
       FramedSentence("GPGSV,2,1,08,01,40,,30,,,120,40"), 2, 1, 8, 1, {{0, 0, 120, 40}}},
      {"an uncounted group's ratio does not reach the next group",
       FramedSentence("GPGSV,2,1,08,01,40,,30,02,50,120,"), 2, 1, 8, 1, {{2, 50, 120, 0}}},
      {"an uncounted last group leaves its slot empty, ratio included",
       FramedSentence("GPGSV,2,1,08,01,40,050,30,02,50,,40"), 2, 1, 8, 1, {{1, 40, 50, 30}}},
      {"the fourth group's ratio is read and the walk ends there",
       FramedSentence("GPGSV,3,1,10,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19"),
       3, 1, 10, 4, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}}},
      {"Navika-100: a signal id after the fourth group is not read",
       "$GPGSV,3,1,12,28,70,351,18,30,61,093,28,17,52,181,,13,50,290,,1*67",
       3, 1, 12, 4, {{28, 70, 351, 18}, {30, 61, 93, 28}, {17, 52, 181, 0}, {13, 50, 290, 0}}},
      {"a signal id after fewer than four groups is no group",
       FramedSentence("GPGSV,3,3,10,24,06,166,35,28,09,271,36,1"),
       3, 3, 10, 2, {{24, 6, 166, 35}, {28, 9, 271, 36}}},
      {"QZSS number 193", "$QZGSV,1,1,01,193,34,332,,,,,,,,,,,,,*6A", 1, 1, 1, 1, {{193, 34, 332, 0}}},
      {"SiRF-TriG's BeiDou numbers from 201",
       "$GBGSV,3,1,11,201,49,147,44,202,23,250,35,204,35,123,42,213,83,243,*6D",
       3, 1, 11, 4, {{201, 49, 147, 44}, {202, 23, 250, 35}, {204, 35, 123, 42}, {213, 83, 243, 0}}},
      {"Magellan eXplorist: SBAS numbers 136 and 124",
       "$GPGSV,3,3,10,14,09,319,,11,03,016,,136,27,157,,124,28,162,*71",
       3, 3, 10, 4, {{14, 9, 319, 0}, {11, 3, 16, 0}, {136, 27, 157, 0}, {124, 28, 162, 0}}},
      {"twelve messages in a cycle", FramedSentence("GNGSV,12,10,45,71,12,040,38"),
       12, 10, 45, 1, {{71, 12, 40, 38}}},
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
      EXPECT_EQ(r.satellite[i].snr, c.satellite[i].snr) << legend << " slot " << i;
    }
  }
}

// NMEA 4.10 appends a signal id to GSV and a system id to GSA; Quectel's
// $PQGSV and $PQGSA append the system id as their last field.
struct IdCase {
  const char* legend;
  std::string sentence;
  const char* talker;
  int32_t id;  // GsvRecord.signalId or GsaRecord.systemId
};

TEST(satellite_parsers_test, records_carry_the_talker_and_the_signal_or_system_id) {
  const IdCase cases[] = {
      {"u-blox M9N: GPS L1 C/A after four groups",
       "$GPGSV,4,1,16,05,01,047,,10,29,224,,13,22,062,23,15,40,094,,1*65", "GP", 1},
      {"u-blox M9N: Galileo E1 after three groups", "$GAGSV,3,3,10,30,14,215,16,36,08,098,,7*79", "GA", 7},
      {"no groups, then the signal id", FramedSentence("GLGSV,1,1,00,1"), "GL", 1},
      {"NMEA 4.11 signal id 0 is an id", FramedSentence("GBGSV,1,1,01,07,50,120,40,0"), "GB", 0},
      {"a hexadecimal signal id", FramedSentence("GPGSV,1,1,01,07,50,120,40,B"), "GP", 11},
      {"NMEA 3: no signal id", "$GPGSV,3,3,10,24,06,166,35,28,09,271,36*7D", "GP", GPS_UNKNOWN},
      {"a field that is not a hexadecimal digit", FramedSentence("GPGSV,1,1,01,07,50,120,40,G"), "GP",
       GPS_UNKNOWN},
      {"a group cut short is no signal id", FramedSentence("GPGSV,1,1,02,07,50,120,40,08,50"), "GP", GPS_UNKNOWN},
      {"Quectel EG25-G: signal id, then BeiDou's system id", "$PQGSV,4,4,14,23,09,350,,24,04,248,,0,4*6C", "PQ", 0},
      {"u-blox F9P: GLONASS's system id after the DOPs",
       "$GNGSA,A,3,82,73,74,67,81,83,68,,,,,,0.99,0.54,0.83,2*08", "GN", 2},
      {"NMEA 3: no system id", "$GPGSA,A,3,03,07,08,11,13,16,19,23,24,28,,,3.6,2.0,3.0*3A", "GP", GPS_UNKNOWN},
      {"Quectel EG25-G: the last field is the system id", "$PQGSA,A,3,12,,,,,,,,,,,,1.2,0.9,0.9,4*3C", "PQ", 4},
  };
  for (const IdCase& c : cases) {
    GpsContext* context = FreshContext();
    FeedBytes(context, c.sentence + "\r\n");
    const std::string legend = std::string(c.legend) + ": " + c.sentence;
    ASSERT_EQ(gCallbackCalls.size(), 1u) << legend;
    if (gCallbackCalls[0].type == SENTENCE_GSV) {
      EXPECT_STREQ(context->gsv.talker, c.talker) << legend;
      EXPECT_EQ(context->gsv.signalId, c.id) << legend;
    } else {
      ASSERT_EQ(gCallbackCalls[0].type, SENTENCE_GSA) << legend;
      EXPECT_STREQ(context->gsa.talker, c.talker) << legend;
      EXPECT_EQ(context->gsa.systemId, c.id) << legend;
    }
  }
}

}  // namespace
