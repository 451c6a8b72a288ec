// What the monitor computes without a window: one mark per satellite and
// where it goes on the plot, the signal bars, and the fix as text.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "monitor/constellations.h"
#include "monitor/fix_text.h"
#include "monitor/layout.h"
#include "monitor/link_text.h"
#include "monitor/monitor_options.h"
#include "monitor/server_stream.h"
#include "monitor/signal_bars.h"
#include "monitor/sky_view.h"

namespace {

GpsSignal Signal(int32_t constellation, int32_t svid, int32_t signalId, float elevation, float azimuth, float snr,
                 int32_t used) {
  return {constellation, svid, signalId, used, elevation, azimuth, snr};
}

GpsSky SkyOf(std::initializer_list<GpsSignal> signals) {
  GpsSky sky = {};
  for (const GpsSignal& s : signals) sky.signals[sky.signalCount++] = s;
  return sky;
}

// A GPS satellite with two signals, the second without a position (as
// receivers send the L5 or L2 line of a satellite), the same number in three
// constellations, and a constellation the monitor does not know.
const GpsSky MIXED = SkyOf({
    Signal(CONSTELLATION_GPS, 5, 1, 38, 250, 40, 1),
    Signal(CONSTELLATION_GALILEO, 5, 7, 12, 90, 33, 0),
    Signal(CONSTELLATION_GPS, 5, 8, NAN, NAN, 45, 0),
    Signal(CONSTELLATION_BEIDOU, 5, 1, 60, 10, NAN, 0),
    Signal(99, 1, 1, 10, 10, 30, 1),
    Signal(CONSTELLATION_GLONASS, 21, 1, 85, 247, 32, 1),
    Signal(CONSTELLATION_SBAS, 123, 1, 30, 150, 38, 0),
});

TEST(monitor_core_test, one_mark_per_satellite_whatever_its_signals) {
  SatelliteMark marks[16];
  ASSERT_EQ(5, CollectSatellites(MIXED, marks, 16));
  const struct {
    const char* label;
    int32_t used;
    float elevation, azimuth, snr;
  } expected[] = {
      {"G5", 1, 38, 250, 45},  // used through L1, strongest on L5, placed by L1
      {"E5", 0, 12, 90, 33},
      {"C5", 0, 60, 10, NAN},  // not tracked
      {"R21", 1, 85, 247, 32},
      {"S123", 0, 30, 150, 38},
  };
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(expected[i].label, marks[i].label);
    EXPECT_EQ(expected[i].used, marks[i].used) << expected[i].label;
    EXPECT_EQ(expected[i].elevation, marks[i].elevation) << expected[i].label;
    EXPECT_EQ(expected[i].azimuth, marks[i].azimuth) << expected[i].label;
    if (std::isnan(expected[i].snr)) EXPECT_TRUE(std::isnan(marks[i].snr)) << expected[i].label;
    else EXPECT_EQ(expected[i].snr, marks[i].snr) << expected[i].label;
  }
  // A full table keeps the satellites it has and still merges their signals.
  ASSERT_EQ(1, CollectSatellites(MIXED, marks, 1));
  EXPECT_STREQ("G5", marks[0].label);
  EXPECT_EQ(45, marks[0].snr);
}

TEST(monitor_core_test, labels_carry_the_constellation_letter) {
  const struct {
    int32_t constellation, svid;
    const char* label;
  } cases[] = {{CONSTELLATION_GPS, 5, "G5"},      {CONSTELLATION_GLONASS, 21, "R21"},
               {CONSTELLATION_GALILEO, 36, "E36"}, {CONSTELLATION_BEIDOU, 13, "C13"},
               {CONSTELLATION_QZSS, 3, "J3"},      {CONSTELLATION_SBAS, 123, "S123"},
               {CONSTELLATION_NAVIC, 2, "I2"},     {4, 7, "?7"}};
  for (const auto& c : cases) {
    char label[8];
    SatelliteLabel(c.constellation, c.svid, label);
    EXPECT_STREQ(c.label, label);
  }
}

TEST(monitor_core_test, the_zenith_is_the_centre_and_the_horizon_the_rim_north_up_east_right) {
  const struct {
    const char* legend;
    float elevation, azimuth;
    double x, y;
  } cases[] = {
      {"zenith", 90, 123, 200, 100},         {"north on the horizon", 0, 0, 200, 20},
      {"east on the horizon", 0, 90, 280, 100}, {"south at 30 degrees", 30, 180, 200, 100 + 80 * 2 / 3.0},
      {"west at 60 degrees", 60, 270, 200 - 80 / 3.0, 100}, {"below the horizon: on the rim", -5, 90, 280, 100},
      {"north-east at 45", 45, 45, 200 + 40 * std::sqrt(0.5), 100 - 40 * std::sqrt(0.5)},
  };
  for (const auto& c : cases) {
    const PlotPoint p = SkyPlotPoint(200, 100, 80, c.elevation, c.azimuth);
    EXPECT_NEAR(c.x, p.x, 1e-9) << c.legend;
    EXPECT_NEAR(c.y, p.y, 1e-9) << c.legend;
  }
}

TEST(monitor_core_test, bars_group_by_constellation_and_label_each_satellite_once) {
  SignalBar bars[16];
  ASSERT_EQ(6, LayOutSignalBars(MIXED, bars, 16));
  // Legend order: GPS, GLONASS, Galileo, BeiDou, QZSS, SBAS, NavIC.
  const struct {
    const char* label;
    int32_t svid, signalId, startsGroup, startsSatellite, used;
    float height;
  } expected[] = {
      {"G5", 5, 1, 1, 1, 1, 40 / 60.0f}, {"", 5, 8, 0, 0, 0, 45 / 60.0f}, {"R21", 21, 1, 1, 1, 1, 32 / 60.0f},
      {"E5", 5, 7, 1, 1, 0, 33 / 60.0f}, {"C5", 5, 1, 1, 1, 0, 0.0f},      {"S123", 123, 1, 1, 1, 0, 38 / 60.0f},
  };
  for (int i = 0; i < 6; ++i) {
    EXPECT_STREQ(expected[i].label, bars[i].label) << "bar " << i;
    EXPECT_EQ(expected[i].svid, bars[i].svid) << "bar " << i;
    EXPECT_EQ(expected[i].signalId, bars[i].signalId) << "bar " << i;
    EXPECT_EQ(expected[i].startsGroup, bars[i].startsGroup) << "bar " << i;
    EXPECT_EQ(expected[i].startsSatellite, bars[i].startsSatellite) << "bar " << i;
    EXPECT_EQ(expected[i].used, bars[i].used) << "bar " << i;
    EXPECT_FLOAT_EQ(expected[i].height, bars[i].height) << "bar " << i;
  }
  const GpsSky strong = SkyOf({Signal(CONSTELLATION_GPS, 1, 1, 10, 10, 75, 1), Signal(CONSTELLATION_GPS, 2, 1, 10, 10, -3, 0)});
  ASSERT_EQ(2, LayOutSignalBars(strong, bars, 16));
  EXPECT_EQ(1.0f, bars[0].height) << "above the scale: full height";
  EXPECT_EQ(0.0f, bars[1].height) << "below 0";
}

GpsFix UnknownFix() {
  GpsFix fix;
  fix.year = fix.month = fix.day = fix.hours = fix.minutes = fix.seconds = fix.milliseconds = GPS_UNKNOWN;
  fix.latitude = fix.longitude = fix.altitudeMsl = fix.geoidSeparation = fix.altitudeHae = NAN;
  fix.speed = fix.track = fix.pdop = fix.hdop = fix.vdop = NAN;
  fix.mode = fix.quality = fix.satellitesUsed = fix.usedSetSize = GPS_UNKNOWN;
  return fix;
}

TEST(monitor_core_test, fix_rows_write_each_value_in_its_units) {
  // The TPV of a u-blox receiver: 2022-07-31T12:02:13.000Z, 59.950103333 N,
  // 11.010715 E, 168.9 m above sea level, 39.5 m geoid separation, at rest,
  // differential, 11 of 18 satellites used.
  GpsFix fix = UnknownFix();
  fix.year = 2022, fix.month = 7, fix.day = 31, fix.hours = 12, fix.minutes = 2, fix.seconds = 13, fix.milliseconds = 0;
  fix.latitude = 59.950103333, fix.longitude = -11.010715;
  fix.altitudeMsl = 168.9, fix.geoidSeparation = 39.5, fix.altitudeHae = 208.4;
  fix.speed = 10.0, fix.track = 84.4, fix.mode = GPS_MODE_3D, fix.quality = 2;
  fix.satellitesUsed = 11, fix.usedSetSize = 14, fix.pdop = 1.5, fix.hdop = 1.3, fix.vdop = 1.0;
  char values[FIX_ROW_COUNT][FIX_VALUE_SIZE];
  FormatFixRows(fix, 18, values);
  const char* expected[FIX_ROW_COUNT] = {
      "2022-07-31", "12:02:13.000", "59.95010333", "-11.01071500", "N 59 57.006200'", "W 11 00.642900'",
      "168.90 m", "208.40 m", "36.0 km/h, 19.44 kn", "84.4 deg", "3D", "DGPS", "11 used, 18 in view",
      "1.50", "1.30", "1.00",
  };
  for (int32_t row = 0; row < FIX_ROW_COUNT; ++row) EXPECT_STREQ(expected[row], values[row]) << "row " << row;
}

TEST(monitor_core_test, unknown_values_read_as_a_dash_never_as_zero) {
  char values[FIX_ROW_COUNT][FIX_VALUE_SIZE];
  FormatFixRows(UnknownFix(), GPS_UNKNOWN, values);
  for (int32_t row = 0; row < FIX_ROW_COUNT; ++row) {
    if (row == FIX_ROW_SATELLITES) EXPECT_STREQ("- used, - in view", values[row]);
    else EXPECT_STREQ("-", values[row]) << "row " << row;
  }
  // Some receivers send GSA sentences but no GGA: the used set tells.
  GpsFix gsaOnly = UnknownFix();
  gsaOnly.usedSetSize = 7;
  FormatFixRows(gsaOnly, 9, values);
  EXPECT_STREQ("7 used, 9 in view", values[FIX_ROW_SATELLITES]);
  // A time without its date yet (no RMC with a fix so far).
  gsaOnly.hours = 23, gsaOnly.minutes = 59, gsaOnly.seconds = 60, gsaOnly.milliseconds = 500;
  FormatFixRows(gsaOnly, 9, values);
  EXPECT_STREQ("-", values[FIX_ROW_DATE]);
  EXPECT_STREQ("23:59:60.500", values[FIX_ROW_TIME]);
}

TEST(monitor_core_test, quality_and_minutes_in_words_and_digits) {
  const char* words[] = {"no fix", "GPS", "DGPS", "PPS", "RTK fixed", "RTK float", "dead reckoning", "manual",
                         "simulated"};
  for (int32_t q = 0; q < 9; ++q) EXPECT_STREQ(words[q], QualityWords(q));
  EXPECT_STREQ("-", QualityWords(9));
  EXPECT_STREQ("-", QualityWords(GPS_UNKNOWN));
  GpsFix fix = UnknownFix();
  fix.latitude = -33.99999999999;  // 59.9999999994 minutes: rounds to the next degree
  fix.longitude = 0.5;
  char values[FIX_ROW_COUNT][FIX_VALUE_SIZE];
  FormatFixRows(fix, 0, values);
  EXPECT_STREQ("S 34 00.000000'", values[FIX_ROW_LATITUDE_DM]);
  EXPECT_STREQ("E 0 30.000000'", values[FIX_ROW_LONGITUDE_DM]);
}

bool Overlap(const Box& a, const Box& b) {
  return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
         b.top < a.top + a.height;
}

bool Inside(const Box& box, int32_t width, int32_t height) {
  return box.left >= 0 && box.top >= 0 && box.left + box.width <= width && box.top + box.height <= height;
}

TEST(monitor_core_test, the_layout_scales_with_the_window_and_nothing_overlaps) {
  int32_t lastPlot = 0;
  const int32_t sizes[][2] = {{MONITOR_MIN_WIDTH, MONITOR_MIN_HEIGHT}, {944, 641}, {1280, 900}, {1900, 1100}};
  for (const auto& size : sizes) {
    MonitorLayout l;
    LayOutMonitor(size[0], size[1], &l);
    const std::string legend = std::to_string(size[0]) + "x" + std::to_string(size[1]);
    const Box parts[] = {l.startStop, l.record, l.skyPlot, l.fixPanel, l.tabs, l.linkLine};
    for (const Box& a : parts) {
      EXPECT_TRUE(Inside(a, size[0], size[1])) << legend;
      for (const Box& b : parts) {
        if (&a != &b) {
          EXPECT_FALSE(Overlap(a, b)) << legend;
        }
      }
    }
    EXPECT_EQ(l.skyPlot.width, l.skyPlot.height) << legend << ": the plot is square";
    EXPECT_GT(l.skyPlot.width, lastPlot) << legend << ": the plot grows with the window";
    EXPECT_GE(l.signalBars.height, 110) << legend;
    // Each page's parts stay inside the page and apart.
    for (const auto& page : {std::vector<Box>{l.sentencePause, l.sentenceTotals, l.sentenceList},
                             std::vector<Box>{l.steadyPlot, l.steadyFigures, l.steadyReset}}) {
      for (const Box& a : page) {
        EXPECT_TRUE(Inside(a, size[0], size[1]) && !Overlap(a, l.fixPanel) && a.top >= l.signalBars.top &&
                    a.top + a.height <= l.signalBars.top + l.signalBars.height)
            << legend;
        for (const Box& b : page) {
          if (&a != &b) {
            EXPECT_FALSE(Overlap(a, b)) << legend;
          }
        }
      }
    }
    EXPECT_EQ(l.steadyPlot.width, l.steadyPlot.height) << legend;
    EXPECT_EQ(l.fixPanel.height, FIX_ROW_COUNT * FIX_ROW_HEIGHT) << legend << ": every fix row shows";
    lastPlot = l.skyPlot.width;
  }
}

TEST(monitor_core_test, the_link_line_says_what_the_receiver_is_doing) {
  LinkView view = {};
  view.link = {GPS_LINK_SEARCHING, 2, 9600, 0};
  view.stats.bytes = 1500;
  view.stats.sentences = 10;
  view.stats.ignored = 2;
  view.stats.checksumErrors = 1;
  const struct {
    int32_t state;
    uint32_t reconnects;
    const char* text;
  } cases[] = {
      {GPS_LINK_SEARCHING, 0, "COM3: searching at 9600 baud | 1500 bytes, 12 sentences, 1 checksum error, 0 reconnections"},
      {GPS_LINK_RECEIVING, 1, "COM3: receiving at 9600 baud | 1500 bytes, 12 sentences, 1 checksum error, 1 reconnection"},
      {GPS_LINK_NO_SENTENCES, 0, "COM3: no sentences at 9600 baud | 1500 bytes, 12 sentences, 1 checksum error, 0 reconnections"},
      {GPS_LINK_DEVICE_LOST, 3, "COM3: device lost - waiting for it | 1500 bytes, 12 sentences, 1 checksum error, 3 reconnections"},
      {GPS_LINK_CLOSED, 0, "Closed"},
  };
  char text[200];
  for (const auto& c : cases) {
    view.link.state = c.state;
    view.link.reconnects = c.reconnects;
    FormatLinkLine(view, text, sizeof text);
    EXPECT_STREQ(c.text, text);
  }
  view.finding = 1;
  view.findElapsedMs = 4200;
  view.portsTried = 0x5;
  FormatLinkLine(view, text, sizeof text);
  EXPECT_STREQ("Looking for a receiver on COM1, COM3 (4 s)", text);
  view.finding = 0;
  view.notFound = 1;
  FormatLinkLine(view, text, sizeof text);
  EXPECT_STREQ("No receiver found: check its power and cable, or pick the port and speed", text);

  view.notFound = 0;
  view.server = "localhost:2947";
  const struct {
    int32_t state;
    uint32_t error;
    const char* text;
  } shared[] = {
      {SERVER_CONNECTING, 0, "server localhost:2947: connecting | 1500 bytes, 12 sentences, 1 checksum error"},
      {SERVER_WAITING, 0, "server localhost:2947: connected, no sentences | 1500 bytes, 12 sentences, 1 checksum error"},
      {SERVER_RECEIVING, 0, "server localhost:2947: receiving | 1500 bytes, 12 sentences, 1 checksum error"},
      {SERVER_RETRYING, 10061,
       "server localhost:2947: no connection (error 10061) - trying again | 1500 bytes, 12 sentences, 1 checksum error"},
      {SERVER_RETRYING, 0,
       "server localhost:2947: the server closed the connection - trying again | 1500 bytes, 12 sentences, 1 checksum "
       "error"},
  };
  for (const auto& c : shared) {
    view.serverState = c.state;
    view.serverError = c.error;
    FormatLinkLine(view, text, sizeof text);
    EXPECT_STREQ(c.text, text);
  }
}

TEST(monitor_core_test, the_server_address_and_the_nmea_lines_of_its_stream) {
  const struct {
    const char* text;
    bool ok;
    const char* host;
    uint16_t port;
  } addresses[] = {
      {"localhost:2947", true, "localhost", 2947}, {"10.0.0.7", true, "10.0.0.7", 2947},
      {"gps.lan:40001", true, "gps.lan", 40001},   {":2947", false, "", 0},
      {"host:0", false, "", 0},                     {"host:65536", false, "", 0},
      {"host:", false, "", 0},                      {"host:12x", false, "", 0},
  };
  for (const auto& a : addresses) {
    char host[SERVER_HOST_SIZE] = "";
    uint16_t port = 0;
    ASSERT_EQ(a.ok, ParseServerAddress(a.text, host, &port)) << a.text;
    if (!a.ok) continue;
    EXPECT_STREQ(a.host, host) << a.text;
    EXPECT_EQ(a.port, port) << a.text;
  }
  // What gpsd sends a client watching with nmea, cut into pieces at every
  // place: the NMEA lines come out whole, the JSON never.
  const std::string stream =
      "{\"class\":\"VERSION\",\"release\":\"3.22\",\"rev\":\"3.22\",\"proto_major\":3,\"proto_minor\":14}\r\n"
      "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/pts/9\"}]}\r\n"
      "$GNRMC,223745.00,A,3806.62964,N,12237.61382,W,0.040,,110720,,,D,V*0E\r\n"
      "{\"class\":\"WATCH\",\"enable\":true,\"json\":false,\"nmea\":true}\r\n"
      "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\n"
      "$GNVTG,,T,,M,0.040,N,0.075,K,D*3E\r\n";
  const std::string expected =
      "$GNRMC,223745.00,A,3806.62964,N,12237.61382,W,0.040,,110720,,,D,V*0E\r\n"
      "!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26\n"
      "$GNVTG,,T,,M,0.040,N,0.075,K,D*3E\r\n";
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    ServerLines lines;
    ServerLinesInit(&lines);
    std::string out(stream.size(), '\0');
    int32_t kept = ServerLinesTake(&lines, stream.data(), static_cast<int32_t>(cut), &out[0]);
    kept += ServerLinesTake(&lines, stream.data() + cut, static_cast<int32_t>(stream.size() - cut), &out[kept]);
    EXPECT_EQ(expected, out.substr(0, static_cast<size_t>(kept))) << "cut at " << cut;
  }
}

TEST(monitor_core_test, command_line_picks_port_speed_and_start) {
  const struct {
    std::vector<const char*> words;
    int32_t result, port;
    uint32_t baud;
    int32_t start;
  } cases[] = {
      {{}, 0, -1, 0, 0},
      {{"--port", "COM3", "--baud", "38400", "--start"}, 0, 2, 38400, 1},
      {{"--port", "com16", "--baud", "auto"}, 0, 15, 0, 0},
      {{"--port", "auto", "--baud", "921600"}, 0, -1, 921600, 0},
      {{"--port", "COM17"}, 1, -1, 0, 0},
      {{"--port", "COM0"}, 1, -1, 0, 0},
      {{"--baud", "12345"}, 1, -1, 0, 0},
      {{"--baud"}, 1, -1, 0, 0},
      {{"--verbose"}, 1, -1, 0, 0},
      {{"--server", "127.0.0.1:40123", "--start"}, 0, MONITOR_PORT_SERVER, 0, 1},
      {{"--server", "host:99999"}, 1, -1, 0, 0},
  };
  for (const auto& c : cases) {
    MonitorOptions options;
    char error[160] = "";
    const int32_t result =
        ParseMonitorOptions(static_cast<int>(c.words.size()), c.words.data(), &options, error, sizeof error);
    std::string legend;
    for (const char* w : c.words) legend += std::string(w) + " ";
    EXPECT_EQ(c.result, result) << legend;
    if (result != 0) {
      EXPECT_NE(std::string(error).find("use --port"), std::string::npos) << legend << error;
      continue;
    }
    EXPECT_EQ(c.port, options.portIndex) << legend;
    EXPECT_EQ(c.baud, options.baudRate) << legend;
    EXPECT_EQ(c.start, options.start) << legend;
    if (c.port == MONITOR_PORT_SERVER) {
      EXPECT_STREQ("127.0.0.1", options.serverHost);
      EXPECT_EQ(40123, options.serverPort);
    }
  }
}

}  // namespace
