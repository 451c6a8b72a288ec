// The fix as the monitor writes it: one row per value, each a label and a
// text, "-" for whatever the receiver did not send.
#ifndef ORVOGPS_MONITOR_FIX_TEXT_H
#define ORVOGPS_MONITOR_FIX_TEXT_H

#include <cstdint>

#include <nmea/navigation.h>

enum : int32_t {
  FIX_ROW_DATE,
  FIX_ROW_TIME,
  FIX_ROW_LATITUDE,
  FIX_ROW_LONGITUDE,
  FIX_ROW_LATITUDE_DM,
  FIX_ROW_LONGITUDE_DM,
  FIX_ROW_ALTITUDE_MSL,
  FIX_ROW_ALTITUDE_HAE,
  FIX_ROW_SPEED,
  FIX_ROW_TRACK,
  FIX_ROW_MODE,
  FIX_ROW_QUALITY,
  FIX_ROW_SATELLITES,
  FIX_ROW_PDOP,
  FIX_ROW_HDOP,
  FIX_ROW_VDOP,
  FIX_ROW_COUNT
};

constexpr int32_t FIX_VALUE_SIZE = 48;

// The labels, in row order.
extern const char* const FixRowLabels[FIX_ROW_COUNT];

// Writes every row's text for the fix; satellitesInView is the count of
// satellites in the sky (GPS_UNKNOWN when there is no sky yet).
void FormatFixRows(const GpsFix& fix, int32_t satellitesInView, char values[FIX_ROW_COUNT][FIX_VALUE_SIZE]);

// What GGA's quality number means, in words ("RTK fixed"); "-" when unknown.
const char* QualityWords(int32_t quality);

#endif
