// Parsers of the position and motion sentences: GGA, RMC, GLL and VTG.
#include <cstring>

#include "nmea/field_walk.h"
#include "nmea/nmea_internal.h"

namespace {

constexpr FieldCode GGA_FIELD_ORDER[] = {
    FIELD_ADDRESS,
    FIELD_UTC_TIME,        // hhmmss.ss
    FIELD_LATITUDE,        // ddmm.mmmm
    FIELD_LAT_HEMISPHERE,  // N or S
    FIELD_LONGITUDE,       // dddmm.mmmm
    FIELD_LON_HEMISPHERE,  // E or W
    FIELD_FIX_QUALITY,     // 0 no fix, 1 GPS, 2 DGPS, ...
    FIELD_SATELLITES,      // satellites used
    FIELD_HDOP,
    FIELD_ALTITUDE,        // its unit, the geoid separation and DGPS data are not read
    FIELD_END,
};
static_assert(sizeof GGA_FIELD_ORDER / sizeof GGA_FIELD_ORDER[0] == 11);

constexpr FieldCode RMC_FIELD_ORDER[] = {
    FIELD_ADDRESS,
    FIELD_UTC_TIME,
    FIELD_STATUS,                // A valid, V warning
    FIELD_LATITUDE,
    FIELD_LAT_HEMISPHERE,
    FIELD_LONGITUDE,
    FIELD_LON_HEMISPHERE,
    FIELD_SPEED_KNOTS,
    FIELD_COURSE_TRUE,
    FIELD_DATE,                  // ddmmyy
    FIELD_MAGNETIC_VARIATION,
    FIELD_VARIATION_DIRECTION,   // E or W
    FIELD_MODE,                  // mode indicator, NMEA 2.3 and later
    FIELD_END,
};
static_assert(sizeof RMC_FIELD_ORDER / sizeof RMC_FIELD_ORDER[0] == 14);

constexpr FieldCode GLL_FIELD_ORDER[] = {
    FIELD_ADDRESS,
    FIELD_LATITUDE,
    FIELD_LAT_HEMISPHERE,
    FIELD_LONGITUDE,
    FIELD_LON_HEMISPHERE,
    FIELD_UTC_TIME,
    FIELD_STATUS,  // the older form ends here
    FIELD_MODE,
    FIELD_END,
};
static_assert(sizeof GLL_FIELD_ORDER / sizeof GLL_FIELD_ORDER[0] == 9);

constexpr FieldCode VTG_FIELD_ORDER[] = {
    FIELD_ADDRESS,
    FIELD_COURSE_TRUE,          // degrees true
    FIELD_COURSE_TRUE_REF,      // T
    FIELD_COURSE_MAGNETIC,      // degrees magnetic
    FIELD_COURSE_MAGNETIC_REF,  // M
    FIELD_VTG_SPEED_KNOTS,
    FIELD_SPEED_KNOTS_UNIT,     // N
    FIELD_SPEED_KMH,
    FIELD_SPEED_KMH_UNIT,       // K
    FIELD_MODE,
    FIELD_END,
};
static_assert(sizeof VTG_FIELD_ORDER / sizeof VTG_FIELD_ORDER[0] == 11);

int32_t CharCode(const char* field) { return static_cast<unsigned char>(field[0]); }

}  // namespace

GgaRecord* GpsParseGGA(const SentenceFields& fields) {
  // $GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F
  const char* sentence = fields.sentence;
  GgaRecord* record = &gGpsContext.gga;
  std::memset(record, 0, sizeof *record);
  CopyTalker(sentence, record->talker);
  const char* end = sentence + GPS_SENTENCE_SIZE;
  WalkFields(fields, GGA_FIELD_ORDER, [&](FieldCode code, int32_t, const char* field) {
    switch (code) {
      case FIELD_UTC_TIME: DecodeTime(field, &record->time, end); break;
      case FIELD_LATITUDE: DecodeLatitude(field, &record->latitude, end); break;
      case FIELD_LAT_HEMISPHERE: record->latHemisphere = field[0]; break;
      case FIELD_LONGITUDE: DecodeLongitude(field, &record->longitude, end); break;
      case FIELD_LON_HEMISPHERE: record->lonHemisphere = field[0]; break;
      case FIELD_FIX_QUALITY: record->fixQuality = CharCode(field) - '0'; break;
      case FIELD_SATELLITES: DecodeIntN(field, 2, &record->satellitesUsed, end); break;
      case FIELD_HDOP: DecodeFloat(field, &record->hdop, end); break;
      case FIELD_ALTITUDE: DecodeFloat(field, &record->altitude, end); break;
      default: break;
    }
  });
  return record;
}

RmcRecord* GpsParseRMC(const SentenceFields& fields) {
  // $GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28
  const char* sentence = fields.sentence;
  RmcRecord* record = &gGpsContext.rmc;
  std::memset(record, 0, sizeof *record);
  CopyTalker(sentence, record->talker);
  const char* end = sentence + GPS_SENTENCE_SIZE;
  WalkFields(fields, RMC_FIELD_ORDER, [&](FieldCode code, int32_t, const char* field) {
    switch (code) {
      case FIELD_UTC_TIME: DecodeTime(field, &record->time, end); break;
      case FIELD_STATUS: record->status = field[0]; break;
      case FIELD_LATITUDE: DecodeLatitude(field, &record->latitude, end); break;
      case FIELD_LAT_HEMISPHERE: record->latHemisphere = field[0]; break;
      case FIELD_LONGITUDE: DecodeLongitude(field, &record->longitude, end); break;
      case FIELD_LON_HEMISPHERE: record->lonHemisphere = field[0]; break;
      case FIELD_SPEED_KNOTS: DecodeFloat(field, &record->speedKnots, end); break;
      case FIELD_COURSE_TRUE: DecodeFloat(field, &record->courseTrue, end); break;
      case FIELD_DATE: DecodeDate(field, &record->date, end); break;
      case FIELD_MAGNETIC_VARIATION: DecodeFloat(field, &record->magneticVariation, end); break;
      case FIELD_VARIATION_DIRECTION: record->variationDirection = field[0]; break;
      case FIELD_MODE: record->modeIndicator = field[0]; break;
      default: break;
    }
  });
  return record;
}

GllRecord* GpsParseGLL(const SentenceFields& fields) {
  // $GPGLL,3854.5087,N,07726.4523,W,125106,V,S*55
  const char* sentence = fields.sentence;
  GllRecord* record = &gGpsContext.gll;
  std::memset(record, 0, sizeof *record);
  CopyTalker(sentence, record->talker);
  const char* end = sentence + GPS_SENTENCE_SIZE;
  WalkFields(fields, GLL_FIELD_ORDER, [&](FieldCode code, int32_t, const char* field) {
    switch (code) {
      case FIELD_LATITUDE: DecodeLatitude(field, &record->latitude, end); break;
      case FIELD_LAT_HEMISPHERE: record->latHemisphere = field[0]; break;
      case FIELD_LONGITUDE: DecodeLongitude(field, &record->longitude, end); break;
      case FIELD_LON_HEMISPHERE: record->lonHemisphere = field[0]; break;
      case FIELD_UTC_TIME: DecodeTime(field, &record->time, end); break;
      case FIELD_STATUS: record->status = field[0]; break;
      case FIELD_MODE: record->modeIndicator = field[0]; break;
      default: break;
    }
  });
  return record;
}

VtgRecord* GpsParseVTG(const SentenceFields& fields) {
  // $GPVTG,0.0,T,10.5,M,0.0,N,0.0,K*7A
  const char* sentence = fields.sentence;
  VtgRecord* record = &gGpsContext.vtg;
  std::memset(record, 0, sizeof *record);
  CopyTalker(sentence, record->talker);
  const char* end = sentence + GPS_SENTENCE_SIZE;
  WalkFields(fields, VTG_FIELD_ORDER, [&](FieldCode code, int32_t, const char* field) {
    switch (code) {
      case FIELD_COURSE_TRUE: DecodeFloat(field, &record->courseTrue, end); break;
      case FIELD_COURSE_TRUE_REF: record->courseTrueRef = CharCode(field); break;
      case FIELD_COURSE_MAGNETIC: DecodeFloat(field, &record->courseMagnetic, end); break;
      case FIELD_COURSE_MAGNETIC_REF: record->courseMagneticRef = CharCode(field); break;
      case FIELD_VTG_SPEED_KNOTS: DecodeFloat(field, &record->speedKnots, end); break;
      case FIELD_SPEED_KNOTS_UNIT: record->speedKnotsUnit = CharCode(field); break;
      case FIELD_SPEED_KMH: DecodeFloat(field, &record->speedKmh, end); break;
      case FIELD_SPEED_KMH_UNIT: record->speedKmhUnit = CharCode(field); break;
      case FIELD_MODE: record->modeIndicator = field[0]; break;
      default: break;
    }
  });
  return record;
}
