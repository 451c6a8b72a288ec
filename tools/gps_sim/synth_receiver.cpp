#include "synth_receiver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sentence_writer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111320.0;
constexpr double kKnotsPerMetrePerSecond = 3600.0 / 1852.0;

// A car circling a 500 m radius ring road at 18 km/h: the position visibly
// changes every second and never wanders far from the start point.
constexpr double kTrackRadiusMetres = 500.0;
constexpr double kTrackSpeedMetresPerSecond = 5.0;

// Twelve satellites whose elevations follow one 30-minute wave with evenly
// spread phases: six to eight stay above the horizon at any moment, enough
// for a 3D fix and few enough that a whole cycle fits in one second at 4800
// baud.
constexpr int kSatelliteCount = 12;
constexpr double kElevationPeriodSeconds = 1800.0;
constexpr int kHorizonDegrees = 5;   // lower satellites are not in view
constexpr int kMaskDegrees = 10;     // lower satellites are not used in the fix

struct Orbit {
  int prn;
  double startAzimuth;
  double azimuthDegreesPerSecond;
};

constexpr Orbit kOrbits[kSatelliteCount] = {
    {2, 40.0, 0.020},   {5, 310.0, -0.015}, {7, 120.0, 0.030},  {9, 200.0, -0.025},
    {12, 75.0, 0.010},  {15, 260.0, 0.035}, {18, 160.0, -0.030}, {21, 15.0, 0.025},
    {24, 230.0, -0.010}, {26, 95.0, 0.015}, {29, 340.0, -0.020}, {31, 185.0, 0.040},
};

double Wrap360(double degrees) {
  const double wrapped = std::fmod(degrees, 360.0);
  return wrapped < 0 ? wrapped + 360.0 : wrapped;
}

double WrapLongitude(double degrees) {
  return Wrap360(degrees + 180.0) - 180.0;
}

std::string Printf(const char* format, double a, double b = 0, double c = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

// $GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*47
std::string Gga(const TrackPoint& p, int64_t utc, int used, double hdop) {
  char fields[64];
  std::snprintf(fields, sizeof fields, ",1,%02d,%.1f,%.1f,M,46.9,M,,", used, hdop,
                p.altitudeMetres);
  return NmeaFrame("GPGGA," + FormatUtcTime(utc) + "," + FormatLatitude(p.latitude) + "," +
                   FormatLongitude(p.longitude) + fields);
}

// $GPGSA,A,3,02,07,12,18,21,26,,,,,,,1.9,1.1,1.5*3C
std::string Gsa(const std::vector<SatelliteView>& used, double hdop) {
  std::string body = "GPGSA,A,3,";
  for (int slot = 0; slot < 12; ++slot) {
    if (slot < static_cast<int>(used.size())) {
      char prn[8];
      std::snprintf(prn, sizeof prn, "%02d", used[slot].prn);
      body += prn;
    }
    body += ",";
  }
  const double pdop = hdop * 1.7;
  const double vdop = std::sqrt(pdop * pdop - hdop * hdop);
  body += Printf("%.1f,%.1f,%.1f", pdop, hdop, vdop);
  return NmeaFrame(body);
}

// $GPGSV,2,1,07,02,45,123,40,05,30,200,38,07,60,045,42,09,12,300,30*7B
// The last message carries only the satellites left over, as most receivers
// send it, rather than padding with empty groups.
std::vector<std::string> Gsv(const std::vector<SatelliteView>& view) {
  const int total = static_cast<int>(view.size());
  const int messages = total == 0 ? 1 : (total + 3) / 4;
  std::vector<std::string> sentences;
  for (int m = 0; m < messages; ++m) {
    char head[32];
    std::snprintf(head, sizeof head, "GPGSV,%d,%d,%02d", messages, m + 1, total);
    std::string body = head;
    for (int i = m * 4; i < total && i < m * 4 + 4; ++i) {
      char group[32];
      std::snprintf(group, sizeof group, ",%02d,%02d,%03d,%02d", view[i].prn, view[i].elevation,
                    view[i].azimuth, view[i].snr);
      body += group;
    }
    sentences.push_back(NmeaFrame(body));
  }
  return sentences;
}

// $GPRMC,123519.00,A,4807.0380,N,01131.0000,E,9.7,090.0,230394,,,A*6A
std::string Rmc(const TrackPoint& p, int64_t utc) {
  return NmeaFrame("GPRMC," + FormatUtcTime(utc) + ",A," + FormatLatitude(p.latitude) + "," +
                   FormatLongitude(p.longitude) +
                   Printf(",%.1f,%05.1f,", p.speedKnots, p.courseDegrees) + FormatUtcDate(utc) +
                   ",,,A");
}

// $GPGLL,4807.0380,N,01131.0000,E,123519.00,A,A*6B
std::string Gll(const TrackPoint& p, int64_t utc) {
  return NmeaFrame("GPGLL," + FormatLatitude(p.latitude) + "," + FormatLongitude(p.longitude) +
                   "," + FormatUtcTime(utc) + ",A,A");
}

// $GPVTG,090.0,T,,M,9.7,N,18.0,K,A*0C
std::string Vtg(const TrackPoint& p) {
  return NmeaFrame("GPVTG," + Printf("%05.1f,T,,M,%.1f,N,%.1f,K,A", p.courseDegrees,
                                     p.speedKnots, p.speedKnots * 1.852));
}

}  // namespace

TrackPoint TrackAt(double startLatitude, double startLongitude, double elapsedSeconds) {
  // Clockwise round a circle whose centre lies due south of the start, so the
  // receiver sets off heading east.
  const double angle = kTrackSpeedMetresPerSecond * elapsedSeconds / kTrackRadiusMetres;
  const double east = kTrackRadiusMetres * std::sin(angle);
  const double north = kTrackRadiusMetres * (std::cos(angle) - 1.0);
  const double latitude = startLatitude + north / kMetresPerDegree;
  const double metresPerDegreeEast = kMetresPerDegree * std::cos(latitude * kPi / 180.0);
  TrackPoint p{};
  p.latitude = latitude;
  p.longitude = WrapLongitude(startLongitude + east / metresPerDegreeEast);
  p.courseDegrees = Wrap360(90.0 + angle * 180.0 / kPi);
  p.speedKnots = kTrackSpeedMetresPerSecond * kKnotsPerMetrePerSecond;
  p.altitudeMetres = 545.4 + 3.0 * std::sin(2.0 * kPi * elapsedSeconds / 600.0);
  return p;
}

std::vector<SatelliteView> SatellitesInView(double elapsedSeconds) {
  std::vector<SatelliteView> view;
  for (int i = 0; i < kSatelliteCount; ++i) {
    const double phase = 2.0 * kPi * (i / double(kSatelliteCount) +
                                      elapsedSeconds / kElevationPeriodSeconds);
    const int elevation = static_cast<int>(std::lround(20.0 + 65.0 * std::sin(phase)));
    if (elevation < kHorizonDegrees) continue;
    const Orbit& orbit = kOrbits[i];
    const int azimuth = static_cast<int>(
        std::lround(Wrap360(orbit.startAzimuth + orbit.azimuthDegreesPerSecond * elapsedSeconds))) %
                        360;
    view.push_back({orbit.prn, elevation, azimuth, 22 + elevation * 3 / 10 + orbit.prn % 5});
  }
  return view;
}

std::vector<SatelliteView> SatellitesUsed(const std::vector<SatelliteView>& view) {
  std::vector<SatelliteView> used;
  for (const SatelliteView& s : view) {
    if (s.elevation >= kMaskDegrees && used.size() < 12) used.push_back(s);
  }
  return used;
}

std::vector<std::string> SynthesizeCycle(double startLatitude, double startLongitude,
                                         int64_t elapsedSeconds, int64_t utcSeconds) {
  const double t = static_cast<double>(elapsedSeconds);
  const TrackPoint p = TrackAt(startLatitude, startLongitude, t);
  const std::vector<SatelliteView> view = SatellitesInView(t);
  const std::vector<SatelliteView> used = SatellitesUsed(view);
  // Fewer satellites spread over the sky give a weaker geometry.
  const double hdop = 0.6 + 3.5 / static_cast<double>(std::max<size_t>(used.size(), 1));

  std::vector<std::string> cycle;
  cycle.push_back(Gga(p, utcSeconds, static_cast<int>(used.size()), hdop));
  cycle.push_back(Gsa(used, hdop));
  for (std::string& s : Gsv(view)) cycle.push_back(std::move(s));
  cycle.push_back(Rmc(p, utcSeconds));
  cycle.push_back(Gll(p, utcSeconds));
  cycle.push_back(Vtg(p));
  return cycle;
}
