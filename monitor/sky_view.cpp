#include "monitor/sky_view.h"

#include <cmath>
#include <cstdio>

#include "monitor/constellations.h"

namespace {

constexpr double PI = 3.14159265358979323846;

int32_t FindMark(const SatelliteMark* marks, int32_t count, const GpsSignal& signal) {
  for (int32_t i = 0; i < count; ++i)
    if (marks[i].constellation == signal.constellation && marks[i].svid == signal.svid) return i;
  return -1;
}

}  // namespace

void SatelliteLabel(int32_t constellation, int32_t svid, char* label) {
  const int32_t style = ConstellationStyleIndex(constellation);
  std::snprintf(label, sizeof SatelliteMark{}.label, "%c%d",
                style < 0 ? '?' : ConstellationStyles[style].letter, static_cast<int>(svid));
}

int32_t CollectSatellites(const GpsSky& sky, SatelliteMark* marks, int32_t capacity) {
  int32_t count = 0;
  for (int32_t i = 0; i < sky.signalCount && i < GPS_SKY_SIZE; ++i) {
    const GpsSignal& signal = sky.signals[i];
    if (ConstellationStyleIndex(signal.constellation) < 0) continue;
    int32_t at = FindMark(marks, count, signal);
    if (at < 0) {
      if (count == capacity) continue;
      at = count++;
      SatelliteMark& mark = marks[at];
      mark.constellation = signal.constellation;
      mark.svid = signal.svid;
      mark.used = 0;
      mark.elevation = NAN;
      mark.azimuth = NAN;
      mark.snr = NAN;
      SatelliteLabel(signal.constellation, signal.svid, mark.label);
    }
    SatelliteMark& mark = marks[at];
    if (signal.used) mark.used = 1;
    // Receivers send the position with one signal and leave it empty with
    // the others of the same satellite.
    if (std::isnan(mark.elevation) && !std::isnan(signal.elevation) && !std::isnan(signal.azimuth)) {
      mark.elevation = signal.elevation;
      mark.azimuth = signal.azimuth;
    }
    if (!std::isnan(signal.snr) && (std::isnan(mark.snr) || signal.snr > mark.snr)) mark.snr = signal.snr;
  }
  return count;
}

PlotPoint SkyPlotPoint(double centreX, double centreY, double radius, float elevation, float azimuth) {
  const double fromCentre = radius * (90.0 - (elevation < 0 ? 0.0 : elevation)) / 90.0;
  const double bearing = azimuth * PI / 180.0;
  return {centreX + fromCentre * std::sin(bearing), centreY - fromCentre * std::cos(bearing)};
}
