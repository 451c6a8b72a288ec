// nmea-decode --gpsd against gpsd 3.22 itself: what gpsd sent a client
// watching with json while it replayed each of the 74 captures
// (tests/data/captures/gpsd, made by tools/gpsd-reference.sh) and what
// nmea-decode prints for the same capture, the objects the server sends.
//
// Epochs are paired by their time of day, in order: each of our TPVs with
// the last of gpsd's TPVs of that time (gpsd sends one per sentence until it
// has learned the receiver's cycle); each of our SKYs with the last SKY with
// satellites that gpsd sent before that TPV.  Epochs without a time (no date
// in the capture) cannot be paired and are not compared.  The TPV's fields
// and each satellite are then compared as the state oracle does: counted
// when either side has the value, agreed when both have it and they match to
// the printed precision.  Full agreement is not the aim: each field is held
// to the figure the library reaches, and what differs is, by field:
// - time: gpsd moves the dates of many older captures on by 1024 weeks
//   (2016-04-07 becomes 2035-11-22); the times of day agree.
// - mode, position: gpsd keeps 3D after the receiver says 2D, or says no
//   fix where the receiver's sentences give one; one receiver sends three
//   positions with one time (RMC, GGA, GLL) and gpsd shows the last.
// - height above the ellipsoid, speed, track: gpsd fills in a geoid model,
//   speeds from successive positions and a true track from a magnetic one.
// - satellites: for some receivers gpsd 3.22's last SKY before its TPV
//   holds only the constellations of the last GSV groups (ours holds every
//   one of the cycle), or a sky of another point of the cycle (SNR, used);
//   it reads some GSAs' used sets otherwise; it writes 0 for an elevation,
//   azimuth or SNR the receiver left empty (not compared) and keeps an SBAS
//   number as sent (136 where ours is gpsd's NMEA numbering, 49).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "oracle_agreement.h"

namespace {

// What nmea-decode --gpsd prints for a capture, as text.
std::string DecodeAsServer(const std::string& capture) {
  const std::string command = std::string("'") + ORVO_NMEA_DECODE + "' --gpsd '" + ORVO_CORPUS_DIR "/" + capture + "'";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return "";
  std::string text;
  char block[1 << 16];
  size_t count;
  while ((count = std::fread(block, 1, sizeof block, pipe)) > 0) text.append(block, count);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return text;
}

// "12:02:13.000Z" of "2022-07-31T12:02:13.000Z".
std::string TimeOfDay(const std::string& object) {
  std::string time;
  if (!JsonString(object, "time", &time) || time.size() < 13) return "";
  return time.substr(time.size() - 13);
}

enum Row { MODE, TIME, LATLON, ALT_MSL, ALT_HAE, SPEED, TRACK, SATELLITES, PRN, ELEVATION, AZIMUTH, SNR, USED,
           ROW_COUNT };

struct Table {
  Agreement rows[ROW_COUNT] = {
      {"mode", 0, 0, 1590},          {"time", 0, 0, 997},
      {"latitude, longitude", 0, 0, 1436}, {"altitude MSL", 0, 0, 1303},
      {"height above ellipsoid", 0, 0, 1181}, {"speed", 0, 0, 1345},
      {"track", 0, 0, 1020},         {"satellites", 0, 0, 20664},
      {"PRN", 0, 0, 20660},          {"elevation", 0, 0, 20363},
      {"azimuth", 0, 0, 20357},      {"SNR", 0, 0, 14229},
      {"used", 0, 0, 19305},
  };
  int epochs = 0;
  int paired = 0;
};

// Both print positions to 9 decimals, altitudes and track to 4, speed to 3.
constexpr double DEGREES = 1.5e-9;
constexpr double METRES = 0.00015;
constexpr double SPEED_MS = 0.0015;

void CompareNumber(Agreement* row, const std::string& gpsd, const std::string& ours, const char* name,
                   double tolerance) {
  double a = 0, b = 0;
  const bool gpsdHas = JsonNumber(gpsd, name, &a);
  const bool oursHas = JsonNumber(ours, name, &b);
  Compare(row, gpsdHas, a, oursHas, b, tolerance);
}

void CompareTpv(const std::string& gpsd, const std::string& ours, Table* table) {
  Agreement* rows = table->rows;
  CompareNumber(&rows[MODE], gpsd, ours, "mode", 0);
  std::string gpsdTime, ourTime;
  const bool gpsdHas = JsonString(gpsd, "time", &gpsdTime);
  const bool oursHas = JsonString(ours, "time", &ourTime);
  if (gpsdHas || oursHas) {
    ++rows[TIME].compared;
    if (gpsdTime == ourTime) ++rows[TIME].agreed;
  }
  double gpsdLat = 0, gpsdLon = 0, ourLat = 0, ourLon = 0;
  const bool gpsdPosition = JsonNumber(gpsd, "lat", &gpsdLat) && JsonNumber(gpsd, "lon", &gpsdLon);
  const bool ourPosition = JsonNumber(ours, "lat", &ourLat) && JsonNumber(ours, "lon", &ourLon);
  // Both coordinates or neither: the worse of the two differences.
  const double worse = std::fmax(std::fabs(gpsdLat - ourLat), std::fabs(gpsdLon - ourLon));
  Compare(&rows[LATLON], gpsdPosition, 0, ourPosition, worse, DEGREES);
  CompareNumber(&rows[ALT_MSL], gpsd, ours, "altMSL", METRES);
  CompareNumber(&rows[ALT_HAE], gpsd, ours, "altHAE", METRES);
  CompareNumber(&rows[SPEED], gpsd, ours, "speed", SPEED_MS);
  CompareNumber(&rows[TRACK], gpsd, ours, "track", METRES);
}

// gpsd writes 0 for an elevation, azimuth or SNR the receiver left empty,
// where ours leaves the key out: such a value is not compared.
void CompareSent(Agreement* row, const std::string& gpsd, const std::string& ours, const char* name) {
  double gpsdValue, ourValue;
  if (JsonNumber(gpsd, name, &gpsdValue) && gpsdValue == 0 && !JsonNumber(ours, name, &ourValue)) return;
  CompareNumber(row, gpsd, ours, name, 0);
}

// Satellites matched by constellation and number, the k-th of a satellite's
// signals to the k-th.
void CompareSky(const std::string& gpsd, const std::string& ours, Table* table) {
  Agreement* rows = table->rows;
  const std::vector<std::string> ourSatellites = SatelliteObjects(ours);
  std::vector<bool> taken(ourSatellites.size(), false);
  for (const std::string& satellite : SatelliteObjects(gpsd)) {
    ++rows[SATELLITES].compared;
    double gnssid = -1, svid = -1;
    if (!JsonNumber(satellite, "gnssid", &gnssid) || !JsonNumber(satellite, "svid", &svid)) continue;
    const std::string* match = nullptr;
    for (size_t i = 0; i < ourSatellites.size() && match == nullptr; ++i) {
      double g, s;
      if (!taken[i] && JsonNumber(ourSatellites[i], "gnssid", &g) && JsonNumber(ourSatellites[i], "svid", &s) &&
          g == gnssid && s == svid) {
        taken[i] = true;
        match = &ourSatellites[i];
      }
    }
    if (match == nullptr) continue;
    ++rows[SATELLITES].agreed;
    CompareNumber(&rows[PRN], satellite, *match, "PRN", 0);
    CompareSent(&rows[ELEVATION], satellite, *match, "el");
    CompareSent(&rows[AZIMUTH], satellite, *match, "az");
    CompareSent(&rows[SNR], satellite, *match, "ss");
    ++rows[USED].compared;
    const bool used = satellite.find("\"used\":true") != std::string::npos;
    if ((match->find("\"used\":true") != std::string::npos) == used) ++rows[USED].agreed;
  }
  for (size_t i = 0; i < ourSatellites.size(); ++i)
    if (!taken[i]) ++rows[SATELLITES].compared;
}

void CompareCapture(const std::string& gpsdText, const std::string& ourText, Table* table) {
  const std::vector<std::string> gpsd = Lines(gpsdText);
  const std::vector<std::string> ours = Lines(ourText);
  size_t next = 0;  // gpsd's objects before it are paired already
  for (size_t i = 0; i + 1 < ours.size(); ++i) {
    if (!IsClass(ours[i], "TPV")) continue;
    ++table->epochs;
    const std::string time = TimeOfDay(ours[i]);
    if (time.empty()) continue;
    size_t tpv = gpsd.size();
    for (size_t j = next; j < gpsd.size(); ++j) {
      const bool same = IsClass(gpsd[j], "TPV") && TimeOfDay(gpsd[j]) == time;
      if (same) tpv = j;
      else if (tpv != gpsd.size() && IsClass(gpsd[j], "TPV")) break;
    }
    if (tpv == gpsd.size()) continue;
    ++table->paired;
    CompareTpv(gpsd[tpv], ours[i], table);
    for (size_t j = tpv; j-- > 0;) {
      if (IsClass(gpsd[j], "SKY") && gpsd[j].find("\"satellites\":[") != std::string::npos) {
        CompareSky(gpsd[j], ours[i + 1], table);
        break;
      }
    }
    next = tpv + 1;
  }
}

TEST(gpsd_oracle_test, server_objects_agree_with_gpsd_at_least_as_the_rules_do) {
  const std::vector<CorpusFile> watches = ReadGpsdWatches();
  ASSERT_EQ(watches.size(), 74u) << "gpsd's output not found in " << ORVO_CORPUS_DIR "/gpsd";
  static Table table;
  for (const CorpusFile& watch : watches) {
    const std::string capture = watch.name.substr(0, watch.name.size() - std::string(".jsonl").size());
    CompareCapture(watch.bytes, DecodeAsServer(capture), &table);
  }
  std::printf("epochs %d, paired with gpsd's %d\n", table.epochs, table.paired);
  EXPECT_GE(table.paired, 1674) << "of " << table.epochs;
  ExpectAgreement(table.rows, ROW_COUNT);
}

}  // namespace
