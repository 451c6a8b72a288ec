// Which constellation an NMEA satellite number belongs to, and its number
// there.  Receivers number satellites in many ways: GPS 1-32 everywhere, but
// BeiDou 1-63 under a GB talker and 201-263 under GP or GN, GLONASS slots as
// 65-96, SBAS as 33-64 or as its PRN 120-158, QZSS as 193-202.
#include <cstddef>

#include "nmea/navigation_internal.h"

namespace {

// Numbers from low to high are the constellation's number + offset.
struct NumberRange {
  int32_t constellation;
  int32_t low;
  int32_t high;
  int32_t offset;
};

// The ranges a hint other than GPS allows, tried in order.
constexpr NumberRange HINTED_RANGES[] = {
    {CONSTELLATION_GLONASS, 1, 64, 0},       {CONSTELLATION_GLONASS, 65, 96, 64},
    {CONSTELLATION_GALILEO, 1, 99, 0},       {CONSTELLATION_GALILEO, 101, 199, 100},
    {CONSTELLATION_GALILEO, 301, 399, 300},  {CONSTELLATION_BEIDOU, 1, 99, 0},
    {CONSTELLATION_BEIDOU, 201, 299, 200},   {CONSTELLATION_BEIDOU, 401, 499, 400},
    {CONSTELLATION_QZSS, 1, 10, 0},          {CONSTELLATION_QZSS, 193, 202, 192},
    {CONSTELLATION_NAVIC, 1, 99, 0},
};

// Without a hint: the numbering that NMEA 4.x and gpsd share.
constexpr NumberRange PLAIN_RANGES[] = {
    {CONSTELLATION_GPS, 1, 32, 0},
    {CONSTELLATION_SBAS, 33, 64, -87},  // SBAS PRN 120-151
    {CONSTELLATION_GLONASS, 65, 96, 64},
    {CONSTELLATION_SBAS, 120, 158, 0},
    {CONSTELLATION_QZSS, 193, 200, 192},
    {CONSTELLATION_BEIDOU, 201, 263, 200},  // SiRF and older u-blox
    {CONSTELLATION_GALILEO, 301, 336, 300},
    {CONSTELLATION_BEIDOU, 401, 463, 400},
};

// Receivers that send a system id with GPS also number SBAS and QZSS under
// it, but nothing beyond 200.
constexpr int32_t SYSTEM_ID_PLAIN_LIMIT = 200;

// NMEA 4.10 system ids 1 to 6.
constexpr int32_t SYSTEM_ID_CONSTELLATIONS[] = {NO_HINT,
                                                CONSTELLATION_GPS,
                                                CONSTELLATION_GLONASS,
                                                CONSTELLATION_GALILEO,
                                                CONSTELLATION_BEIDOU,
                                                CONSTELLATION_QZSS,
                                                CONSTELLATION_NAVIC};

struct TalkerHint {
  char talker[3];
  int32_t constellation;
};

// GP, GN and the rest name no single constellation.
constexpr TalkerHint TALKER_HINTS[] = {
    {"GA", CONSTELLATION_GALILEO}, {"GB", CONSTELLATION_BEIDOU}, {"BD", CONSTELLATION_BEIDOU},
    {"GL", CONSTELLATION_GLONASS}, {"GQ", CONSTELLATION_QZSS},   {"QZ", CONSTELLATION_QZSS},
    {"GI", CONSTELLATION_NAVIC},
};

// With constellation NO_HINT, every row counts.
template <size_t N>
bool PlaceIn(const NumberRange (&ranges)[N], int32_t constellation, int32_t number, int32_t* placed,
             int32_t* svid) {
  for (const NumberRange& range : ranges) {
    if (constellation != NO_HINT && range.constellation != constellation) continue;
    if (number < range.low || number > range.high) continue;
    *placed = range.constellation;
    *svid = number - range.offset;
    return true;
  }
  return false;
}

}  // namespace

NumberHint HintOf(int32_t systemId, const char* talker) {
  constexpr int32_t count = sizeof SYSTEM_ID_CONSTELLATIONS / sizeof SYSTEM_ID_CONSTELLATIONS[0];
  if (systemId >= 0 && systemId < count && SYSTEM_ID_CONSTELLATIONS[systemId] != NO_HINT)
    return {SYSTEM_ID_CONSTELLATIONS[systemId], 1};
  // GP and GN, most talkers, name no constellation of their own.
  if (talker[0] == 'G' && (talker[1] == 'P' || talker[1] == 'N')) return {NO_HINT, 0};
  for (const TalkerHint& hint : TALKER_HINTS)
    if (talker[0] == hint.talker[0] && talker[1] == hint.talker[1]) return {hint.constellation, 0};
  return {NO_HINT, 0};
}

bool PlaceSatelliteBeyondGps(int32_t number, NumberHint hint, int32_t* constellation, int32_t* svid) {
  if (hint.constellation != NO_HINT && hint.constellation != CONSTELLATION_GPS) {
    if (PlaceIn(HINTED_RANGES, hint.constellation, number, constellation, svid)) return true;
    // A number outside the talker's constellation is read as if no talker
    // had hinted; a system id leaves no such doubt.
    if (hint.fromSystemId) return false;
  }
  if (hint.fromSystemId && number > SYSTEM_ID_PLAIN_LIMIT) return false;
  return PlaceIn(PLAIN_RANGES, NO_HINT, number, constellation, svid);
}
