// The navigation state as JSON objects in the manner of gpsd's regression
// output: a TPV object for the fix, a SKY object for the sky.
#ifndef ORVOGPS_TOOLS_STATE_JSON_H
#define ORVOGPS_TOOLS_STATE_JSON_H

#include <cstddef>

#include "nmea/navigation.h"

// Room for a SKY object of GPS_SKY_SIZE signals.
struct JsonText {
  char text[32768];
  size_t length;
};

// {"class":"TPV", "mode":3, "time":"2022-07-31T12:02:13.000Z", ...}: every
// known value of the fix, unknown ones left out.
void FormatTpv(const GpsFix& fix, JsonText* out);

// {"class":"GST", "rms":0.387, "major":317.719, ...}: the receiver's error
// estimate, unknown values left out.
void FormatGst(const GpsFix& fix, JsonText* out);

// {"class":"ATT", "heading":274.07}: the true heading, when known.
void FormatAtt(const GpsFix& fix, JsonText* out);

// {"class":"SKY", "hdop":1.3, ..., "satellites":[{"gnssid":6, ...}, ...]}
void FormatSky(const GpsFix& fix, const GpsSky& sky, JsonText* out);

#endif
