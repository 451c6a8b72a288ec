// The fix rules, sentence by sentence: each case feeds real sentences (or
// bodies framed here) to a fresh context and checks the fields it names in
// the copy GpsGetFix gives.  The legend names the receiver habit.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "navigation_test_support.h"

namespace {

struct FixCase {
  const char* legend;
  std::vector<std::string> sentences;
  std::vector<Expected> expected;
};

// The F9P's GGA, then its RMC of the same second.
const std::string F9P_GGA =
    "$GNGGA,014500.00,4404.1306024,N,12118.8446777,W,2,12,0.49,1129.913,M,-21.350,M,,0278*4C";
const std::string GARMIN48_RMC = "$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D";

void RunCases(const std::vector<FixCase>& cases) {
  for (const FixCase& c : cases) {
    GpsContext* context = FreshContext();
    FeedSentences(context, c.sentences);
    ExpectFix(context, c.expected, c.legend);
  }
}

TEST(navigation_fix_test, position_altitudes_and_quality) {
  RunCases({
      {"u-blox F9P: every decimal of the minutes counts, height above the ellipsoid is the sum",
       {F9P_GGA},
       {{"latitude", 44.068843373333}, {"longitude", -121.314077961667}, {"altitudeMsl", 1129.913},
        {"geoidSeparation", -21.35}, {"altitudeHae", 1108.563}, {"quality", 2}, {"satellitesUsed", 12},
        {"hdop", 0.49}, {"mode", 3}, {"hours", 1}, {"minutes", 45}, {"seconds", 0}, {"milliseconds", 0},
        {"year", UNKNOWN}}},
      {"Trimble RTK: eight decimals of minutes",
       {"$GNGGA,132819.60,4134.49795459,N,09345.03431408,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133*6A"},
       {{"latitude", 41.574965909833}, {"longitude", -93.750571901333}, {"milliseconds", 600}}},
      {"MTK-3301 without a fix repeats a position and altitudes in a GGA of quality 0: not read",
       {"$GPGGA,235946.005,8960.000000,N,00000.000000,E,0,0,,137.000,M,13.000,M,,*49"},
       {{"latitude", UNKNOWN}, {"longitude", UNKNOWN}, {"quality", 0}, {"mode", 1}, {"hdop", UNKNOWN},
        {"milliseconds", 5}, {"altitudeMsl", UNKNOWN}, {"geoidSeparation", UNKNOWN}, {"altitudeHae", UNKNOWN}}},
      {"Blumax GPS-009 without a fix keeps sending its last altitude and separation: not read",
       {"$GPGGA,142818.899,5201.0687,N,00832.0645,E,0,04,,35.8,M,47.2,M,,0000*47"},
       {{"altitudeMsl", UNKNOWN}, {"geoidSeparation", UNKNOWN}, {"altitudeHae", UNKNOWN}, {"mode", 1},
        {"satellitesUsed", 4}}},
      {"a fix's altitudes stay when a GGA of quality 0 follows in the same second",
       {F9P_GGA, "GNGGA,014500.00,4404.1306024,N,12118.8446777,W,0,12,0.49,1.0,M,2.0,M,,0278"},
       {{"altitudeMsl", 1129.913}, {"geoidSeparation", -21.35}, {"mode", 1}, {"quality", 0}}},
      {"SiRF-TriG's GNS: a mode letter other than N is a fix; no quality in a GNS",
       {"$GNGNS,074155.799,3114.8770,N,12135.2463,E,ANNA,05,1.3,156.9,8.3,,0000*52"},
       {{"latitude", 31.24795}, {"longitude", 121.587438333333}, {"altitudeMsl", 156.9},
        {"geoidSeparation", 8.3}, {"altitudeHae", 165.2}, {"satellitesUsed", 5}, {"hdop", 1.3}, {"mode", 3},
        {"quality", UNKNOWN}}},
      {"SiRF-TriG's GNS before a fix: every mode letter N",
       {"$GNGNS,074150.799,,,,,NNNN,00,,,0.0,,0000*63"},
       {{"latitude", UNKNOWN}, {"mode", 1}, {"satellitesUsed", 0}, {"altitudeMsl", UNKNOWN},
        {"geoidSeparation", UNKNOWN}, {"altitudeHae", UNKNOWN}}},
      {"DGPS with three satellites: 2D", {"$GPGGA,200004,5504.4343,N,01025.5386,E,2,03,2.5,-9.1,M,43.9,M,,*62"},
       {{"mode", 2}, {"altitudeMsl", -9.1}, {"altitudeHae", 34.8}}},
      {"no altitude sent: 2D, no height above the ellipsoid",
       {"GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,,M,46.9,M,,"},
       {{"mode", 2}, {"altitudeMsl", UNKNOWN}, {"altitudeHae", UNKNOWN}, {"geoidSeparation", 46.9}}},
      {"a latitude beyond 90 degrees is no position",
       {"GPGGA,120000,9100.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"},
       {{"latitude", UNKNOWN}, {"longitude", UNKNOWN}, {"mode", 1}}},
      {"a coordinate without its decimal point is no position",
       {"GPGGA,120000,4807,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"}, {{"latitude", UNKNOWN}, {"mode", 1}}},
      {"a coordinate without its hemisphere is no position",
       {"GPGGA,120000,4807.038,,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"}, {{"latitude", UNKNOWN}}},
      {"Garmin 48: RMC speed in knots to m/s, track, date",
       {GARMIN48_RMC},
       {{"latitude", -45.457633333333}, {"longitude", 167.15275}, {"speed", 0.0}, {"track", 94.5},
        {"year", 2001}, {"month", 6}, {"day", 6}, {"hours", 22}, {"mode", 2}}},
      {"RMC with status V: no position, no speed, no date, no fix",
       {"$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28"},
       {{"latitude", UNKNOWN}, {"speed", UNKNOWN}, {"year", UNKNOWN}, {"mode", 1}, {"hours", 12}}},
      {"MTK without a fix: the placeholder date 1980-01-06 of an RMC with status V is not read",
       {"GPRMC,000012.800,V,,,,,0.00,0.00,060180,,,N"}, {{"year", UNKNOWN}, {"mode", 1}}},
      {"yy from 80 is 19yy", {"GPRMC,120000,A,4807.038,N,01131.000,E,1.0,10.0,311299,,"}, {{"year", 1999}}},
      {"GLL with status A and mode letter A", {"$GPGLL,5201.0809,N,00832.0852,E,142819.299,A,A*5D"},
       {{"latitude", 52.018015}, {"mode", 2}, {"milliseconds", 299}}},
      {"GLL with mode letter N: no fix whatever the status", {"GPGLL,5201.0809,N,00832.0852,E,142819.299,A,N"},
       {{"latitude", UNKNOWN}, {"mode", 1}}},
      {"VTG: track true and speed in knots", {"$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A*25"},
       {{"track", 54.7}, {"speed", 2.829444444444}}},
      {"VTG without knots: km/h", {"GPVTG,054.7,T,034.4,M,,N,010.2,K,A"}, {{"speed", 2.833333333333}}},
      {"VTG with mode letter N is not read", {"GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,N"},
       {{"track", UNKNOWN}, {"speed", UNKNOWN}}},
  });
}

TEST(navigation_fix_test, mode_dops_and_satellites_used) {
  RunCases({
      {"u-blox caps GGA satellites at 12; its GSA sentences name 25 across four constellations",
       {"$GNGGA,223745.00,3806.62964,N,12237.61382,W,2,12,0.54,83.1,M,-29.5,M,,0000*44",
        "$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0E",
        "$GNGSA,A,3,82,73,74,67,81,83,68,,,,,,0.99,0.54,0.83,2*08",
        "$GNGSA,A,3,03,05,30,27,15,,,,,,,,0.99,0.54,0.83,3*0D",
        "$GNGSA,A,3,32,28,30,33,27,,,,,,,,0.99,0.54,0.83,4*03"},
       {{"satellitesUsed", 12}, {"usedSetSize", 25}, {"pdop", 0.99}, {"hdop", 0.54}, {"vdop", 0.83}, {"mode", 3}}},
      {"the next run of GSA sentences names a new set",
       {"$GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0E", "$GNGLL,3806.62964,N,12237.61382,W,223745.00,A,D*6C",
        "$GNGSA,A,3,82,73,74,67,81,83,68,,,,,,0.99,0.54,0.83,2*08"},
       {{"usedSetSize", 7}}},
      {"a 2D that a GSA of the same epoch set stays over a later GGA's 3D (Telit's GPGGA and GNGGA)",
       {"GNGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", "GNGSA,A,2,04,05,09,12,,,,,,,,,2.5,1.3,2.1",
        "GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"},
       {{"mode", 2}}},
      {"a GSA's mode of an earlier epoch gives way to the GGA",
       {"GNGSA,A,2,04,05,09,12,,,,,,,,,2.5,1.3,2.1", "GNGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"},
       {{"mode", 3}}},
      {"an RMC with a fix does not lower a 3D", {F9P_GGA, "GNRMC,014500.00,A,4404.1306024,N,12118.8446777,W,0.1,,010120,,,D"},
       {{"mode", 3}, {"speed", 0.051444444444}}},
      {"a GSA of fix type 1 says no fix", {"$GPGSA,A,1,,,,,,,,,,,,,,,,*32"},
       {{"mode", 1}, {"pdop", UNKNOWN}, {"usedSetSize", 0}}},
      {"DOPs of 99.99 and 0.00 are placeholders: unknown", {"GPGSA,A,1,,,,,,,,,,,,,99.99,0.00,99.0"},
       {{"pdop", UNKNOWN}, {"hdop", UNKNOWN}, {"vdop", UNKNOWN}}},
      {"an empty HDOP in a GGA makes the HDOP unknown, every time the GGA comes",
       {"GPGSA,A,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1", "GPGGA,120000,,,,,0,00,,,M,,M,,"},
       {{"hdop", UNKNOWN}, {"pdop", 2.5}, {"vdop", 2.1}}},
      {"SiRF-TriG's GSA with an 18th field that is no system id: DOPs in fields 15 to 17",
       {"$GPGSA,A,3,25,32,,,,,,,,,,,5.1,1.3,4.9,3.3*3D"}, {{"pdop", 5.1}, {"hdop", 1.3}, {"vdop", 4.9}}},
      {"a GSA listing sixteen satellites carries its DOPs in its last three fields",
       {"GPGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,13,14,15,16,1.6,0.9,1.3"},
       {{"pdop", 1.6}, {"hdop", 0.9}, {"vdop", 1.3}, {"usedSetSize", 16}}},
  });
}

TEST(navigation_fix_test, epochs_times_and_dates) {
  RunCases({
      {"a new time forgets the epoch's values and keeps date, mode and DOPs",
       {GARMIN48_RMC, "GPGSA,A,3,04,05,09,12,,,,,,,,,2.5,1.3,2.1",
        "GPGGA,225309,4527.458,S,16709.165,E,0,00,,,M,,M,,", "GPVTG,,T,,M,,N,,K,N"},
       {{"latitude", UNKNOWN}, {"speed", UNKNOWN}, {"track", UNKNOWN}, {"quality", 0}, {"satellitesUsed", 0},
        {"year", 2001}, {"seconds", 9}, {"pdop", 2.5}, {"mode", 1}}},
      {"a sentence of the same time keeps them", {GARMIN48_RMC, "GPGSA,A,3,04,05,,,,,,,,,,,2.5,1.3,2.1"},
       {{"latitude", -45.457633333333}, {"speed", 0.0}}},
      {"ZDA with a valid date sets the time and the date", {"$GPZDA,193223.00,23,12,2007,00,00*69"},
       {{"year", 2007}, {"month", 12}, {"day", 23}, {"hours", 19}, {"minutes", 32}, {"seconds", 23}}},
      {"a ZDA whose date is not valid counts for nothing", {"GPZDA,193223.00,31,02,2007,00,00"},
       {{"year", UNKNOWN}, {"hours", UNKNOWN}}},
      {"a ZDA year before 1980 is no date", {"GPZDA,193223.00,06,01,1970,00,00"}, {{"year", UNKNOWN}}},
      {"past midnight the date moves on before the next RMC",
       {"GPRMC,235959,A,4807.038,N,01131.000,E,1.0,10.0,311221,,", "GPGGA,000000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"},
       {{"year", 2022}, {"month", 1}, {"day", 1}, {"hours", 0}}},
      {"a leap second reads as the next day's first second",
       {"GPZDA,235959,31,12,2016,00,00", "GPGGA,235960,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"},
       {{"year", 2017}, {"month", 1}, {"day", 1}, {"hours", 0}, {"minutes", 0}, {"seconds", 0}}},
      {"decimals round half up to the millisecond", {"GPGGA,123519.0005,,,,,0,00,,,M,,M,,"},
       {{"seconds", 19}, {"milliseconds", 1}}},
      {"decimals below half a millisecond are dropped", {"GPGGA,123519.99949,,,,,0,00,,,M,,M,,"},
       {{"seconds", 19}, {"milliseconds", 999}}},
      {"rounding carries into the next second and minute", {"GPGGA,123559.9996,,,,,0,00,,,M,,M,,"},
       {{"minutes", 36}, {"seconds", 0}, {"milliseconds", 0}}},
      {"an hour of 24 is no time", {"GPGGA,240000,,,,,0,00,,,M,,M,,"}, {{"hours", UNKNOWN}}},
      {"a time with letters is no time", {"GPGGA,12a519,,,,,0,00,,,M,,M,,"}, {{"hours", UNKNOWN}}},
  });
}

TEST(navigation_fix_test, error_estimate_and_heading) {
  const std::string polarx2Gst = "$GPGST,112257.00,0.387,317.719,3.872,1.791,317.563,10.659,180.746*61";
  const std::string polarx2Gga = "$GPGGA,112257.00,3844.24011,N,00908.43828,W,1,03,10.5,,,,,,*72";
  const std::vector<Expected> polarx2 = {{"rangeRms", 0.387},       {"errorMajor", 317.719},
                                         {"errorMinor", 3.872},     {"errorOrientation", 1.791},
                                         {"latitudeError", 317.563}, {"longitudeError", 10.659},
                                         {"altitudeError", 180.746}};
  const std::string skytraqGga =
      "GPGGA,213122.000,2447.0806,N,12100.5197,E,2,10,0.8,125.9,M,15.3,M,0.0,0000";
  RunCases({
      {"u-blox M9N: every value of a GST", {"GNGGA,223746.00,,,,,0,00,99.99,,,,,,", "GNGST,223746.00,837,2.5,2.4,127,0.98,1.0,3.0"},
       {{"rangeRms", 837}, {"errorMajor", 2.5}, {"errorMinor", 2.4}, {"errorOrientation", 127},
        {"latitudeError", 0.98}, {"longitudeError", 1.0}, {"altitudeError", 3.0}}},
      {"GR-8013W: a GST with the ellipse left empty",
       {"GNGGA,181141.00,,,,,0,00,99.99,,,,,,", "$GNGST,181141.00,46,,,,4.7,1.9,5.3*4A"},
       {{"rangeRms", 46}, {"errorMajor", UNKNOWN}, {"errorMinor", UNKNOWN}, {"errorOrientation", UNKNOWN},
        {"latitudeError", 4.7}, {"longitudeError", 1.9}, {"altitudeError", 5.3}}},
      {"SkyTraq: a negative orientation as sent", {skytraqGga, "$GPGST,213122.000,15.7,22.8,11.6,-1.1,0.4,0.6,1.3*76"},
       {{"errorOrientation", -1.1}, {"rangeRms", 15.7}}},
      {"a negative deviation is no value", {skytraqGga, "GPGST,213122.000,-15.7,22.8,11.6,1.1,0.4,0.6,1.3"},
       {{"rangeRms", UNKNOWN}, {"errorMajor", 22.8}}},
      {"PolaRx2 sends its GST first in the cycle: not before its epoch begins", {polarx2Gst},
       {{"rangeRms", UNKNOWN}, {"latitudeError", UNKNOWN}}},
      {"PolaRx2: the GST's epoch begins with the GGA", {polarx2Gst, polarx2Gga}, polarx2},
      {"the GST belongs to its epoch: the next one starts unknown",
       {polarx2Gga, polarx2Gst, "$GPGGA,112258.00,3844.23988,N,00908.43825,W,1,03,10.5,,,,,,*7E"},
       {{"rangeRms", UNKNOWN}, {"altitudeError", UNKNOWN}}},
      {"Hemisphere: HDT true heading", {"$GPHDT,274.07,T*03"}, {{"heading", 274.07}, {"track", UNKNOWN}}},
      {"Hemisphere without a heading: the next epoch's HDT is empty",
       {"$GPHDT,274.07,T*03", "$GPGGA,194058.50,4221.8236149,N,07101.9438435,W,1,04,1.4,6.668,M,-33.057,M,,*5F",
        "GPHDT,,T,"},
       {{"heading", UNKNOWN}, {"milliseconds", 500}}},
      {"an HDT with an empty heading says there is none", {"$GPHDT,274.07,T*03", "GPHDT,,T,"},
       {{"heading", UNKNOWN}}},
      {"SkyTraq PX1172RH: THS with mode A", {"$GNTHS,244.28,A*11"}, {{"heading", 244.28}}},
      {"THS with mode V: not valid, no heading", {"$GNTHS,244.28,A*11", "GNTHS,244.31,V"}, {{"heading", UNKNOWN}}},
      {"the heading belongs to its epoch",
       {skytraqGga, "$GNTHS,244.28,A*11", "GPGGA,213123.000,2447.0806,N,12100.5197,E,2,10,0.8,125.9,M,15.3,M,0.0,0000"},
       {{"heading", UNKNOWN}, {"seconds", 23}}},
  });
}

TEST(navigation_fix_test, a_fresh_context_knows_nothing) {
  GpsContext* context = FreshContext();
  ExpectFix(context,
            {{"year", UNKNOWN}, {"hours", UNKNOWN}, {"latitude", UNKNOWN}, {"altitudeMsl", UNKNOWN},
             {"altitudeHae", UNKNOWN}, {"speed", UNKNOWN}, {"track", UNKNOWN}, {"mode", UNKNOWN},
             {"quality", UNKNOWN}, {"satellitesUsed", UNKNOWN}, {"usedSetSize", UNKNOWN}, {"pdop", UNKNOWN}},
            "fresh");
  GpsFix fix;
  EXPECT_EQ(GpsGetFix(nullptr, &fix), 1);
  EXPECT_EQ(GpsGetFix(context, nullptr), 1);
}

}  // namespace
