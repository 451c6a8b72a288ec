// How steady the fix is: the latest STEADY_POINTS positions, as metres east
// and north of their mean, and the figures a receiver's datasheet gives.
//   CEP50, CEP95  the radius around the mean holding 50 % and 95 % of the
//                 points (the smallest distance that at least that share of
//                 the points lie within: nearest rank, no interpolation)
//   2DRMS         twice the root mean square of the horizontal distances
//   altitude SD   the standard deviation of the altitudes above mean sea
//                 level, about their mean (divided by n: the points are the
//                 whole population looked at)
#ifndef ORVOGPS_MONITOR_STEADINESS_H
#define ORVOGPS_MONITOR_STEADINESS_H

#include <cstdint>

#include <nmea/navigation.h>

constexpr int32_t STEADY_POINTS = 600;

struct SteadyPoint {
  double latitude, longitude;  // degrees
  double altitude;             // metres above mean sea level; NaN when not sent
};

struct Steadiness {
  SteadyPoint points[STEADY_POINTS];
  int32_t first;  // the oldest point's slot
  int32_t count;
};

struct SteadyDot {
  double east, north;  // metres from the mean position
};

struct SteadyFigures {
  int32_t count;  // points
  int32_t altitudes;  // of them with an altitude
  double cep50, cep95, drms2;  // metres; NaN without points
  double altitudeSd;           // metres; NaN with fewer than two altitudes
};

void SteadinessReset(Steadiness* steadiness);
// The epoch's position, when it has one (a 2D or 3D fix with latitude and
// longitude); the oldest goes when STEADY_POINTS are held.  True when added.
bool SteadinessAdd(Steadiness* steadiness, const GpsFix& fix);
// The figures and, when dots is not null, every point's place around the
// mean (oldest first, count of them).
void SteadinessMeasure(const Steadiness& steadiness, SteadyFigures* figures, SteadyDot* dots);

// One figure a line: "CEP50      1.23 m", "Points     600".
constexpr int32_t STEADY_TEXT_SIZE = 200;
void FormatSteadyFigures(const SteadyFigures& figures, char* text, int32_t size);

#endif
