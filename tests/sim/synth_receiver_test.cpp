#include "synth_receiver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "decode_support.h"
#include "sentence_writer.h"

namespace {

constexpr double kLat = 48.1173;
constexpr double kLon = 11.516667;
constexpr int64_t kUtc = 1419995239;  // 2014-12-31 03:07:19

std::string Join(const std::vector<std::string>& sentences) {
  std::string all;
  for (const std::string& s : sentences) all += s;
  return all;
}

double DistanceMetres(const TrackPoint& a, const TrackPoint& b) {
  const double north = (b.latitude - a.latitude) * 111320.0;
  const double east = (b.longitude - a.longitude) * 111320.0 * std::cos(a.latitude * M_PI / 180.0);
  return std::hypot(north, east);
}

// "4807.0380,N" as the framer's decoders give it back.
std::string AngleText(const GeoAngle& a, int degreeDigits, char hemisphere) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*d%02d.%04d,%c", degreeDigits, a.degrees, a.minutes,
                a.fraction, hemisphere);
  return text;
}

}  // namespace

TEST(synth_receiver_test, one_cycle_decodes_to_the_expected_sentence_mix) {
  const std::vector<std::string> cycle = SynthesizeCycle(kLat, kLon, 0, kUtc);
  const std::vector<DecodedSentence> decoded = DecodeStream(Join(cycle));
  ASSERT_EQ(decoded.size(), cycle.size()) << "every sentence must pass the checksum";
  EXPECT_EQ(CountOfType(decoded, SENTENCE_GGA), 1);
  EXPECT_EQ(CountOfType(decoded, SENTENCE_GSA), 1);
  EXPECT_EQ(CountOfType(decoded, SENTENCE_RMC), 1);
  EXPECT_EQ(CountOfType(decoded, SENTENCE_GLL), 1);
  EXPECT_EQ(CountOfType(decoded, SENTENCE_VTG), 1);

  const int gsvCount = CountOfType(decoded, SENTENCE_GSV);
  int gsvSeen = 0;
  int satellitesListed = 0;
  for (const DecodedSentence& d : decoded) {
    if (d.type != SENTENCE_GSV) continue;
    ++gsvSeen;
    EXPECT_EQ(d.gsv.messageCount, gsvCount);
    EXPECT_EQ(d.gsv.messageNumber, gsvSeen);
    EXPECT_EQ(d.gsv.satellitesInView, static_cast<int>(SatellitesInView(0).size()));
    satellitesListed += d.gsv.satelliteCount;
  }
  EXPECT_EQ(satellitesListed, static_cast<int>(SatellitesInView(0).size()));

  const std::vector<SentenceType> order = {SENTENCE_GGA, SENTENCE_GSA, SENTENCE_GSV};
  for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(decoded[i].type, order[i]) << i;
  EXPECT_EQ(decoded[decoded.size() - 3].type, SENTENCE_RMC);
  EXPECT_EQ(decoded[decoded.size() - 2].type, SENTENCE_GLL);
  EXPECT_EQ(decoded[decoded.size() - 1].type, SENTENCE_VTG);
}

TEST(synth_receiver_test, fields_decode_to_the_cycle_time_and_track_position) {
  const int64_t elapsed = 250;
  const TrackPoint p = TrackAt(-37.7848, 175.3149, elapsed);
  const std::vector<DecodedSentence> decoded =
      DecodeStream(Join(SynthesizeCycle(-37.7848, 175.3149, elapsed, kUtc)));
  for (const DecodedSentence& d : decoded) {
    if (d.type == SENTENCE_GGA) {
      EXPECT_EQ(d.gga.time.hours, 3);
      EXPECT_EQ(d.gga.time.minutes, 7);
      EXPECT_EQ(d.gga.time.seconds, 19);
      EXPECT_EQ(AngleText(d.gga.latitude, 2, d.gga.latHemisphere), FormatLatitude(p.latitude));
      EXPECT_EQ(AngleText(d.gga.longitude, 3, d.gga.lonHemisphere), FormatLongitude(p.longitude));
      EXPECT_EQ(d.gga.latHemisphere, 'S');
      EXPECT_EQ(d.gga.fixQuality, 1);
      EXPECT_EQ(d.gga.satellitesUsed, static_cast<int>(SatellitesUsed(SatellitesInView(elapsed)).size()));
      EXPECT_NEAR(d.gga.altitude, p.altitudeMetres, 0.06);
      EXPECT_GT(d.gga.hdop, 0.5f);
    }
    if (d.type == SENTENCE_RMC) {
      EXPECT_EQ(d.rmc.status, 'A');
      EXPECT_EQ(d.rmc.date.day, 31);
      EXPECT_EQ(d.rmc.date.month, 12);
      EXPECT_EQ(d.rmc.date.year, 14);
      EXPECT_EQ(d.rmc.time.seconds, 19);
      EXPECT_EQ(AngleText(d.rmc.latitude, 2, d.rmc.latHemisphere), FormatLatitude(p.latitude));
      EXPECT_NEAR(d.rmc.speedKnots, p.speedKnots, 0.06);
      EXPECT_NEAR(d.rmc.courseTrue, p.courseDegrees, 0.06);
      EXPECT_EQ(d.rmc.modeIndicator, 'A');
    }
    if (d.type == SENTENCE_GLL) {
      EXPECT_EQ(AngleText(d.gll.longitude, 3, d.gll.lonHemisphere), FormatLongitude(p.longitude));
      EXPECT_EQ(d.gll.time.minutes, 7);
      EXPECT_EQ(d.gll.status, 'A');
    }
    if (d.type == SENTENCE_VTG) {
      EXPECT_NEAR(d.vtg.courseTrue, p.courseDegrees, 0.06);
      EXPECT_NEAR(d.vtg.speedKmh, p.speedKnots * 1.852, 0.06);
      EXPECT_EQ(d.vtg.speedKmhUnit, 'K');
    }
  }
}

TEST(synth_receiver_test, every_cycle_of_a_day_is_valid_and_fits_one_second_at_4800_baud) {
  for (int64_t t = 0; t < 86400; t += 37) {
    const std::vector<std::string> cycle = SynthesizeCycle(kLat, kLon, t, kUtc + t);
    const std::string all = Join(cycle);
    ASSERT_EQ(DecodeStream(all).size(), cycle.size()) << "t=" << t;
    // 4800 baud carries 480 bytes a second; leave room for the line's slack.
    ASSERT_LE(all.size(), 470u) << "t=" << t;
    for (const std::string& s : cycle) ASSERT_LE(s.size(), 82u) << s;  // NMEA's line limit
    const size_t used = SatellitesUsed(SatellitesInView(static_cast<double>(t))).size();
    ASSERT_GE(used, 4u) << "a 3D fix needs four satellites, t=" << t;
  }
}

TEST(synth_receiver_test, track_moves_at_its_speed_along_its_course_and_stays_near_the_start) {
  const TrackPoint start = TrackAt(kLat, kLon, 0);
  EXPECT_NEAR(start.latitude, kLat, 1e-9);
  EXPECT_NEAR(start.longitude, kLon, 1e-9);
  for (int t = 0; t < 3600; t += 7) {
    const TrackPoint a = TrackAt(kLat, kLon, t);
    const TrackPoint b = TrackAt(kLat, kLon, t + 1);
    EXPECT_NEAR(DistanceMetres(a, b), 5.0, 0.05) << t;
    const double bearing =
        std::atan2((b.longitude - a.longitude) * std::cos(a.latitude * M_PI / 180.0),
                   b.latitude - a.latitude) * 180.0 / M_PI;
    const double diff = std::remainder(bearing - a.courseDegrees, 360.0);
    EXPECT_LT(std::fabs(diff), 1.0) << "course disagrees with the motion at t=" << t;
    EXPECT_LE(DistanceMetres(start, a), 1000.5) << t;
  }
}

TEST(synth_receiver_test, longitude_wraps_at_the_antimeridian) {
  const TrackPoint p = TrackAt(-16.0, 179.9999, 60);
  EXPECT_LT(p.longitude, -179.99);
  EXPECT_EQ(FormatLongitude(p.longitude).back(), 'W');
}

TEST(synth_receiver_test, satellites_move_across_the_sky) {
  const std::vector<SatelliteView> now = SatellitesInView(0);
  const std::vector<SatelliteView> later = SatellitesInView(60);
  int elevationsChanged = 0;
  int azimuthsChanged = 0;
  for (const SatelliteView& a : now) {
    for (const SatelliteView& b : later) {
      if (a.prn != b.prn) continue;
      elevationsChanged += a.elevation != b.elevation;
      azimuthsChanged += a.azimuth != b.azimuth;
    }
  }
  EXPECT_GT(elevationsChanged, 0);
  EXPECT_GT(azimuthsChanged, 0);

  std::set<int> seenInADay;
  for (int t = 0; t < 86400; t += 60) {
    std::set<int> prns;
    for (const SatelliteView& s : SatellitesInView(t)) {
      EXPECT_GE(s.elevation, 5);
      EXPECT_LE(s.elevation, 90);
      EXPECT_GE(s.azimuth, 0);
      EXPECT_LT(s.azimuth, 360);
      EXPECT_TRUE(prns.insert(s.prn).second) << "PRN listed twice: " << s.prn;
      seenInADay.insert(s.prn);
    }
  }
  EXPECT_EQ(seenInADay.size(), 12u) << "every satellite rises at some point";
}
