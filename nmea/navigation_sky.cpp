// The sky rules: GSV groups put together into one sky across constellations,
// and the satellites that runs of GSA sentences name as used.
#include <limits>

#include "nmea/navigation_internal.h"

namespace {

constexpr float UNKNOWN_FLOAT = std::numeric_limits<float>::quiet_NaN();

// GSV: fields 1 and 2 the parts and the part, 3 the satellites in view, then
// groups of four from field 4.
constexpr int32_t GSV_FIRST_GROUP = 4;
constexpr int32_t GSV_GROUP_FIELDS = 4;
// GSA: satellite numbers from field 3; twelve of them in the standard layout,
// whose DOPs are fields 15 to 17 and whose system id is field 18.
constexpr int32_t GSA_FIRST_NUMBER = 3;
constexpr int32_t GSA_STANDARD_LAST = 17;
constexpr int32_t GSA_STANDARD_DOPS = 15;

int32_t SatelliteBit(int32_t constellation, int32_t svid) { return constellation * 256 + svid; }

bool HasBit(const uint64_t* set, int32_t bit) { return (set[bit / 64] >> (bit % 64) & 1) != 0; }

void SetBit(uint64_t* set, int32_t bit) { set[bit / 64] |= uint64_t{1} << (bit % 64); }

void ClearSet(uint64_t* set) {
  for (int32_t i = 0; i < GPS_USED_SET_WORDS; ++i) set[i] = 0;
}

// A value within [low, high], else unknown.
float ReadBounded(Field field, double low, double high) {
  double value;
  if (!ReadDecimal(field, &value) || value < low || value > high) return UNKNOWN_FLOAT;
  return static_cast<float>(value);
}

void DropGroup(GpsNavigation* navigation) { navigation->groupParts = 0; }

// One group of four (satellite number, elevation, azimuth, SNR) into the GSV
// group being collected.
void CollectSignal(GpsNavigation* navigation, Field number, Field elevation, Field azimuth, Field snr,
                   NumberHint hint, int32_t signalId) {
  const int32_t nmea = ReadCount(number, 3);
  int32_t constellation;
  int32_t svid;
  if (nmea < 0 || !PlaceSatellite(nmea, hint, &constellation, &svid)) return;
  if (navigation->groupCount == GPS_SKY_SIZE) {
    ++navigation->groupNotShown;
    return;
  }
  GpsSignal& signal = navigation->group[navigation->groupCount++];
  signal.constellation = constellation;
  signal.svid = svid;
  signal.signalId = signalId;
  signal.used = 0;
  signal.elevation = ReadBounded(elevation, -90, 90);
  signal.azimuth = ReadBounded(azimuth, 0, 360);
  if (signal.azimuth == 360.0f) signal.azimuth = 0.0f;
  signal.snr = ReadBounded(snr, 0, 99);
}

// The groups of four from field 4 up to lastField; the last may be cut short.
void CollectSignals(GpsNavigation* navigation, const SentenceFields& fields, int32_t lastField, NumberHint hint,
                    int32_t signalId) {
  int32_t first = GSV_FIRST_GROUP;
  for (; first + GSV_GROUP_FIELDS - 1 <= lastField; first += GSV_GROUP_FIELDS)
    CollectSignal(navigation, FieldIn(fields, first), FieldIn(fields, first + 1), FieldIn(fields, first + 2),
                  FieldIn(fields, first + 3), hint, signalId);
  if (first > lastField) return;
  const Field none = {"", 0};
  CollectSignal(navigation, FieldIn(fields, first), first + 1 <= lastField ? FieldIn(fields, first + 1) : none,
                first + 2 <= lastField ? FieldIn(fields, first + 2) : none, none, hint, signalId);
}

// A signal already in the sky (a receiver that lists a satellite in two
// groups) is replaced, not shown twice.
int32_t FindSignal(const GpsSky& sky, const GpsSignal& signal) {
  for (int32_t i = 0; i < sky.signalCount; ++i) {
    const GpsSignal& s = sky.signals[i];
    if (s.constellation == signal.constellation && s.svid == signal.svid && s.signalId == signal.signalId) return i;
  }
  return -1;
}

// Used: the satellite is in the used set, and this signal of it is tracked.
int32_t UsedFlag(const GpsNavigation* navigation, const GpsSignal& signal, int32_t bit) {
  return HasBit(navigation->usedSet, bit) & (signal.snr > 0);
}

// The sky emptied: no signal, none used, no chains.
void EmptySky(GpsNavigation* navigation) {
  GpsSky& sky = navigation->sky;
  for (int32_t i = 0; i < sky.signalCount; ++i) navigation->firstSignal[navigation->skyBits[i]] = GPS_NO_SIGNAL;
  sky.signalCount = 0;
  sky.usedCount = 0;
  sky.notShown = 0;
  ClearSet(navigation->skySatellites);
}

// The run's first complete group replaces the sky, its later ones add to it;
// each signal placed takes its used flag.
void CommitGroup(GpsNavigation* navigation) {
  GpsSky& sky = navigation->sky;
  if (!navigation->runReplacedSky) {
    EmptySky(navigation);
    navigation->runReplacedSky = 1;
  }
  for (int32_t i = 0; i < navigation->groupCount; ++i) {
    GpsSignal& signal = navigation->group[i];
    const int32_t bit = SatelliteBit(signal.constellation, signal.svid);
    signal.used = UsedFlag(navigation, signal, bit);
    const int32_t found = HasBit(navigation->skySatellites, bit) ? FindSignal(sky, signal) : -1;
    if (found >= 0) {
      sky.usedCount += signal.used - sky.signals[found].used;
      sky.signals[found] = signal;
    } else if (sky.signalCount < GPS_SKY_SIZE) {
      const int32_t at = sky.signalCount++;
      navigation->skyBits[at] = static_cast<uint16_t>(bit);
      navigation->nextSignal[at] = navigation->firstSignal[bit];
      navigation->firstSignal[bit] = static_cast<uint8_t>(at);
      sky.signals[at] = signal;
      sky.usedCount += signal.used;
      SetBit(navigation->skySatellites, bit);
    } else {
      ++sky.notShown;
    }
  }
  sky.notShown += navigation->groupNotShown;
  DropGroup(navigation);
}

// A satellite the used set names now: its tracked signals are used.  True
// when a flag changed.
bool MarkUsed(GpsNavigation* navigation, int32_t bit) {
  GpsSky& sky = navigation->sky;
  bool changed = false;
  for (int32_t i = navigation->firstSignal[bit]; i != GPS_NO_SIGNAL; i = navigation->nextSignal[i]) {
    GpsSignal& signal = sky.signals[i];
    if (signal.used || !(signal.snr > 0)) continue;
    signal.used = 1;
    ++sky.usedCount;
    changed = true;
  }
  return changed;
}

// A new used set: no signal is used until its satellite is named.  True when
// a flag changed.
bool ClearUsed(GpsNavigation* navigation) {
  GpsSky& sky = navigation->sky;
  if (sky.usedCount == 0) return false;
  for (int32_t i = 0; i < sky.signalCount; ++i) sky.signals[i].used = 0;
  sky.usedCount = 0;
  return true;
}

}  // namespace

int32_t GsvSignalId(const SentenceFields& fields, int32_t lastField) {
  if (lastField < GSV_FIRST_GROUP || (lastField - GSV_FIRST_GROUP) % GSV_GROUP_FIELDS != 0) return GPS_UNKNOWN;
  const int32_t id = ReadHexDigit(FieldAt(fields, lastField));
  return id >= 0 ? id : GPS_UNKNOWN;
}

int32_t GsaSystemId(const SentenceFields& fields, int32_t systemIdField) {
  int32_t field = systemIdField;
  if (field == 0 && fields.count - 1 == GSA_STANDARD_LAST + 1) field = GSA_STANDARD_LAST + 1;
  if (field == 0) return GPS_UNKNOWN;
  const int32_t id = ReadHexDigit(FieldAt(fields, field));
  return id >= 0 ? id : GPS_UNKNOWN;
}

int32_t GsaDopField(const SentenceFields& fields, int32_t systemIdField) {
  const int32_t last = systemIdField > 0 ? systemIdField - 1 : fields.count - 1;
  // An 18th field is the system id (SiRF-TriG sends another number there).
  if (last == GSA_STANDARD_LAST || last == GSA_STANDARD_LAST + 1) return GSA_STANDARD_DOPS;
  // Receivers that list more or fewer than twelve satellites end on the DOPs.
  return last - 2 > GSA_FIRST_NUMBER - 1 ? last - 2 : 0;
}

uint32_t ReadGsv(GpsNavigation* navigation, const SentenceFields& fields, int32_t systemIdField, int32_t signalId,
                 bool newRun) {
  // $GPGSV,4,1,16,05,01,047,,10,29,224,,13,22,062,23,15,40,094,,1*65
  if (newRun) navigation->runReplacedSky = 0;
  const int32_t parts = ReadCount(FieldAt(fields, 1), 2);
  const int32_t part = ReadCount(FieldAt(fields, 2), 2);
  const char* talker = fields.sentence + 1;
  if (parts < 1 || part < 1 || part > parts) {
    DropGroup(navigation);
    return 0;
  }
  if (part == 1) {
    navigation->groupTalker[0] = talker[0];
    navigation->groupTalker[1] = talker[1];
    navigation->groupSystemId = systemIdField > 0 ? ReadHexDigit(FieldAt(fields, systemIdField)) : GPS_UNKNOWN;
    navigation->groupParts = parts;
    navigation->groupCount = 0;
    navigation->groupNotShown = 0;
  } else if (navigation->groupParts != parts || part != navigation->groupLastPart + 1 ||
             navigation->groupTalker[0] != talker[0] || navigation->groupTalker[1] != talker[1]) {
    // A part lost or out of order: the sky shows no half groups.
    DropGroup(navigation);
    return 0;
  }
  navigation->groupLastPart = part;
  const int32_t lastField = systemIdField > 0 ? systemIdField - 1 : fields.count - 1;
  // The signal id is taken per sentence: some receivers change it inside a group.
  const int32_t lastGroupField = signalId == GPS_UNKNOWN ? lastField : lastField - 1;
  CollectSignals(navigation, fields, lastGroupField, HintOf(navigation->groupSystemId, navigation->groupTalker),
                 signalId);
  if (part != parts) return 0;
  CommitGroup(navigation);
  return CHANGED_SKY;
}

uint32_t ReadGsaUsed(GpsNavigation* navigation, const SentenceFields& fields, int32_t systemId, int32_t dopField,
                     bool newRun) {
  // $GNGSA,A,3,82,73,74,67,81,83,68,,,,,,0.99,0.54,0.83,2*08
  GpsFix& fix = navigation->fix;
  // One GSA per constellation: a run of them names the used set together.
  bool changed = false;
  if (newRun) {
    ClearSet(navigation->usedSet);
    fix.usedSetSize = 0;
    changed = ClearUsed(navigation);
  }
  const NumberHint hint = HintOf(systemId, fields.sentence + 1);
  for (int32_t i = GSA_FIRST_NUMBER; i < dopField; ++i) {
    const int32_t number = ReadCount(FieldAt(fields, i), 3);
    int32_t constellation;
    int32_t svid;
    if (number < 0 || !PlaceSatellite(number, hint, &constellation, &svid)) continue;
    const int32_t bit = SatelliteBit(constellation, svid);
    if (HasBit(navigation->usedSet, bit)) continue;
    SetBit(navigation->usedSet, bit);
    ++fix.usedSetSize;
    changed |= MarkUsed(navigation, bit);
  }
  return changed ? CHANGED_FIX | CHANGED_SKY : CHANGED_FIX;
}

void GpsNavigationResetSky(GpsNavigation* navigation) {
  for (uint8_t& first : navigation->firstSignal) first = GPS_NO_SIGNAL;
  navigation->sky.signalCount = 0;
  EmptySky(navigation);
  navigation->runReplacedSky = 0;
  DropGroup(navigation);
  ClearSet(navigation->usedSet);
}
