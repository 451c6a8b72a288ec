#include "monitor/steadiness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double PI = 3.14159265358979323846;
// WGS 84.
constexpr double SEMI_MAJOR_AXIS = 6378137.0;
constexpr double FLATTENING = 1 / 298.257223563;
constexpr double E2 = FLATTENING * (2 - FLATTENING);

// The smallest distance that at least share of the sorted distances lie
// within.
double NearestRank(const double* sorted, int32_t count, double share) {
  int32_t rank = static_cast<int32_t>(std::ceil(share * count));
  rank = std::min(std::max(rank, 1), count);
  return sorted[rank - 1];
}

const SteadyPoint& PointAt(const Steadiness& s, int32_t i) { return s.points[(s.first + i) % STEADY_POINTS]; }

}  // namespace

void SteadinessReset(Steadiness* steadiness) {
  steadiness->first = 0;
  steadiness->count = 0;
}

bool SteadinessAdd(Steadiness* steadiness, const GpsFix& fix) {
  if (fix.mode != GPS_MODE_2D && fix.mode != GPS_MODE_3D) return false;
  if (std::isnan(fix.latitude) || std::isnan(fix.longitude)) return false;
  SteadyPoint* point;
  if (steadiness->count < STEADY_POINTS) {
    point = &steadiness->points[(steadiness->first + steadiness->count++) % STEADY_POINTS];
  } else {
    point = &steadiness->points[steadiness->first];
    steadiness->first = (steadiness->first + 1) % STEADY_POINTS;
  }
  *point = {fix.latitude, fix.longitude, fix.mode == GPS_MODE_3D ? fix.altitudeMsl : NAN};
  return true;
}

void SteadinessMeasure(const Steadiness& s, SteadyFigures* figures, SteadyDot* dots) {
  *figures = {s.count, 0, NAN, NAN, NAN, NAN};
  if (s.count == 0) return;
  // The mean of the angles, summed as offsets from the oldest point so that
  // metres keep their digits: the points lie metres apart, far from the
  // poles and the date line for any receiver that is standing still.
  const SteadyPoint& origin = PointAt(s, 0);
  double latitude = 0, longitude = 0, altitude = 0;
  for (int32_t i = 0; i < s.count; ++i) {
    const SteadyPoint& p = PointAt(s, i);
    latitude += p.latitude - origin.latitude;
    longitude += p.longitude - origin.longitude;
    if (!std::isnan(p.altitude)) {
      altitude += p.altitude;
      ++figures->altitudes;
    }
  }
  const double northOffset = latitude / s.count;  // the mean's, from the origin
  const double eastOffset = longitude / s.count;
  latitude = origin.latitude + northOffset;
  // Metres per radian north and east there: the ellipsoid's radii of
  // curvature in the meridian and across it.
  const double sine = std::sin(latitude * PI / 180);
  const double across = SEMI_MAJOR_AXIS / std::sqrt(1 - E2 * sine * sine);
  const double meridian = across * (1 - E2) / (1 - E2 * sine * sine);
  const double eastScale = across * std::cos(latitude * PI / 180) * PI / 180;
  const double northScale = meridian * PI / 180;

  static double distances[STEADY_POINTS];
  double squares = 0, altitudeSquares = 0;
  const double altitudeMean = figures->altitudes > 0 ? altitude / figures->altitudes : NAN;
  for (int32_t i = 0; i < s.count; ++i) {
    const SteadyPoint& p = PointAt(s, i);
    const SteadyDot dot = {((p.longitude - origin.longitude) - eastOffset) * eastScale,
                           ((p.latitude - origin.latitude) - northOffset) * northScale};
    if (dots) dots[i] = dot;
    const double squared = dot.east * dot.east + dot.north * dot.north;
    squares += squared;
    distances[i] = std::sqrt(squared);
    if (!std::isnan(p.altitude)) altitudeSquares += (p.altitude - altitudeMean) * (p.altitude - altitudeMean);
  }
  std::sort(distances, distances + s.count);
  figures->cep50 = NearestRank(distances, s.count, 0.50);
  figures->cep95 = NearestRank(distances, s.count, 0.95);
  figures->drms2 = 2 * std::sqrt(squares / s.count);
  if (figures->altitudes >= 2) figures->altitudeSd = std::sqrt(altitudeSquares / figures->altitudes);
}

void FormatSteadyFigures(const SteadyFigures& f, char* text, int32_t size) {
  const struct {
    const char* name;
    double value;
  } rows[] = {{"CEP50", f.cep50}, {"CEP95", f.cep95}, {"2DRMS", f.drms2}, {"Altitude SD", f.altitudeSd}};
  int32_t used = 0;
  for (const auto& row : rows) {
    char value[32] = "-";
    if (!std::isnan(row.value)) std::snprintf(value, sizeof value, "%.2f m", row.value);
    const int n = std::snprintf(text + used, static_cast<size_t>(size - used), "%-12s %s\r\n", row.name, value);
    if (n < 0 || n >= size - used) return;
    used += n;
  }
  std::snprintf(text + used, static_cast<size_t>(size - used), "%-12s %d of %d", "Points", static_cast<int>(f.count),
                static_cast<int>(STEADY_POINTS));
}
