#include "monitor/fix_text.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double KNOTS_PER_MPS = 3600.0 / 1852.0;
constexpr double KMH_PER_MPS = 3.6;
constexpr char UNKNOWN[] = "-";

typedef char Value[FIX_VALUE_SIZE];

bool Known(double value) { return !std::isnan(value); }
bool Known(int32_t value) { return value != GPS_UNKNOWN; }

void Unknown(Value text) { std::snprintf(text, FIX_VALUE_SIZE, "%s", UNKNOWN); }

void Decimal(Value text, double value, int decimals, const char* unit) {
  if (!Known(value)) return Unknown(text);
  std::snprintf(text, FIX_VALUE_SIZE, "%.*f%s", decimals, value, unit);
}

// "N 59 57.006200'": hemisphere, whole degrees and decimal minutes.
void DegreesMinutes(Value text, double degrees, char positive, char negative) {
  if (!Known(degrees)) return Unknown(text);
  const double magnitude = std::fabs(degrees);
  int whole = static_cast<int>(magnitude);
  double minutes = (magnitude - whole) * 60.0;
  // 59.99999999 minutes would print as 60.000000.
  if (minutes >= 59.9999995) {
    minutes = 0.0;
    ++whole;
  }
  std::snprintf(text, FIX_VALUE_SIZE, "%c %d %09.6f'", degrees < 0 ? negative : positive, whole, minutes);
}

void Date(Value text, const GpsFix& fix) {
  if (!Known(fix.year) || !Known(fix.month) || !Known(fix.day)) return Unknown(text);
  std::snprintf(text, FIX_VALUE_SIZE, "%04d-%02d-%02d", fix.year, fix.month, fix.day);
}

void Time(Value text, const GpsFix& fix) {
  if (!Known(fix.hours) || !Known(fix.minutes) || !Known(fix.seconds) || !Known(fix.milliseconds))
    return Unknown(text);
  std::snprintf(text, FIX_VALUE_SIZE, "%02d:%02d:%02d.%03d", fix.hours, fix.minutes, fix.seconds,
                fix.milliseconds);
}

void Speed(Value text, double metresPerSecond) {
  if (!Known(metresPerSecond)) return Unknown(text);
  std::snprintf(text, FIX_VALUE_SIZE, "%.1f km/h, %.2f kn", metresPerSecond * KMH_PER_MPS,
                metresPerSecond * KNOTS_PER_MPS);
}

void Mode(Value text, int32_t mode) {
  const char* words = mode == GPS_MODE_3D ? "3D" : mode == GPS_MODE_2D ? "2D" : mode == GPS_MODE_NO_FIX ? "no fix"
                                                                                                       : UNKNOWN;
  std::snprintf(text, FIX_VALUE_SIZE, "%s", words);
}

// "11 used, 25 in view"; GGA's count when it was sent, else the size of the
// set the GSA sentences named.
void Satellites(Value text, const GpsFix& fix, int32_t inView) {
  const int32_t used = Known(fix.satellitesUsed) ? fix.satellitesUsed : fix.usedSetSize;
  char usedText[16], viewText[16];
  std::snprintf(usedText, sizeof usedText, Known(used) ? "%d" : "-", static_cast<int>(used));
  std::snprintf(viewText, sizeof viewText, Known(inView) ? "%d" : "-", static_cast<int>(inView));
  std::snprintf(text, FIX_VALUE_SIZE, "%s used, %s in view", usedText, viewText);
}

}  // namespace

// The rows in degrees and minutes need no label of their own: their values
// carry the hemisphere.
const char* const FixRowLabels[FIX_ROW_COUNT] = {
    "Date (UTC)", "Time (UTC)", "Latitude", "Longitude", "", "", "Altitude MSL", "Altitude ellipsoid",
    "Speed",      "Track",      "Fix",      "Quality",   "Satellites", "PDOP", "HDOP", "VDOP",
};

const char* QualityWords(int32_t quality) {
  static const char* const WORDS[] = {"no fix", "GPS", "DGPS", "PPS", "RTK fixed", "RTK float",
                                      "dead reckoning", "manual", "simulated"};
  if (quality < 0 || quality >= static_cast<int32_t>(sizeof WORDS / sizeof WORDS[0])) return UNKNOWN;
  return WORDS[quality];
}

void FormatFixRows(const GpsFix& fix, int32_t satellitesInView, char values[FIX_ROW_COUNT][FIX_VALUE_SIZE]) {
  Date(values[FIX_ROW_DATE], fix);
  Time(values[FIX_ROW_TIME], fix);
  Decimal(values[FIX_ROW_LATITUDE], fix.latitude, 8, "");
  Decimal(values[FIX_ROW_LONGITUDE], fix.longitude, 8, "");
  DegreesMinutes(values[FIX_ROW_LATITUDE_DM], fix.latitude, 'N', 'S');
  DegreesMinutes(values[FIX_ROW_LONGITUDE_DM], fix.longitude, 'E', 'W');
  Decimal(values[FIX_ROW_ALTITUDE_MSL], fix.altitudeMsl, 2, " m");
  Decimal(values[FIX_ROW_ALTITUDE_HAE], fix.altitudeHae, 2, " m");
  Speed(values[FIX_ROW_SPEED], fix.speed);
  Decimal(values[FIX_ROW_TRACK], fix.track, 1, " deg");
  Mode(values[FIX_ROW_MODE], fix.mode);
  std::snprintf(values[FIX_ROW_QUALITY], FIX_VALUE_SIZE, "%s", QualityWords(fix.quality));
  Satellites(values[FIX_ROW_SATELLITES], fix, satellitesInView);
  Decimal(values[FIX_ROW_PDOP], fix.pdop, 2, "");
  Decimal(values[FIX_ROW_HDOP], fix.hdop, 2, "");
  Decimal(values[FIX_ROW_VDOP], fix.vdop, 2, "");
}
