#include "sentence_writer.h"

#include <cmath>
#include <cstdio>
#include <ctime>

uint8_t NmeaBodyChecksum(const std::string& body) {
  uint8_t sum = 0;
  for (char c : body) sum ^= static_cast<uint8_t>(c);
  return sum;
}

std::string NmeaFrame(const std::string& body) {
  char tail[6];
  std::snprintf(tail, sizeof tail, "*%02X\r\n", NmeaBodyChecksum(body));
  return "$" + body + tail;
}

// Rounds to ten-thousandths of a minute first, so that 59.99996' carries into
// the next degree instead of printing as "60.0000".
static std::string FormatAngle(double degrees, int degreeDigits, char positive,
                               char negative) {
  const char hemisphere = degrees < 0 ? negative : positive;
  const long long units = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
  const long long wholeDegrees = units / (60 * 10000);
  const long long minuteUnits = units % (60 * 10000);
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degreeDigits, wholeDegrees,
                minuteUnits / 10000, minuteUnits % 10000, hemisphere);
  return text;
}

std::string FormatLatitude(double degrees) { return FormatAngle(degrees, 2, 'N', 'S'); }

std::string FormatLongitude(double degrees) { return FormatAngle(degrees, 3, 'E', 'W'); }

static std::tm UtcFields(int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm fields{};
  // Fails only for years beyond the range of int, which no clock here reaches.
  (void)gmtime_r(&t, &fields);
  return fields;
}

std::string FormatUtcTime(int64_t unixSeconds) {
  const std::tm f = UtcFields(unixSeconds);
  char text[48];
  std::snprintf(text, sizeof text, "%02d%02d%02d.00", f.tm_hour, f.tm_min, f.tm_sec);
  return text;
}

std::string FormatUtcDate(int64_t unixSeconds) {
  const std::tm f = UtcFields(unixSeconds);
  char text[48];
  std::snprintf(text, sizeof text, "%02d%02d%02d", f.tm_mday, f.tm_mon + 1, f.tm_year % 100);
  return text;
}
