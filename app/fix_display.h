// How the receiver panel shows a GGA fix: eleven fields, each a control and
// the text it gets, in the order the panel sets them.
#ifndef ORVOGPS_APP_FIX_DISPLAY_H
#define ORVOGPS_APP_FIX_DISPLAY_H

#include <cstdint>

#include "nmea/nmea.h"

constexpr int32_t FIX_FIELD_COUNT = 11;
constexpr int32_t FIX_TEXT_SIZE = 80;

struct FixField {
  int32_t controlId;
  void (*format)(const GgaRecord* fix, char* text);  // text holds FIX_TEXT_SIZE bytes
};

extern const FixField FixFieldTable[FIX_FIELD_COUNT];

#endif
