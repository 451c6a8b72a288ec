// The synthesized receiver: one cycle of sentences per simulated second, from
// a position that drives round a circular track and a sky whose satellites
// rise, set and wheel across it.
#ifndef GPS_SIM_SYNTH_RECEIVER_H
#define GPS_SIM_SYNTH_RECEIVER_H

#include <cstdint>
#include <string>
#include <vector>

struct TrackPoint {
  double latitude;   // signed decimal degrees, north positive
  double longitude;  // signed decimal degrees, east positive, -180..180
  double courseDegrees;
  double speedKnots;
  double altitudeMetres;
};

struct SatelliteView {
  int prn;
  int elevation;  // degrees above the horizon
  int azimuth;    // degrees true, 0..359
  int snr;        // dB-Hz
};

// Where the receiver is after elapsedSeconds on its track from start.
TrackPoint TrackAt(double startLatitude, double startLongitude, double elapsedSeconds);

// Satellites above the horizon after elapsedSeconds, in PRN order.
std::vector<SatelliteView> SatellitesInView(double elapsedSeconds);

// The satellites of a view that take part in the fix (at most 12).
std::vector<SatelliteView> SatellitesUsed(const std::vector<SatelliteView>& view);

// The sentences of one cycle, each framed with checksum and CR LF, in the
// order GGA, GSA, GSV (as many as the view needs), RMC, GLL, VTG.
std::vector<std::string> SynthesizeCycle(double startLatitude, double startLongitude,
                                         int64_t elapsedSeconds, int64_t utcSeconds);

#endif
