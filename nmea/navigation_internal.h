// Internal interfaces of the navigation state: the kinds of sentence it
// reads, the fix and sky rules, and satellite numbering.
#ifndef ORVOGPS_NAVIGATION_INTERNAL_H
#define ORVOGPS_NAVIGATION_INTERNAL_H

#include <cstdint>

#include "nmea/navigation.h"
#include "nmea/sentence_fields.h"

// What the state makes of a sentence's address.
enum SentenceKind : int32_t {
  KIND_OTHER,  // read by nothing; ends a run of GSV or GSA sentences
  KIND_GGA,
  KIND_GNS,
  KIND_RMC,
  KIND_GLL,
  KIND_ZDA,
  KIND_VTG,
  KIND_GSA,
  KIND_GSV,
  KIND_GST,
  KIND_HDT,
  KIND_THS
};

// What a rule changed, for publishing.
enum : uint32_t { CHANGED_FIX = 1, CHANGED_SKY = 2 };

// Clears the state: everything unknown, an empty sky, no epoch callback.
void GpsNavigationReset(GpsNavigation* navigation);
void GpsNavigationResetFix(GpsNavigation* navigation);
void GpsNavigationResetSky(GpsNavigation* navigation);

// What the state reads of a sentence that its record carries too.
struct SentenceIds {
  int32_t signalId;  // of a GSV, else GPS_UNKNOWN
  int32_t systemId;  // of a GSA, else GPS_UNKNOWN
};

// Reads one verified sentence into the state of the one context and publishes
// what changed; calls the epoch callback when the sentence completes an epoch.
// *fields is its split when the state read it, else its count is -1.
void GpsNavigationUpdate(const char* sentence, SentenceIds* ids, SentenceFields* fields);

// The NMEA 4.10 signal id of a GSV sentence (after its whole groups of four,
// one field of one hexadecimal digit), else GPS_UNKNOWN.  lastField is the
// index of its last field that is not a $PQ system id.
int32_t GsvSignalId(const SentenceFields& fields, int32_t lastField);

// The NMEA 4.10 system id of a GSA sentence (field 18, or the last field of
// $PQGSA), else GPS_UNKNOWN.
int32_t GsaSystemId(const SentenceFields& fields, int32_t systemIdField);

// The first of a GSA sentence's three DOP fields: 15, or in a sentence with
// another count of fields its third last; its satellite numbers lie between
// field 3 and it.  0 when it has no room for them.
int32_t GsaDopField(const SentenceFields& fields, int32_t systemIdField);

// How a sentence's satellite numbers are placed: the constellation that its
// system id (NMEA 4.10: 1 GPS ... 6 NavIC), or else its talker, names, if any.
struct NumberHint {
  int32_t constellation;  // NO_HINT for none
  int32_t fromSystemId;
};
constexpr int32_t NO_HINT = -1;

// systemId is the sentence's system id (GPS_UNKNOWN without one), talker its
// two letters.
NumberHint HintOf(int32_t systemId, const char* talker);

// Places an NMEA satellite number: the constellation and its own number.
// False when the number cannot be placed.
bool PlaceSatelliteBeyondGps(int32_t number, NumberHint hint, int32_t* constellation, int32_t* svid);

// Most numbers are GPS 1-32 without a hint for another constellation: those
// are placed in line.
inline bool PlaceSatellite(int32_t number, NumberHint hint, int32_t* constellation, int32_t* svid) {
  if ((hint.constellation == NO_HINT || hint.constellation == CONSTELLATION_GPS) && number >= 1 && number <= 32) {
    *constellation = CONSTELLATION_GPS;
    *svid = number;
    return true;
  }
  return PlaceSatelliteBeyondGps(number, hint, constellation, svid);
}

// The fix rules: each reads one kind of sentence into the working fix and
// returns what it changed.  The sentence's time has been taken already.
uint32_t ReadGga(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadGns(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadRmc(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadGll(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadZda(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadVtg(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadGst(GpsNavigation* navigation, const SentenceFields& fields);
uint32_t ReadHeading(GpsNavigation* navigation, const SentenceFields& fields, bool modeField);
uint32_t ReadGsaFix(GpsNavigation* navigation, const SentenceFields& fields, int32_t dopField);

// The sky rules.  newRun: the sentence before was of another kind.
uint32_t ReadGsv(GpsNavigation* navigation, const SentenceFields& fields, int32_t systemIdField, int32_t signalId,
                 bool newRun);
uint32_t ReadGsaUsed(GpsNavigation* navigation, const SentenceFields& fields, int32_t systemId, int32_t dopField,
                     bool newRun);

// The time of day a sentence of this kind carries (milliseconds), else -1.
int32_t SentenceTimeOfDay(SentenceKind kind, const SentenceFields& fields);

// Starts the epoch of a new time of day: per-epoch values become unknown, the
// date moves on a day when the time jumps back by more than 12 hours.
void StartEpoch(GpsNavigation* navigation, int32_t timeOfDay);

#endif
