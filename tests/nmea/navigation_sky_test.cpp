// The sky rules: GSV groups of every constellation into one sky, satellite
// numbers placed, the used flags from runs of GSA sentences.  Each case feeds
// real sentences (or bodies framed here) to a fresh context and checks the
// whole sky that GpsGetSky gives.  The legend names the receiver habit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "navigation_test_support.h"
#include "nmea/navigation_internal.h"

namespace {

// UNKNOWN where the value must be unknown.
struct Signal {
  int32_t constellation, svid;
  double signalId, elevation, azimuth, snr;
  int32_t used;
};

struct SkyCase {
  const char* legend;
  std::vector<std::string> sentences;
  std::vector<Signal> signals;
  int32_t notShown;
};

constexpr int32_t GPS = CONSTELLATION_GPS, SBAS = CONSTELLATION_SBAS, GAL = CONSTELLATION_GALILEO,
                  BDS = CONSTELLATION_BEIDOU, QZSS = CONSTELLATION_QZSS, GLO = CONSTELLATION_GLONASS,
                  IRNSS = CONSTELLATION_NAVIC;
constexpr double U = UNKNOWN;

void ExpectValue(double actual, double expected, const std::string& what) {
  if (expected == UNKNOWN) EXPECT_TRUE(std::isnan(actual) || actual == GPS_UNKNOWN) << what << " is " << actual;
  else EXPECT_EQ(actual, expected) << what;
}

void ExpectSky(const GpsContext* context, const std::vector<Signal>& signals, int32_t notShown,
               const std::string& legend) {
  static GpsSky sky;
  ASSERT_EQ(GpsGetSky(context, &sky), 0) << legend;
  ASSERT_EQ(sky.signalCount, static_cast<int32_t>(signals.size())) << legend;
  EXPECT_EQ(sky.notShown, notShown) << legend;
  int32_t used = 0;
  for (size_t i = 0; i < signals.size(); ++i) {
    const GpsSignal& s = sky.signals[i];
    const Signal& e = signals[i];
    const std::string what = legend + ": signal " + std::to_string(i);
    EXPECT_EQ(s.constellation, e.constellation) << what;
    EXPECT_EQ(s.svid, e.svid) << what;
    ExpectValue(s.signalId, e.signalId, what + " signal id");
    ExpectValue(s.elevation, e.elevation, what + " elevation");
    ExpectValue(s.azimuth, e.azimuth, what + " azimuth");
    ExpectValue(s.snr, e.snr, what + " SNR");
    EXPECT_EQ(s.used, e.used) << what << " used";
    used += e.used;
  }
  EXPECT_EQ(sky.usedCount, used) << legend;
}

void RunCases(const std::vector<SkyCase>& cases) {
  for (const SkyCase& c : cases) {
    GpsContext* context = FreshContext();
    FeedSentences(context, c.sentences);
    ExpectSky(context, c.signals, c.notShown, c.legend);
  }
}

TEST(navigation_sky_test, constellations_and_numbers) {
  RunCases({
      {"u-blox M9N: GPS and SBAS 33-64 (PRN plus 87) under GP, GPS L1 C/A signal 1",
       {"GPGSV,1,1,04,29,46,133,43,44,45,171,45,46,45,191,43,51,43,156,,1"},
       {{GPS, 29, 1, 46, 133, 43, 0}, {SBAS, 131, 1, 45, 171, 45, 0}, {SBAS, 133, 1, 45, 191, 43, 0},
        {SBAS, 138, 1, 43, 156, U, 0}},
       0},
      {"GLONASS 65-96 under GL are slots 1-32",
       {"$GLGSV,3,3,10,83,52,346,29,84,05,307,,1*72" /* part 3 alone: no group */,
        "GLGSV,1,1,02,66,09,027,,67,56,054,40,1"},
       {{GLO, 2, 1, 9, 27, U, 0}, {GLO, 3, 1, 56, 54, 40, 0}},
       0},
      {"BeiDou under GB as 1-63, SiRF-TriG's 201-263 under GB and GP, 401-463",
       {"GBGSV,1,1,02,07,03,328,,201,49,147,44", "GPGSV,1,1,02,213,83,243,,402,10,100,30"},
       {{BDS, 7, U, 3, 328, U, 0}, {BDS, 1, U, 49, 147, 44, 0}, {BDS, 13, U, 83, 243, U, 0},
        {BDS, 2, U, 10, 100, 30, 0}},
       0},
      {"QZSS under QZ as 1-10, and 193 under GP", {"$QZGSV,1,1,01,02,05,042,29*5E", "GPGSV,1,1,01,193,34,332,"},
       {{QZSS, 2, U, 5, 42, 29, 0}, {QZSS, 1, U, 34, 332, U, 0}},
       0},
      {"Galileo under GA as 1-36 with signal 7, and 301-336 under GN",
       {"$GAGSV,3,3,10,30,14,215,16,36,08,098,,7*79", "GAGSV,1,1,01,30,14,215,16,7", "GNGSV,1,1,01,305,20,100,35"},
       {{GAL, 30, 7, 14, 215, 16, 0}, {GAL, 5, U, 20, 100, 35, 0}},
       0},
      {"NavIC under GI", {"GIGSV,1,1,02,02,30,120,40,05,20,220,35"},
       {{IRNSS, 2, U, 30, 120, 40, 0}, {IRNSS, 5, U, 20, 220, 35, 0}},
       0},
      {"Quectel EG25-G's $PQGSV: signal id 0, then system id 4 (BeiDou) places 04 and 12",
       {"PQGSV,1,1,02,04,,,32,12,46,282,30,0,4"},
       {{BDS, 4, 0, U, U, 32, 0}, {BDS, 12, 0, 46, 282, 30, 0}},
       0},
      {"a number that fits no constellation is not shown", {"GPGSV,1,1,03,00,10,100,30,99,10,100,30,170,10,100,30"},
       {},
       0},
      {"out of range: elevation 95 and SNR 120 unknown, azimuth 360 is 0, negative elevation kept",
       {"GPGSV,1,1,02,05,95,360,120,07,-3,010,20"},
       {{GPS, 5, U, U, 0, U, 0}, {GPS, 7, U, -3, 10, 20, 0}},
       0},
  });
}

TEST(navigation_sky_test, groups_and_runs) {
  const std::string gpsGroup1 = "GPGSV,2,1,05,05,40,100,40,07,30,200,35,09,20,300,30,13,10,050,25";
  const std::string gpsGroup2 = "GPGSV,2,2,05,15,60,150,45";
  const std::vector<Signal> gpsSky = {{GPS, 5, U, 40, 100, 40, 0}, {GPS, 7, U, 30, 200, 35, 0},
                                      {GPS, 9, U, 20, 300, 30, 0}, {GPS, 13, U, 10, 50, 25, 0},
                                      {GPS, 15, U, 60, 150, 45, 0}};
  RunCases({
      {"a cycle of GPGSV, GLGSV builds one sky", {gpsGroup1, gpsGroup2, "GLGSV,1,1,01,70,10,010,20"},
       {gpsSky[0], gpsSky[1], gpsSky[2], gpsSky[3], gpsSky[4], {GLO, 6, U, 10, 10, 20, 0}},
       0},
      {"the next cycle replaces it",
       {gpsGroup1, gpsGroup2, "GPGGA,120000,,,,,0,00,,,M,,M,,", "GPGSV,1,1,01,21,50,050,44"},
       {{GPS, 21, U, 50, 50, 44, 0}},
       0},
      {"a group with a part lost: the last whole view stays",
       {gpsGroup1, gpsGroup2, "GPGGA,120000,,,,,0,00,,,M,,M,,", gpsGroup1, "GPGGA,120001,,,,,0,00,,,M,,M,,"},
       gpsSky,
       0},
      {"GP-320FW cold boot: parts 1 and 2, the next cycle's part 2 cut, its part 3: no half group",
       {"$GPGSV,3,1,12,20,76,058,40,11,73,252,,06,41,274,,14,41,185,*7D",
        "$GPGSV,3,2,12,13,29,210,41,31,27,059,40,07,26,306,,04,20,308,40*74",
        "$GPRMC,000002.00,V,0000.0000,N,00000.0000,E,,,260910,,,N*48", "$GPGSV,3,3,12,2,40,16,00,090,*72"},
       {},
       0},
      {"Trimble with a proprietary sentence between two parts: the group holds",
       {gpsGroup1, "$PTNTA,20160203131547,2,T4,000000000,+092,3,0,3*1C", gpsGroup2},
       gpsSky,
       0},
      {"a part out of order drops the group", {gpsGroup2, gpsGroup1, "GPGSV,2,3,05,21,50,050,44"}, {}, 0},
      {"a different count of parts drops the group", {gpsGroup1, "GPGSV,3,2,05,15,60,150,45"}, {}, 0},
      {"a GLGSV with 0 satellites does not wipe the GPS sky", {gpsGroup1, gpsGroup2, "GLGSV,1,1,00"}, gpsSky, 0},
      {"a run's first group replaces even when it is empty",
       {gpsGroup1, gpsGroup2, "GPGGA,120000,,,,,0,00,,,M,,M,,", "GLGSV,1,1,00"},
       {},
       0},
      {"ST Teseo: the signal id is read per sentence, a group may change it",
       {"GPGSV,2,1,05,05,40,100,40,07,30,200,35,09,20,300,30,13,10,050,25,1", "GPGSV,2,2,05,05,40,100,33,6"},
       {{GPS, 5, 1, 40, 100, 40, 0}, {GPS, 7, 1, 30, 200, 35, 0}, {GPS, 9, 1, 20, 300, 30, 0},
        {GPS, 13, 1, 10, 50, 25, 0}, {GPS, 5, 6, 40, 100, 33, 0}},
       0},
      {"ST Teseo: empty groups after the last satellite, then the signal id",
       {"GPGSV,1,1,01,15,05,057,32,,,,,,,,,,,,,1"},
       {{GPS, 15, 1, 5, 57, 32, 0}},
       0},
      {"a satellite listed twice in a run (GPGSV and GNGSV) is shown once, the later reading kept",
       {gpsGroup1, gpsGroup2, "GNGSV,1,1,01,05,41,101,42"},
       {{GPS, 5, U, 41, 101, 42, 0}, gpsSky[1], gpsSky[2], gpsSky[3], gpsSky[4]},
       0},
  });
}

TEST(navigation_sky_test, used_signals) {
  const std::string sky = "GNGSV,1,1,04,05,40,100,40,07,30,200,,70,20,300,30,205,10,050,25";
  RunCases({
      {"used: named by the GSA and tracked (a used satellite's untracked signal is not)",
       {sky, "GNGSA,A,3,05,07,70,,,,,,,,,,1.5,0.9,1.2"},
       {{GPS, 5, U, 40, 100, 40, 1}, {GPS, 7, U, 30, 200, U, 0}, {GLO, 6, U, 20, 300, 30, 1},
        {BDS, 5, U, 10, 50, 25, 0}},
       0},
      {"u-blox F9P: one GSA per constellation, placed by the system id (4 is BeiDou)",
       {sky, "GNGSA,A,3,07,,,,,,,,,,,,1.5,0.9,1.2,1", "GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2,4"},
       {{GPS, 5, U, 40, 100, 40, 0}, {GPS, 7, U, 30, 200, U, 0}, {GLO, 6, U, 20, 300, 30, 0},
        {BDS, 5, U, 10, 50, 25, 1}},
       0},
      {"the next run of GSA sentences starts a new set",
       {sky, "GNGSA,A,3,05,70,,,,,,,,,,,1.5,0.9,1.2", "GNGGA,120000,,,,,0,00,,,M,,M,,",
        "GNGSA,A,3,70,,,,,,,,,,,,1.5,0.9,1.2"},
       {{GPS, 5, U, 40, 100, 40, 0}, {GPS, 7, U, 30, 200, U, 0}, {GLO, 6, U, 20, 300, 30, 1},
        {BDS, 5, U, 10, 50, 25, 0}},
       0},
      {"a sky that arrives after its GSA is flagged too", {"GNGSA,A,3,05,,,,,,,,,,,,1.5,0.9,1.2", sky},
       {{GPS, 5, U, 40, 100, 40, 1}, {GPS, 7, U, 30, 200, U, 0}, {GLO, 6, U, 20, 300, 30, 0},
        {BDS, 5, U, 10, 50, 25, 0}},
       0},
  });
}

// 50 parts of four, 200 signals: GPS 1-32, SBAS 120-158, GLONASS 65-96, QZSS
// 193-200 and BeiDou 201-263 are 174, Galileo 301-318 make 192, and Galileo
// 319-326 do not fit.
TEST(navigation_sky_test, what_does_not_fit_is_counted) {
  std::vector<int32_t> numbers;
  const int32_t ranges[][2] = {{1, 32}, {120, 158}, {65, 96}, {193, 200}, {201, 263}, {301, 326}};
  for (const auto& range : ranges)
    for (int32_t n = range[0]; n <= range[1]; ++n) numbers.push_back(n);
  std::vector<std::string> sentences;
  for (int32_t part = 1; part <= 50; ++part) {
    std::string body = "GNGSV,50," + std::to_string(part) + ",200";
    for (int32_t i = 0; i < 4; ++i) body += "," + std::to_string(numbers[static_cast<size_t>((part - 1) * 4 + i)]) + ",45,180,40";
    sentences.push_back(body);
  }
  GpsContext* context = FreshContext();
  FeedSentences(context, sentences);
  static GpsSky sky;
  ASSERT_EQ(GpsGetSky(context, &sky), 0);
  EXPECT_EQ(sky.signalCount, GPS_SKY_SIZE);
  EXPECT_EQ(sky.notShown, 8);
  EXPECT_EQ(sky.signals[GPS_SKY_SIZE - 1].constellation, CONSTELLATION_GALILEO);
  EXPECT_EQ(sky.signals[GPS_SKY_SIZE - 1].svid, 18);
  // The next cycle replaces the sky and forgets what did not fit.
  FeedSentences(context, {"GPGGA,120000,,,,,0,00,,,M,,M,,", "GPGSV,1,1,01,21,50,050,44"});
  ASSERT_EQ(GpsGetSky(context, &sky), 0);
  EXPECT_EQ(sky.signalCount, 1);
  EXPECT_EQ(sky.notShown, 0);
}

struct NumberCase {
  const char* legend;
  const char* talker;
  int32_t systemId;
  int32_t number;
  int32_t constellation, svid;  // -1: not placed
};

TEST(navigation_sky_test, satellite_numbers_are_placed_by_system_id_talker_and_range) {
  const NumberCase cases[] = {
      {"GPS by range", "GP", GPS_UNKNOWN, 5, GPS, 5},
      {"SBAS 33-64 is its PRN less 87", "GP", GPS_UNKNOWN, 33, SBAS, 120},
      {"SBAS by its PRN", "GN", GPS_UNKNOWN, 158, SBAS, 158},
      {"GLONASS 65-96 under GN", "GN", GPS_UNKNOWN, 96, GLO, 32},
      {"GLONASS under GL keeps 1-64", "GL", GPS_UNKNOWN, 7, GLO, 7},
      {"QZSS 193-200 by range", "GP", GPS_UNKNOWN, 200, QZSS, 8},
      {"QZSS 201-202 only with a hint", "QZ", GPS_UNKNOWN, 202, QZSS, 10},
      {"201 without a hint is BeiDou", "GN", GPS_UNKNOWN, 201, BDS, 1},
      {"BeiDou 264 fits no range", "GN", GPS_UNKNOWN, 264, -1, -1},
      {"BeiDou 401-463 by range", "GN", GPS_UNKNOWN, 463, BDS, 63},
      {"Galileo 301-336 by range", "GN", GPS_UNKNOWN, 336, GAL, 36},
      {"Galileo under GA: 101-199 less 100 (Jackson Labs' numbers)", "GA", GPS_UNKNOWN, 103, GAL, 3},
      {"BeiDou under BD, 1-99 kept", "BD", GPS_UNKNOWN, 63, BDS, 63},
      {"a number beyond the talker's constellation falls back to the range", "GL", GPS_UNKNOWN, 120, SBAS, 120},
      {"system id 4 makes 05 BeiDou", "GN", 4, 5, BDS, 5},
      {"a system id's number that does not fit places nothing", "GN", 2, 120, -1, -1},
      {"system id 1 covers SBAS", "GN", 1, 131, SBAS, 131},
      {"system id 1 places nothing beyond 200", "GN", 1, 201, -1, -1},
      {"the system id wins over the talker", "GA", 3, 305, GAL, 5},
      {"NavIC by system id 6", "GN", 6, 9, IRNSS, 9},
      {"a system id outside 1-6 is no hint", "GN", 15, 70, GLO, 6},
      {"0 is no satellite", "GP", GPS_UNKNOWN, 0, -1, -1},
  };
  for (const NumberCase& c : cases) {
    int32_t constellation = -1, svid = -1;
    const bool placed = PlaceSatellite(c.number, HintOf(c.systemId, c.talker), &constellation, &svid);
    EXPECT_EQ(placed, c.constellation >= 0) << c.legend;
    if (!placed) continue;
    EXPECT_EQ(constellation, c.constellation) << c.legend;
    EXPECT_EQ(svid, c.svid) << c.legend;
  }
}

}  // namespace
