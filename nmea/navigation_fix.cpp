// The fix rules: which sentence sets which value of the fix, and when a value
// the receiver did not send stays unknown.
#include <limits>

#include "nmea/navigation_internal.h"

namespace {

constexpr int32_t DAY_MS = 24 * 3600 * 1000;
constexpr int32_t HALF_DAY_MS = DAY_MS / 2;
constexpr double METRES_PER_SECOND_PER_KNOT = 1852.0 / 3600.0;
constexpr double METRES_PER_SECOND_PER_KMH = 1000.0 / 3600.0;
// Receivers send 0.00, 99.0 and 99.99 for a dilution they do not know.
constexpr double DOP_MIN = 0.01;
constexpr double DOP_MAX = 89.99;

constexpr double UNKNOWN_VALUE = std::numeric_limits<double>::quiet_NaN();

bool Known(double value) { return value == value; }

// The fix's date and time fields from the time of day and the date.
void UpdateFixTime(GpsNavigation* navigation) {
  GpsFix& fix = navigation->fix;
  int32_t time = navigation->timeOfDay;
  int32_t date = navigation->date;
  if (time >= DAY_MS) {
    time -= DAY_MS;
    if (date >= 0) ++date;
  }
  if (date >= 0) {
    DateFromDays(date, &fix.year, &fix.month, &fix.day);
  } else {
    fix.year = fix.month = fix.day = GPS_UNKNOWN;
  }
  if (time >= 0) {
    fix.hours = time / 3600000;
    fix.minutes = time / 60000 % 60;
    fix.seconds = time / 1000 % 60;
    fix.milliseconds = time % 1000;
  } else {
    fix.hours = fix.minutes = fix.seconds = fix.milliseconds = GPS_UNKNOWN;
  }
}

void SetDate(GpsNavigation* navigation, int32_t days) {
  if (days == navigation->date) return;
  navigation->date = days;
  UpdateFixTime(navigation);
}

// A dilution of precision: NaN for an empty field and for the placeholders.
double ReadDop(Field field) {
  double value;
  if (!ReadDecimal(field, &value) || value < DOP_MIN || value > DOP_MAX) return UNKNOWN_VALUE;
  return value;
}

// Speed and track are never negative, a track never more than a turn.
bool ReadSpeed(Field field, double unit, double* speed) {
  double value;
  if (!ReadDecimal(field, &value) || value < 0) return false;
  *speed = value * unit;
  return true;
}

// A decimal as sent, else unknown.
double ReadAny(Field field) {
  double value;
  return ReadDecimal(field, &value) ? value : UNKNOWN_VALUE;
}

// GST fields 2 to 8; field 5 is the ellipse's orientation.
constexpr int32_t GST_FIRST_VALUE = 2;
constexpr int32_t GST_ORIENTATION = 3;
constexpr double NO_GST[GPS_GST_VALUES] = {UNKNOWN_VALUE, UNKNOWN_VALUE, UNKNOWN_VALUE, UNKNOWN_VALUE,
                                           UNKNOWN_VALUE, UNKNOWN_VALUE, UNKNOWN_VALUE};

void SetGst(GpsFix* fix, const double* values) {
  fix->rangeRms = values[0];
  fix->errorMajor = values[1];
  fix->errorMinor = values[2];
  fix->errorOrientation = values[3];
  fix->latitudeError = values[4];
  fix->longitudeError = values[5];
  fix->altitudeError = values[6];
}

// A standard deviation: never negative.
double ReadDeviation(Field field) {
  double value;
  if (!ReadDecimal(field, &value) || value < 0) return UNKNOWN_VALUE;
  return value;
}

bool ReadTrack(Field field, double* track) {
  double value;
  if (!ReadDecimal(field, &value) || value < 0 || value > 360) return false;
  *track = value;
  return true;
}

// Latitude, its hemisphere, longitude and its hemisphere from field
// `first` on, into the fix when all four make a position.
bool ReadPosition(GpsFix* fix, const SentenceFields& fields, int32_t first) {
  double latitude;
  double longitude;
  if (!ReadCoordinate(FieldAt(fields, first), FieldAt(fields, first + 1), true, &latitude) ||
      !ReadCoordinate(FieldAt(fields, first + 2), FieldAt(fields, first + 3), false, &longitude))
    return false;
  fix->latitude = latitude;
  fix->longitude = longitude;
  return true;
}

void UpdateHeightAboveEllipsoid(GpsFix* fix) {
  fix->altitudeHae = Known(fix->altitudeMsl) && Known(fix->geoidSeparation)
                         ? fix->altitudeMsl + fix->geoidSeparation
                         : UNKNOWN_VALUE;
}

// GGA and GNS fields 7 and 8: satellites used and HDOP, read whatever the
// fix.
int32_t ReadSatellitesAndHdop(GpsFix* fix, const SentenceFields& fields) {
  const int32_t satellites = ReadCount(FieldAt(fields, 7), 2);
  if (satellites >= 0) fix->satellitesUsed = satellites;
  fix->hdop = ReadDop(FieldAt(fields, 8));
  return satellites;
}

// GGA and GNS field 9, the altitude, and the geoid separation in field
// geoidField: read only with the position, since a receiver without a fix
// sends placeholders or the last altitude it had.  Returns whether the
// altitude was sent.
bool ReadAltitudes(GpsFix* fix, const SentenceFields& fields, int32_t geoidField) {
  double value;
  const bool altitude = ReadDecimal(FieldAt(fields, 9), &value);
  if (altitude) fix->altitudeMsl = value;
  if (ReadDecimal(FieldAt(fields, geoidField), &value)) fix->geoidSeparation = value;
  UpdateHeightAboveEllipsoid(fix);
  return altitude;
}

// A GGA or GNS with a fix: 3D with an altitude and four satellites, else 2D;
// but a 2D or 3D that a GSA of this epoch set stays, since the GSA says it
// outright.
void SetModeFromFullFix(GpsNavigation* navigation, bool altitude, int32_t satellites) {
  GpsFix& fix = navigation->fix;
  if ((fix.mode == GPS_MODE_2D || fix.mode == GPS_MODE_3D) && navigation->modeSetByGsaAt == navigation->timeOfDay)
    return;
  fix.mode = altitude && satellites >= 4 ? GPS_MODE_3D : GPS_MODE_2D;
}

// An RMC or GLL knows no altitude: a fix lifts only "unknown" and "no fix".
void SetModeFromPlainFix(GpsFix* fix) {
  if (fix->mode == GPS_UNKNOWN || fix->mode == GPS_MODE_NO_FIX) fix->mode = GPS_MODE_2D;
}

// ddmmyy; yy from 80 is 19yy, below 20yy.
int32_t ReadRmcDate(Field field) {
  if (field.length != 6) return -1;
  const int32_t digits = ReadCount(field, 6);
  if (digits < 0) return -1;
  const int32_t yy = digits % 100;
  return DaysFromDate(yy >= 80 ? 1900 + yy : 2000 + yy, digits / 100 % 100, digits / 10000);
}

// ZDA fields 2-4: day, month, four-digit year from 1980 to 2200.
int32_t ReadZdaDate(const SentenceFields& fields) {
  const int32_t day = ReadCount(FieldAt(fields, 2), 2);
  const int32_t month = ReadCount(FieldAt(fields, 3), 2);
  const int32_t year = ReadCount(FieldAt(fields, 4), 4);
  if (day < 0 || month < 0 || year < 1980 || year > 2200) return -1;
  return DaysFromDate(year, month, day);
}

// A GLL's or RMC's mode letter N: the data are not valid, whatever the status.
bool ModeLetterSaysNoFix(Field mode) { return FieldIs(mode, 'N'); }

}  // namespace

int32_t SentenceTimeOfDay(SentenceKind kind, const SentenceFields& fields) {
  switch (kind) {
    case KIND_GGA:
    case KIND_GNS:
    case KIND_RMC: return ReadTimeOfDay(FieldAt(fields, 1));
    case KIND_GLL: return ReadTimeOfDay(FieldAt(fields, 5));
    case KIND_ZDA: return ReadZdaDate(fields) >= 0 ? ReadTimeOfDay(FieldAt(fields, 1)) : -1;
    default: return -1;
  }
}

void StartEpoch(GpsNavigation* navigation, int32_t timeOfDay) {
  GpsFix& fix = navigation->fix;
  fix.latitude = fix.longitude = UNKNOWN_VALUE;
  fix.altitudeMsl = fix.geoidSeparation = fix.altitudeHae = UNKNOWN_VALUE;
  fix.speed = fix.track = UNKNOWN_VALUE;
  fix.quality = fix.satellitesUsed = GPS_UNKNOWN;
  fix.heading = UNKNOWN_VALUE;
  SetGst(&fix, timeOfDay >= 0 && timeOfDay == navigation->pendingGstAt ? navigation->pendingGst : NO_GST);
  navigation->pendingGstAt = -1;
  // Past midnight before any date came: the day moves on.
  if (navigation->date >= 0 && navigation->timeOfDay >= 0 && timeOfDay < navigation->timeOfDay - HALF_DAY_MS)
    ++navigation->date;
  navigation->timeOfDay = timeOfDay;
  UpdateFixTime(navigation);
  // A GSV group lies within one cycle: parts of the next do not complete it
  // when those between were lost.
  navigation->groupParts = 0;
}

uint32_t ReadGga(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
  GpsFix& fix = navigation->fix;
  const int32_t quality = ReadCount(FieldAt(fields, 6), 1);
  if (quality >= 0) fix.quality = quality;
  const int32_t satellites = ReadSatellitesAndHdop(&fix, fields);
  // A receiver without a fix may repeat its last position: not read.
  if (quality >= 1 && quality <= 8 && ReadPosition(&fix, fields, 2))
    SetModeFromFullFix(navigation, ReadAltitudes(&fix, fields, 11), satellites);
  else
    fix.mode = GPS_MODE_NO_FIX;
  return CHANGED_FIX;
}

uint32_t ReadGns(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GNGNS,074155.799,3114.8770,N,12135.2463,E,ANNA,05,1.3,156.9,8.3,,0000*52
  GpsFix& fix = navigation->fix;
  const int32_t satellites = ReadSatellitesAndHdop(&fix, fields);
  // One mode letter per constellation: any but N is a fix.
  const Field letters = FieldAt(fields, 6);
  bool anyFix = false;
  for (int32_t i = 0; i < letters.length; ++i) anyFix = anyFix || letters.text[i] != 'N';
  if (anyFix && ReadPosition(&fix, fields, 2))
    SetModeFromFullFix(navigation, ReadAltitudes(&fix, fields, 10), satellites);
  else
    fix.mode = GPS_MODE_NO_FIX;
  return CHANGED_FIX;
}

uint32_t ReadRmc(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GNRMC,223745.00,A,3806.62964,N,12237.61382,W,0.040,,110720,,,D,V*0E
  GpsFix& fix = navigation->fix;
  const bool valid = FieldIs(FieldAt(fields, 2), 'A');
  // Receivers without a fix send placeholder dates such as 1980-01-06.
  if (valid) {
    const int32_t date = ReadRmcDate(FieldAt(fields, 9));
    if (date >= 0) SetDate(navigation, date);
  }
  if (valid && !ModeLetterSaysNoFix(FieldAt(fields, 12)) && ReadPosition(&fix, fields, 3)) {
    ReadSpeed(FieldAt(fields, 7), METRES_PER_SECOND_PER_KNOT, &fix.speed);
    ReadTrack(FieldAt(fields, 8), &fix.track);
    SetModeFromPlainFix(&fix);
  } else {
    fix.mode = GPS_MODE_NO_FIX;
  }
  return CHANGED_FIX;
}

uint32_t ReadGll(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GPGLL,3854.5087,N,07726.4523,W,125106,A,A*55
  GpsFix& fix = navigation->fix;
  if (FieldIs(FieldAt(fields, 6), 'A') && !ModeLetterSaysNoFix(FieldAt(fields, 7)) && ReadPosition(&fix, fields, 1))
    SetModeFromPlainFix(&fix);
  else
    fix.mode = GPS_MODE_NO_FIX;
  return CHANGED_FIX;
}

uint32_t ReadZda(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GPZDA,193223.00,23,12,2007,00,00*69
  const int32_t date = ReadZdaDate(fields);
  if (date < 0) return 0;
  SetDate(navigation, date);
  return CHANGED_FIX;
}

uint32_t ReadVtg(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A*25
  if (FieldIs(FieldAt(fields, 9), 'N')) return 0;
  GpsFix& fix = navigation->fix;
  ReadTrack(FieldAt(fields, 1), &fix.track);
  if (!ReadSpeed(FieldAt(fields, 5), METRES_PER_SECOND_PER_KNOT, &fix.speed))
    ReadSpeed(FieldAt(fields, 7), METRES_PER_SECOND_PER_KMH, &fix.speed);
  return CHANGED_FIX;
}

uint32_t ReadGst(GpsNavigation* navigation, const SentenceFields& fields) {
  // $GPGST,112257.00,0.387,317.719,3.872,1.791,317.563,10.659,180.746*61
  // Every GST says all seven: what it leaves empty is unknown.
  double values[GPS_GST_VALUES];
  for (int32_t i = 0; i < GPS_GST_VALUES; ++i) {
    const Field field = FieldAt(fields, GST_FIRST_VALUE + i);
    values[i] = i == GST_ORIENTATION ? ReadAny(field) : ReadDeviation(field);
  }
  // Its own time names its epoch: one not begun yet takes it when it begins.
  const int32_t at = ReadTimeOfDay(FieldAt(fields, 1));
  if (at >= 0 && at != navigation->timeOfDay) {
    navigation->pendingGstAt = at;
    for (int32_t i = 0; i < GPS_GST_VALUES; ++i) navigation->pendingGst[i] = values[i];
    return 0;
  }
  SetGst(&navigation->fix, values);
  return CHANGED_FIX;
}

uint32_t ReadHeading(GpsNavigation* navigation, const SentenceFields& fields, bool modeField) {
  // $HEHDT,4.0,T*2B   $GNTHS,244.28,A*11
  // An empty heading, or a THS whose mode is V (not valid), says there is none now.
  GpsFix& fix = navigation->fix;
  fix.heading = UNKNOWN_VALUE;
  if (!modeField || !FieldIs(FieldAt(fields, 2), 'V')) ReadTrack(FieldAt(fields, 1), &fix.heading);
  return CHANGED_FIX;
}

uint32_t ReadGsaFix(GpsNavigation* navigation, const SentenceFields& fields, int32_t dopField) {
  // $GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0E
  GpsFix& fix = navigation->fix;
  const int32_t mode = ReadCount(FieldAt(fields, 2), 1);
  if (mode >= GPS_MODE_NO_FIX && mode <= GPS_MODE_3D) {
    fix.mode = mode;
    navigation->modeSetByGsaAt = navigation->timeOfDay;
  }
  if (dopField > 2) {
    fix.pdop = ReadDop(FieldAt(fields, dopField));
    fix.hdop = ReadDop(FieldAt(fields, dopField + 1));
    fix.vdop = ReadDop(FieldAt(fields, dopField + 2));
  }
  return CHANGED_FIX;
}

void GpsNavigationResetFix(GpsNavigation* navigation) {
  GpsFix& fix = navigation->fix;
  navigation->timeOfDay = -1;
  navigation->date = -1;
  navigation->modeSetByGsaAt = -2;
  navigation->pendingGstAt = -1;
  StartEpoch(navigation, -1);
  fix.mode = GPS_UNKNOWN;
  fix.usedSetSize = GPS_UNKNOWN;
  fix.pdop = fix.hdop = fix.vdop = UNKNOWN_VALUE;
}
