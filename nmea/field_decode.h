// The decoding toolkit shared by the six sentence parsers: field codes, the
// field-order table walk and the decoders of NMEA 0183 field layouts.
#ifndef ORVOGPS_FIELD_DECODE_H
#define ORVOGPS_FIELD_DECODE_H

#include <cstdint>

#include "nmea/nmea.h"

// The meaning of one comma-separated field, shared by every sentence type.
typedef int32_t FieldCode;
enum : FieldCode {
  FIELD_ADDRESS = 0,  // '$', talker and formatter; never decoded
  FIELD_UTC_TIME = 1,
  FIELD_LATITUDE = 2,
  FIELD_LONGITUDE = 3,
  FIELD_FIX_QUALITY = 4,
  FIELD_SATELLITES = 5,  // used in the fix (GGA) or in view (GSV)
  FIELD_HDOP = 6,
  FIELD_ALTITUDE = 7,
  FIELD_LAT_HEMISPHERE = 8,
  FIELD_LON_HEMISPHERE = 9,
  FIELD_STATUS = 10,
  FIELD_SPEED_KNOTS = 11,
  FIELD_COURSE_TRUE = 12,
  FIELD_DATE = 13,
  FIELD_MAGNETIC_VARIATION = 14,
  FIELD_VARIATION_DIRECTION = 15,
  FIELD_SELECTION_MODE = 16,
  FIELD_MODE = 17,  // GSA fix mode; mode indicator of RMC, GLL and VTG
  FIELD_GSA_SATELLITE_1 = 18,  // 18 to 29: the twelve GSA satellite numbers
  FIELD_GSA_SATELLITE_12 = 29,
  FIELD_PDOP = 30,
  FIELD_VDOP = 31,
  FIELD_GSV_MESSAGE_COUNT = 32,
  FIELD_GSV_MESSAGE_NUMBER = 33,
  FIELD_GSV_PRN = 34,
  FIELD_GSV_ELEVATION = 35,
  FIELD_GSV_AZIMUTH = 36,
  FIELD_UNASSIGNED = 37,
  FIELD_GSV_SNR = 38,  // walked over, never stored
  FIELD_COURSE_TRUE_REF = 39,
  FIELD_COURSE_MAGNETIC = 40,
  FIELD_COURSE_MAGNETIC_REF = 41,
  FIELD_VTG_SPEED_KNOTS = 42,
  FIELD_SPEED_KNOTS_UNIT = 43,
  FIELD_SPEED_KMH = 44,
  FIELD_SPEED_KMH_UNIT = 45,
  FIELD_END = 46
};

// The decoders read the field at fixed positions and store what the text
// gives; they never report anything.  end is one past the last readable
// character: positions at or beyond it read as NUL.
void DecodeIntN(const char* field, int32_t n, int32_t* out, const char* end);
void DecodeFloat(const char* field, float* out, const char* end);
void DecodeTime(const char* field, UtcTime* out, const char* end);
void DecodeDate(const char* field, NmeaDate* out, const char* end);
void DecodeLatitude(const char* field, GeoAngle* out, const char* end);
void DecodeLongitude(const char* field, GeoAngle* out, const char* end);

#endif
