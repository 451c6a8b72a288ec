// The navigation state: one fix and one sky, put together from every
// verified sentence of every constellation the receiver sends.  Portable:
// nothing here depends on Windows.
#ifndef ORVOGPS_NAVIGATION_H
#define ORVOGPS_NAVIGATION_H

#include <atomic>
#include <cstdint>

struct GpsContext;

// An integer the receiver did not send.  Floating-point values it did not
// send are NaN (std::isnan).  No unknown value reads as 0.
constexpr int32_t GPS_UNKNOWN = -1;

// Constellations, numbered as u-blox's gnssId (as gpsd and many tools do).
enum : int32_t {
  CONSTELLATION_GPS = 0,
  CONSTELLATION_SBAS = 1,
  CONSTELLATION_GALILEO = 2,
  CONSTELLATION_BEIDOU = 3,
  CONSTELLATION_QZSS = 5,
  CONSTELLATION_GLONASS = 6,
  CONSTELLATION_NAVIC = 7
};

// GpsFix.mode.
enum : int32_t { GPS_MODE_NO_FIX = 1, GPS_MODE_2D = 2, GPS_MODE_3D = 3 };

// The sky has room for this many signals; what does not fit is counted.
constexpr int32_t GPS_SKY_SIZE = 192;

// When, where, how fast and how good.  Every field is GPS_UNKNOWN (integers)
// or NaN (floating point) until a sentence sends it.
struct GpsFix {
  // UTC date, known once an RMC with a fix or a ZDA has sent one.
  int32_t year;   // four digits
  int32_t month;  // 1-12
  int32_t day;    // 1-31
  // UTC time of day, rounded to the millisecond.  With the date known, a
  // time from 24:00:00 on (a leap second) reads as the next day's.
  int32_t hours;         // 0-23
  int32_t minutes;       // 0-59
  int32_t seconds;       // 0-59
  int32_t milliseconds;  // 0-999
  double latitude;         // degrees, north positive, every decimal the receiver sent
  double longitude;        // degrees, east positive
  double altitudeMsl;      // metres above mean sea level
  double geoidSeparation;  // metres, the geoid above the ellipsoid
  double altitudeHae;      // metres above the ellipsoid: the two above added, when both were sent
  double speed;            // over ground, metres per second
  double track;            // degrees true, 0 to 360
  int32_t mode;            // GPS_MODE_NO_FIX, GPS_MODE_2D, GPS_MODE_3D
  int32_t quality;         // GGA's: 0 no fix, 1 GPS, 2 differential, 4 RTK fixed, 5 RTK float, 6 estimated ...
  int32_t satellitesUsed;  // as GGA or GNS sent it (some receivers send at most 12)
  int32_t usedSetSize;     // satellites that the latest GSA sentences name as used
  double pdop;             // dilutions of precision, 0.01 to 89.99
  double hdop;
  double vdop;
  // The receiver's own error estimate (GST), one sigma, in metres:
  double rangeRms;            // RMS of the standard deviations of the range inputs
  double errorMajor;          // semi-major axis of the error ellipse
  double errorMinor;          // semi-minor axis
  double errorOrientation;    // degrees true of the semi-major axis, as sent
  double latitudeError;
  double longitudeError;
  double altitudeError;
  double heading;             // degrees true, 0 to 360, of a dual-antenna or inertial receiver (HDT, THS); not the track
};

// One signal of one satellite in view.
struct GpsSignal {
  int32_t constellation;  // CONSTELLATION_...
  int32_t svid;           // the constellation's own number: GPS PRN 1-32, SBAS PRN 120-158, GLONASS slot, QZSS 1-10 ...
  int32_t signalId;       // NMEA 4.10 signal id 0-15 as sent (1 is L1 C/A for GPS); GPS_UNKNOWN without one
  int32_t used;           // 1 when the satellite is used in the fix and this signal is tracked, else 0
  float elevation;        // degrees, -90 to 90; NaN unknown
  float azimuth;          // degrees true, 0 to 359; NaN unknown
  float snr;              // carrier to noise density, dB-Hz; NaN when not tracked
};

// Every signal in view, across constellations.
struct GpsSky {
  int32_t signalCount;  // signals[0 .. signalCount - 1] are valid
  int32_t usedCount;    // of them with used 1
  int32_t notShown;     // signals of the latest cycle that did not fit
  GpsSignal signals[GPS_SKY_SIZE];
};

// Called on the feeding thread once per completed epoch (one receiver cycle),
// after the sentence that completed it and before that sentence's
// GpsCallback.  fix and sky are the state's own, unchanging during the call.
typedef void (*GpsEpochCallback)(GpsContext* context, const GpsFix* fix, const GpsSky* sky);

// Copies the latest fix; any thread, any time, without making the feeding
// thread wait.  Returns 0, or 1 when either argument is null.
int32_t GpsGetFix(const GpsContext* context, GpsFix* fix);

// Copies the latest sky (signals beyond signalCount are left as they were);
// any thread, any time.  Returns 0, or 1 when either argument is null.
int32_t GpsGetSky(const GpsContext* context, GpsSky* sky);

// Sets the epoch callback, null for none; any thread.  Returns 0, or 1 for a
// null context.
int32_t GpsSetEpochCallback(GpsContext* context, GpsEpochCallback callback);

// ---- The state's storage inside the context: the library's own. ----

// A sequence counter and a copy of a record as words: the feeding thread
// makes the counter odd, writes, and makes it even again; a reader copies and
// starts over when the counter was odd or moved meanwhile.
constexpr int32_t GPS_FIX_WORDS = (sizeof(GpsFix) + 7) / 8;
constexpr int32_t GPS_SKY_WORDS = (sizeof(GpsSky) + 7) / 8;

struct GpsPublishedFix {
  std::atomic<uint32_t> sequence;
  std::atomic<uint64_t> words[GPS_FIX_WORDS];
};

struct GpsPublishedSky {
  std::atomic<uint32_t> sequence;
  std::atomic<uint32_t> wordCount;  // the words that hold signalCount signals
  std::atomic<uint64_t> words[GPS_SKY_WORDS];
};

// A GST's seven values, rangeRms to altitudeError in GpsFix's order.
constexpr int32_t GPS_GST_VALUES = 7;

// Sets of satellites: one bit per (constellation, svid).
constexpr int32_t GPS_USED_SET_WORDS = 8 * 256 / 64;
constexpr uint8_t GPS_NO_SIGNAL = 0xFF;
static_assert(GPS_SKY_SIZE < GPS_NO_SIGNAL, "signal indices fit below the chain's end mark");

struct GpsNavigation {
  GpsFix fix;  // the feeding thread's working copies
  GpsSky sky;
  GpsPublishedFix publishedFix;  // what readers copy
  GpsPublishedSky publishedSky;
  std::atomic<GpsEpochCallback> epochCallback;

  // Epoch: time of day in milliseconds (up to 86,400,999 in a leap second),
  // and the date in days since 1970-01-01, each -1 when unknown.
  int32_t timeOfDay;
  int32_t date;
  int32_t modeSetByGsaAt;  // the time of day of the GSA that set the mode, -2 for none
  // A GST that came before the first sentence of its epoch (some receivers
  // send it first in their cycle): its time of day, -1 for none, and values.
  int32_t pendingGstAt;
  double pendingGst[GPS_GST_VALUES];
  int32_t epochReported;   // the epoch callback ran for the current epoch
  uint64_t previousKey;    // the last sentence read, as SentenceKey makes it
  uint64_t endKey;         // the sentence that ended the previous cycle, 0 until learned

  // Runs: the kind of the previous verified sentence.
  int32_t previousKind;
  int32_t runReplacedSky;  // the current GSV run has replaced the sky already

  // The GSV group being collected: one talker's parts 1..partCount.
  char groupTalker[2];
  int32_t groupSystemId;
  int32_t groupParts;     // 0: no group in progress
  int32_t groupLastPart;
  int32_t groupCount;
  int32_t groupNotShown;
  GpsSignal group[GPS_SKY_SIZE];

  uint64_t usedSet[GPS_USED_SET_WORDS];       // named by the latest run of GSA sentences
  uint64_t skySatellites[GPS_USED_SET_WORDS];  // with a signal in the sky
  uint16_t skyBits[GPS_SKY_SIZE];              // each signal's satellite in these sets
  // Each satellite's signals in the sky, as a chain of indices ending in
  // GPS_NO_SIGNAL: so a GSA that names a satellite finds its signals at once.
  uint8_t firstSignal[GPS_USED_SET_WORDS * 64];
  uint8_t nextSignal[GPS_SKY_SIZE];
};

#endif
