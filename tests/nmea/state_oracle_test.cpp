// The navigation state against gpsd's own reading of the same 74 captures:
// after each sentence that gpsd read, every TPV object it printed with a
// position and every SKY object is compared, field by field, with the state
// right after the same sentence (GpsGetFix, GpsGetSky).  The objects are read
// here from chk/ with a small JSON reader of this file's own; nothing is
// shared with the state's code.
//
// gpsd's GST objects are compared whatever sentence came before them, its ATT
// objects where an HDT or THS made them.  The GST values belong to the epoch
// of the GST's time: a receiver that sends its GST first in its cycle
// (PolaRx2) has it in the state from its epoch's first sentence on, where
// gpsd shows it at once (5), and gpsd carries a GST into the next epoch (1).
//
// A value counts as compared when gpsd printed it or the state knows it, and
// as agreed when both have it and they match to gpsd's printed precision.
// Where gpsd fills in what the receiver never sent (a geoid model, speeds
// from successive positions, DOPs from satellite geometry) the state keeps
// what the receiver sent, so full agreement is not the aim: the floor for
// each field is what the rules reach.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "nmea_test_support.h"
#include "oracle_agreement.h"

namespace {

bool Known(double value) { return !std::isnan(value); }

std::string StateTime(const GpsFix& fix) {
  if (fix.year == GPS_UNKNOWN || fix.hours == GPS_UNKNOWN) return "";
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", fix.year, fix.month, fix.day, fix.hours,
                fix.minutes, fix.seconds, fix.milliseconds);
  return text;
}

// The fields, in the order printed, with the agreement the rules reach on
// the 74 captures: what differs is gpsd's own filling in (see the header).
enum Row {
  LATLON, ALT_MSL, ALT_HAE, GEOID_SEP, SPEED, TRACK, MODE, TIME,
  HDOP, PDOP, VDOP, SATELLITES_USED, SIGNALS, ELEVATION_AZIMUTH, SNR, USED,
  GST_RMS, GST_MAJOR, GST_MINOR, GST_ORIENT, GST_LAT, GST_LON, GST_ALT, HEADING, ROW_COUNT
};

struct Table {
  Agreement rows[ROW_COUNT] = {
      {"latitude, longitude", 0, 0, 4824},  {"altitude MSL", 0, 0, 4137},
      {"height above ellipsoid", 0, 0, 3418}, {"geoid separation", 0, 0, 3404},
      {"speed", 0, 0, 3939},                {"track", 0, 0, 3051},
      {"mode", 0, 0, 4637},                 {"time", 0, 0, 4552},
      {"HDOP", 0, 0, 5536},                 {"PDOP", 0, 0, 4170},
      {"VDOP", 0, 0, 4135},                 {"satellites used", 0, 0, 4005},
      {"signals in view", 0, 0, 30649},     {"elevation, azimuth", 0, 0, 29917},
      {"SNR", 0, 0, 21204},                 {"used", 0, 0, 30648},
      {"GST rms", 0, 0, 389},               {"GST semi-major", 0, 0, 363},
      {"GST semi-minor", 0, 0, 365},        {"GST orientation", 0, 0, 363},
      {"GST latitude error", 0, 0, 389},    {"GST longitude error", 0, 0, 389},
      {"GST altitude error", 0, 0, 389},    {"heading", 0, 0, 21},
  };
};

// gpsd prints positions to 9 decimals, altitudes and speeds to 3 or 4, DOPs to 2.
constexpr double DEGREES = 1e-8;
constexpr double METRES = 0.0015;
constexpr double DOP = 0.006;

void CompareTpv(const std::string& tpv, const GpsFix& fix, Table* table) {
  double lat, lon, value;
  if (!JsonNumber(tpv, "lat", &lat) || !JsonNumber(tpv, "lon", &lon)) return;
  Agreement* rows = table->rows;
  ++rows[LATLON].compared;
  if (Known(fix.latitude) && std::fabs(fix.latitude - lat) <= DEGREES && std::fabs(fix.longitude - lon) <= DEGREES)
    ++rows[LATLON].agreed;
  bool has = JsonNumber(tpv, "altMSL", &value);
  Compare(&rows[ALT_MSL], has, value, Known(fix.altitudeMsl), fix.altitudeMsl, METRES);
  has = JsonNumber(tpv, "altHAE", &value);
  Compare(&rows[ALT_HAE], has, value, Known(fix.altitudeHae), fix.altitudeHae, METRES);
  has = JsonNumber(tpv, "geoidSep", &value);
  Compare(&rows[GEOID_SEP], has, value, Known(fix.geoidSeparation), fix.geoidSeparation, METRES);
  has = JsonNumber(tpv, "speed", &value);
  Compare(&rows[SPEED], has, value, Known(fix.speed), fix.speed, METRES);
  has = JsonNumber(tpv, "track", &value);
  Compare(&rows[TRACK], has, value, Known(fix.track), fix.track, 0.00015);
  has = JsonNumber(tpv, "mode", &value);
  Compare(&rows[MODE], has, value, fix.mode != GPS_UNKNOWN, fix.mode, 0);
  std::string time;
  has = JsonString(tpv, "time", &time);
  const std::string stateTime = StateTime(fix);
  if (has || !stateTime.empty()) {
    ++rows[TIME].compared;
    if (time == stateTime) ++rows[TIME].agreed;
  }
}

// gpsd's satellites matched to the sky's by constellation and number, the
// k-th signal of a satellite to the k-th (gpsd numbers signal ids its own
// way).
void CompareSatellites(const std::string& json, const GpsSky& sky, Table* table) {
  Agreement* rows = table->rows;
  std::vector<bool> taken(static_cast<size_t>(sky.signalCount), false);
  for (const std::string& satellite : SatelliteObjects(json)) {
    double gnssid, svid;
    ++rows[SIGNALS].compared;
    if (!JsonNumber(satellite, "gnssid", &gnssid) || !JsonNumber(satellite, "svid", &svid)) continue;
    const GpsSignal* match = nullptr;
    for (int32_t i = 0; i < sky.signalCount && match == nullptr; ++i) {
      const GpsSignal& s = sky.signals[i];
      if (!taken[static_cast<size_t>(i)] && s.constellation == gnssid && s.svid == svid) {
        taken[static_cast<size_t>(i)] = true;
        match = &s;
      }
    }
    if (match == nullptr) continue;
    ++rows[SIGNALS].agreed;
    double el, az, ss;
    if (JsonNumber(satellite, "el", &el) && JsonNumber(satellite, "az", &az)) {
      ++rows[ELEVATION_AZIMUTH].compared;
      if (match->elevation == el && match->azimuth == az) ++rows[ELEVATION_AZIMUTH].agreed;
    }
    if (JsonNumber(satellite, "ss", &ss)) {
      ++rows[SNR].compared;
      if (match->snr == ss) ++rows[SNR].agreed;
    }
    ++rows[USED].compared;
    const bool used = satellite.find("\"used\":true") != std::string::npos;
    if ((match->used != 0) == used) ++rows[USED].agreed;
  }
}

void CompareSky(const std::string& json, const GpsFix& fix, const GpsSky& sky, Table* table) {
  Agreement* rows = table->rows;
  double value;
  bool has = JsonNumber(json, "hdop", &value);
  Compare(&rows[HDOP], has, value, Known(fix.hdop), fix.hdop, DOP);
  has = JsonNumber(json, "pdop", &value);
  Compare(&rows[PDOP], has, value, Known(fix.pdop), fix.pdop, DOP);
  has = JsonNumber(json, "vdop", &value);
  Compare(&rows[VDOP], has, value, Known(fix.vdop), fix.vdop, DOP);
  // Without a satellite list gpsd's uSat is the receiver's count.
  if (json.find("\"satellites\":[") == std::string::npos) {
    if (JsonNumber(json, "uSat", &value)) {
      ++rows[SATELLITES_USED].compared;
      if (fix.satellitesUsed == value) ++rows[SATELLITES_USED].agreed;
    }
    return;
  }
  CompareSatellites(json, sky, table);
}

// gpsd's ATT objects that an HDT or THS made: its others come from
// proprietary sentences the state does not read.
bool IsType(const std::string& sentence, const char* type) {
  return sentence.size() > 6 && sentence.compare(3, 3, type) == 0;
}

void CompareGst(const std::string& json, const GpsFix& fix, Table* table) {
  struct Value {
    const char* name;
    double state;
  };
  const Value values[] = {{"rms", fix.rangeRms},       {"major", fix.errorMajor},    {"minor", fix.errorMinor},
                          {"orient", fix.errorOrientation}, {"lat", fix.latitudeError}, {"lon", fix.longitudeError},
                          {"alt", fix.altitudeError}};
  for (int32_t i = 0; i < 7; ++i) {
    double value;
    const bool has = JsonNumber(json, values[i].name, &value);
    Compare(&table->rows[GST_RMS + i], has, value, Known(values[i].state), values[i].state, METRES);
  }
}

void CompareAtt(const std::string& json, const GpsFix& fix, Table* table) {
  double value;
  const bool has = JsonNumber(json, "heading", &value);
  Compare(&table->rows[HEADING], has, value, Known(fix.heading), fix.heading, METRES);
}

TEST(state_oracle_test, fix_and_sky_agree_with_gpsd_at_least_as_the_rules_do) {
  const std::vector<CorpusFile> decodings = ReadGpsdDecodings();
  ASSERT_EQ(decodings.size(), 74u) << "gpsd decodings not found in " << ORVO_CORPUS_DIR "/chk";
  static Table table;
  static GpsFix fix;
  static GpsSky sky;
  for (const CorpusFile& decoding : decodings) {
    GpsContext* context = FreshContext();
    std::string sentence;
    for (const std::string& line : Lines(decoding.bytes)) {
      if (line.empty()) continue;
      if (line[0] == '$') {
        sentence = line;
        FeedBytes(context, line + "\r\n");
        ASSERT_EQ(GpsGetFix(context, &fix), 0);
        ASSERT_EQ(GpsGetSky(context, &sky), 0);
      } else if (IsClass(line, "TPV")) {
        CompareTpv(line, fix, &table);
      } else if (IsClass(line, "SKY")) {
        CompareSky(line, fix, sky, &table);
      } else if (IsClass(line, "GST")) {
        CompareGst(line, fix, &table);
      } else if (IsClass(line, "ATT") && (IsType(sentence, "HDT") || IsType(sentence, "THS"))) {
        CompareAtt(line, fix, &table);
      }
    }
  }
  ExpectAgreement(table.rows, ROW_COUNT);
}

}  // namespace
