// gpsd's objects as the server and nmea-decode write them: numbers against
// printf's, TPV and SKY made from real sentences fed through the library,
// and the protocol's other objects, each compared whole with the line a
// gpsd client reads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "navigation_test_support.h"
#include "server/gpsd_json.h"
#include "server/json_writer.h"

namespace {

TEST(json_writer_test, fixed_numbers_are_printfs_digits) {
  const double values[] = {0.0,     -0.0,     0.125,     0.375,     2.5,       1147.2,   -31.442,   59.950103333,
                           -93.750571901, 0.076137, 1e-9,   123456789.123456789, 0.0005, 0.0015, 99.995, -0.00049,
                           1e15,    4.35e-7, 85.0, 359.0, 999999.0, -12.0};
  for (const double value : values) {
    for (int decimals = 0; decimals <= 9; ++decimals) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
      char text[JSON_NUMBER_SIZE];
      const std::string got(text, JsonFormatFixed(text, value, decimals));
      EXPECT_EQ(got, expected) << value << " with " << decimals << " decimals";
    }
  }
  // Values as receivers send them (a few decimals) and values of any digits,
  // of every size up to and past where the short way is not taken.
  uint64_t seed = 88172645463325252ULL;
  int differing = 0;
  for (int i = 0; i < 200000; ++i) {
    seed ^= seed << 13;
    seed ^= seed >> 7;
    seed ^= seed << 17;
    const double scale = std::pow(10.0, static_cast<int>(seed % 16) - 6);
    const double raw = static_cast<double>(seed >> 11) / 9007199254740992.0 * scale * 10;
    const double value = i % 2 == 0 ? std::round(raw * 1000) / 1000 : (i % 3 == 0 ? -raw : raw);
    const int decimals = static_cast<int>((seed >> 5) % 10);
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
    char text[JSON_NUMBER_SIZE];
    if (std::string(text, JsonFormatFixed(text, value, decimals)) != expected && ++differing <= 5)
      ADD_FAILURE() << value << " with " << decimals << " decimals: " << expected;
  }
  EXPECT_EQ(differing, 0);
  char text[JSON_NUMBER_SIZE];
  EXPECT_EQ(std::string(text, JsonFormatFixed(text, 1e300, 9)), "1e+300") << "too long for fixed";
  EXPECT_EQ(std::string(text, JsonFormatInt(text, -2147483648LL)), "-2147483648");
}

TEST(json_writer_test, trimmed_numbers_drop_trailing_zeros) {
  struct Case {
    double value;
    bool wholeAlone;
    const char* expected;
  };
  const Case cases[] = {
      {168.9, false, "168.9"}, {0.020578, false, "0.020578"}, {0.0, false, "0.0"}, {85.0, true, "85"},
      {85.0, false, "85.0"},   {-0.5, true, "-0.5"},          {100.0, true, "100"}, {1e-7, false, "0.0"},
  };
  for (const Case& c : cases) {
    char text[JSON_NUMBER_SIZE];
    EXPECT_EQ(std::string(text, JsonFormatTrimmed(text, c.value, 6, c.wholeAlone)), c.expected) << c.value;
  }
}

TEST(json_writer_test, strings_are_escaped_into_valid_json) {
  struct Case {
    std::string text;
    const char* expected;
  };
  const Case cases[] = {
      {"COM3", "\"COM3\""},
      {"?FOO;\n", "\"?FOO;\\n\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {std::string("\r\t\x01\x7f\xc3", 5), "\"\\r\\t\\u0001\\u007f\\u00c3\""},
      {std::string("x\0y", 3), "\"x\\u0000y\""},
  };
  for (const Case& c : cases) {
    std::string out;
    JsonAppendString(&out, c.text);
    EXPECT_EQ(out, c.expected);
  }
}

struct EpochCase {
  const char* legend;
  std::vector<std::string> sentences;
  const char* tpv;
  const char* sky;
};

TEST(gpsd_json_test, tpv_and_sky_from_sentences) {
  const EpochCase cases[] = {
      {"an RTK receiver's differential 3D fix without a sky",
       {"$GNGGA,132819.60,4134.49795459,N,09345.03431408,W,2,10,0.9,278.161,M,-31.442,M,6.6,0133*6A",
        "$GNRMC,132819.60,A,4134.49795459,N,09345.03431408,W,0.148,124.888,180320,11.5985,E,D*3F"},
       "{\"class\":\"TPV\",\"device\":\"COM3\",\"status\":2,\"mode\":3,\"time\":\"2020-03-18T13:28:19.600Z\","
       "\"lat\":41.574965910,\"lon\":-93.750571901,\"altHAE\":246.7190,\"altMSL\":278.1610,\"alt\":278.1610,"
       "\"track\":124.8880,\"speed\":0.076,\"geoidSep\":-31.442}\r\n",
       "{\"class\":\"SKY\",\"device\":\"COM3\",\"hdop\":0.90,\"nSat\":0,\"uSat\":10}\r\n"},
      {"RTK fixed in 2D: status 3, no altitude, nothing unsent written",
       {"GPGGA,010203,4807.038,N,01131.000,E,4,03,,,M,,M,,"},
       "{\"class\":\"TPV\",\"device\":\"COM3\",\"status\":3,\"mode\":2,\"lat\":48.117300000,\"lon\":11.516666667}"
       "\r\n",
       "{\"class\":\"SKY\",\"device\":\"COM3\",\"nSat\":0,\"uSat\":3}\r\n"},
      {"no fix: a time of day without a date, a position in a quality-0 GGA not shown",
       {"GPGGA,010203,4807.038,N,01131.000,E,0,00,,,M,,M,,", "GPRMC,010203,V,,,,,,,,,,N"},
       "{\"class\":\"TPV\",\"device\":\"COM3\",\"mode\":1}\r\n",
       "{\"class\":\"SKY\",\"device\":\"COM3\",\"nSat\":0,\"uSat\":0}\r\n"},
      {"four constellations' signals, two used, an untracked one without ss",
       {"GPGSV,1,1,02,05,40,083,46,12,10,100,,1", "GLGSV,1,1,01,70,40,083,46,3", "GAGSV,1,1,01,05,20,300,35,1",
        "GBGSV,1,1,01,05,41,084,47,5", "GPGSV,1,1,01,36,19,156,51,1", "GNGSA,A,3,05,,,,,,,,,,,,1.5,1.3,1.0,1",
        "GNGSA,A,3,70,,,,,,,,,,,,1.5,1.3,1.0,2"},
       "{\"class\":\"TPV\",\"device\":\"COM3\",\"mode\":3}\r\n",
       "{\"class\":\"SKY\",\"device\":\"COM3\",\"vdop\":1.00,\"hdop\":1.30,\"pdop\":1.50,\"nSat\":6,\"uSat\":2,"
       "\"satellites\":["
       "{\"PRN\":5,\"el\":40.0,\"az\":83.0,\"ss\":46.0,\"used\":true,\"gnssid\":0,\"svid\":5},"
       "{\"PRN\":12,\"el\":10.0,\"az\":100.0,\"used\":false,\"gnssid\":0,\"svid\":12},"
       "{\"PRN\":70,\"el\":40.0,\"az\":83.0,\"ss\":46.0,\"used\":true,\"gnssid\":6,\"svid\":6,\"sigid\":2},"
       "{\"PRN\":305,\"el\":20.0,\"az\":300.0,\"ss\":35.0,\"used\":false,\"gnssid\":2,\"svid\":5,\"sigid\":3},"
       "{\"PRN\":405,\"el\":41.0,\"az\":84.0,\"ss\":47.0,\"used\":false,\"gnssid\":3,\"svid\":5,\"sigid\":7},"
       "{\"PRN\":36,\"el\":19.0,\"az\":156.0,\"ss\":51.0,\"used\":false,\"gnssid\":1,\"svid\":123}]}\r\n"},
  };
  for (const EpochCase& c : cases) {
    GpsContext* context = FreshContext();
    FeedSentences(context, c.sentences);
    static GpsFix fix;
    static GpsSky sky;
    ASSERT_EQ(GpsGetFix(context, &fix), 0);
    ASSERT_EQ(GpsGetSky(context, &sky), 0);
    std::string tpv, skyLine;
    GpsdAppendTpv(&tpv, "COM3", fix);
    GpsdAppendSky(&skyLine, "COM3", fix, sky);
    EXPECT_EQ(tpv, c.tpv) << c.legend;
    EXPECT_EQ(skyLine, c.sky) << c.legend;
  }
}

// GGA's quality as gpsd reports it, and gpsd's PRN for each constellation's
// numbers as its decodings of the captures show them.
TEST(gpsd_json_test, status_and_prn_as_gpsd_numbers_them) {
  const int32_t status[][2] = {{-1, 0}, {0, 0}, {1, 0}, {2, 2}, {3, 9}, {4, 3}, {5, 4}, {6, 5}, {7, 7}, {8, 8}, {9, 0}};
  for (const auto& row : status) EXPECT_EQ(GpsdStatus(row[0]), row[1]) << "quality " << row[0];
  const int32_t prn[][3] = {
      {CONSTELLATION_GPS, 32, 32},      {CONSTELLATION_SBAS, 120, 33},    {CONSTELLATION_SBAS, 151, 64},
      {CONSTELLATION_SBAS, 152, 152},   {CONSTELLATION_GALILEO, 36, 336}, {CONSTELLATION_BEIDOU, 46, 446},
      {CONSTELLATION_QZSS, 1, 193},     {CONSTELLATION_GLONASS, 24, 88},  {4, 1, 0},
  };
  for (const auto& row : prn) EXPECT_EQ(GpsdPrn(row[0], row[1]), row[2]) << row[0] << "/" << row[1];
}

TEST(gpsd_json_test, protocol_objects) {
  std::string out;
  GpsdAppendVersion(&out, "1.0", "1.0");
  EXPECT_EQ(out, "{\"class\":\"VERSION\",\"release\":\"1.0\",\"rev\":\"1.0\",\"proto_major\":3,\"proto_minor\":14}\r\n");

  out.clear();
  GpsdWatch watch = {true, true, false, 0, false, false, false, false, ""};
  GpsdAppendWatch(&out, watch);
  watch = {false, false, true, 2, true, true, true, true, "COM3"};
  GpsdAppendWatch(&out, watch);
  EXPECT_EQ(out,
            "{\"class\":\"WATCH\",\"enable\":true,\"json\":true,\"nmea\":false,\"raw\":0,\"scaled\":false,"
            "\"timing\":false,\"split24\":false,\"pps\":false}\r\n"
            "{\"class\":\"WATCH\",\"enable\":false,\"json\":false,\"nmea\":true,\"raw\":2,\"scaled\":true,"
            "\"timing\":true,\"split24\":true,\"pps\":true,\"device\":\"COM3\"}\r\n");

  // 2024-06-09T00:06:55.000Z; and a leap-year day.
  const GpsdDevice devices[] = {{"COM3", true, 1717891615000, 4800, 1.0},
                                {"COM4", true, 951782400123, 0, NAN},
                                {"COM5", false, 0, 9600, 1.0}};
  out.clear();
  GpsdAppendDevices(&out, devices, 3);
  GpsdAppendDevices(&out, nullptr, 0);
  GpsdAppendDevice(&out, devices[2]);
  EXPECT_EQ(out,
            "{\"class\":\"DEVICES\",\"devices\":["
            "{\"class\":\"DEVICE\",\"path\":\"COM3\",\"driver\":\"NMEA0183\",\"activated\":\"2024-06-09T00:06:55.000Z\","
            "\"flags\":1,\"native\":0,\"bps\":4800,\"parity\":\"N\",\"stopbits\":1,\"cycle\":1.00},"
            "{\"class\":\"DEVICE\",\"path\":\"COM4\",\"driver\":\"NMEA0183\",\"activated\":\"2000-02-29T00:00:00.123Z\","
            "\"flags\":1},"
            "{\"class\":\"DEVICE\",\"path\":\"COM5\",\"activated\":0}]}\r\n"
            "{\"class\":\"DEVICES\",\"devices\":[]}\r\n"
            "{\"class\":\"DEVICE\",\"path\":\"COM5\",\"activated\":0}\r\n");

  out.clear();
  GpsdAppendPoll(&out, 1717891615250, 0, "COM3", nullptr, nullptr);
  EXPECT_EQ(out,
            "{\"class\":\"POLL\",\"time\":\"2024-06-09T00:06:55.250Z\",\"active\":0,\"tpv\":[],\"gst\":[],\"sky\":[]}"
            "\r\n");
  GpsFix fix;
  GpsSky sky = {};
  GpsContext* context = FreshContext();
  FeedSentences(context, {"GPGGA,010203,4807.038,N,01131.000,E,4,03,,,M,,M,,"});
  ASSERT_EQ(GpsGetFix(context, &fix), 0);
  out.clear();
  GpsdAppendPoll(&out, 1717891615250, 1, "COM3", &fix, &sky);
  EXPECT_EQ(out,
            "{\"class\":\"POLL\",\"time\":\"2024-06-09T00:06:55.250Z\",\"active\":1,\"tpv\":["
            "{\"class\":\"TPV\",\"device\":\"COM3\",\"status\":3,\"mode\":2,\"lat\":48.117300000,\"lon\":11.516666667}"
            "],\"gst\":[],\"sky\":[{\"class\":\"SKY\",\"device\":\"COM3\",\"nSat\":0,\"uSat\":3}]}\r\n");

  out.clear();
  GpsdAppendError(&out, "Unrecognized request '?FOO;\n'");
  EXPECT_EQ(out, "{\"class\":\"ERROR\",\"message\":\"Unrecognized request '?FOO;\\n'\"}\r\n");
}

}  // namespace
