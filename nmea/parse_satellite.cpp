// Parsers of the satellite sentences: GSA and GSV.
#include <cstring>

#include "nmea/field_walk.h"
#include "nmea/nmea_internal.h"

namespace {

constexpr FieldCode GSA_FIELD_ORDER[] = {
    FIELD_ADDRESS,
    FIELD_SELECTION_MODE,  // M manual, A automatic
    FIELD_MODE,            // 1 no fix, 2 2D, 3 3D
    // Satellites used in the fix, one field each: FIELD_GSA_SATELLITE_1 to _12.
    18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29,
    FIELD_PDOP,
    FIELD_HDOP,
    FIELD_VDOP,
    FIELD_END,
};
static_assert(sizeof GSA_FIELD_ORDER / sizeof GSA_FIELD_ORDER[0] == 19);
static_assert(GSA_FIELD_ORDER[3] == FIELD_GSA_SATELLITE_1);
static_assert(GSA_FIELD_ORDER[14] == FIELD_GSA_SATELLITE_12);

constexpr FieldCode GSV_FIELD_ORDER[] = {
    FIELD_ADDRESS,
    FIELD_GSV_MESSAGE_COUNT,   // messages in this cycle
    FIELD_GSV_MESSAGE_NUMBER,  // 1 to the count
    FIELD_SATELLITES,          // satellites in view
    FIELD_GSV_PRN, FIELD_GSV_ELEVATION, FIELD_GSV_AZIMUTH, FIELD_GSV_SNR,  // group 1
    FIELD_GSV_PRN, FIELD_GSV_ELEVATION, FIELD_GSV_AZIMUTH, FIELD_GSV_SNR,  // group 2
    FIELD_GSV_PRN, FIELD_GSV_ELEVATION, FIELD_GSV_AZIMUTH, FIELD_GSV_SNR,  // group 3
    FIELD_GSV_PRN, FIELD_GSV_ELEVATION, FIELD_GSV_AZIMUTH, FIELD_GSV_SNR,  // group 4
    FIELD_END,  // a signal id (NMEA 4.10) may follow; it is not read
};
static_assert(sizeof GSV_FIELD_ORDER / sizeof GSV_FIELD_ORDER[0] == 21);

constexpr int32_t GSV_FIRST_GROUP_INDEX = 4;
constexpr int32_t GSV_GROUP_SIZE = 4;
constexpr int32_t GSV_MAX_SATELLITES = 4;

// Which slot the group being walked writes to.
struct GsvSlots {
  int32_t slotGroup;     // the group that last wrote to the slot satelliteCount selects
  int32_t countedGroup;  // the group whose azimuth was stored last
};

int32_t GsvGroupOf(int32_t index) { return (index - GSV_FIRST_GROUP_INDEX) / GSV_GROUP_SIZE; }

// The slot of the group that the field at index belongs to.  A group without
// an azimuth is not counted and the next group takes its slot; the slot is
// cleared then, so it never mixes two satellites.
GsvSatellite* GsvGroupSlot(GsvRecord* record, int32_t index, GsvSlots* slots) {
  GsvSatellite* slot = &record->satellite[record->satelliteCount];
  const int32_t group = GsvGroupOf(index);
  if (group != slots->slotGroup) {
    std::memset(slot, 0, sizeof *slot);
    slots->slotGroup = group;
  }
  return slot;
}

// The ratio follows the azimuth, so a counted group's ratio goes to the slot
// just counted; an uncounted group's to the slot it shares with the next.
GsvSatellite* GsvRatioSlot(GsvRecord* record, int32_t index, GsvSlots* slots) {
  if (GsvGroupOf(index) == slots->countedGroup) return &record->satellite[record->satelliteCount - 1];
  return GsvGroupSlot(record, index, slots);
}

}  // namespace

GsaRecord* GpsParseGSA(const SentenceFields& fields, int32_t systemId) {
  // $GPGSA,A,3,03,07,08,11,13,16,19,23,24,28,,,3.6,2.0,3.0*3A
  const char* sentence = fields.sentence;
  GsaRecord* record = &gGpsContext.gsa;
  std::memset(record, 0, sizeof *record);
  CopyTalker(sentence, record->talker);
  record->systemId = systemId;
  int32_t nextSlot = 0;
  const char* end = sentence + GPS_SENTENCE_SIZE;
  WalkFields(fields, GSA_FIELD_ORDER, [&](FieldCode code, int32_t, const char* field) {
    switch (code) {
      case FIELD_SELECTION_MODE: record->selectionMode = field[0]; break;
      case FIELD_MODE: record->fixMode = field[0]; break;
      case FIELD_PDOP: DecodeFloat(field, &record->pdop, end); break;
      case FIELD_HDOP: DecodeFloat(field, &record->hdop, end); break;
      case FIELD_VDOP: DecodeFloat(field, &record->vdop, end); break;
      default:
        // Empty satellite fields take no slot, so the twelve codes fill the
        // slots from the front.
        if (code >= FIELD_GSA_SATELLITE_1 && code <= FIELD_GSA_SATELLITE_12)
          DecodeIntN(field, 3, &record->satellites[nextSlot++], end);
        break;
    }
  });
  return record;
}

GsvRecord* GpsParseGSV(const SentenceFields& fields, int32_t signalId) {
  // $GPGSV,3,1,10,03,41,050,46,07,60,317,49,08,34,315,45,11,35,148,45*71
  const char* sentence = fields.sentence;
  GsvRecord* record = &gGpsContext.gsv;
  std::memset(record, 0, sizeof *record);
  CopyTalker(sentence, record->talker);
  record->signalId = signalId;
  GsvSlots slots = {-1, -1};
  const char* end = sentence + GPS_SENTENCE_SIZE;
  WalkFields(fields, GSV_FIELD_ORDER, [&](FieldCode code, int32_t index, const char* field) {
    switch (code) {
      case FIELD_GSV_MESSAGE_COUNT: DecodeIntN(field, 2, &record->messageCount, end); break;
      case FIELD_GSV_MESSAGE_NUMBER: DecodeIntN(field, 2, &record->messageNumber, end); break;
      case FIELD_SATELLITES: DecodeIntN(field, 2, &record->satellitesInView, end); break;
      // Three digits: SBAS (120-158), QZSS (193-202) and older BeiDou (201-237)
      // numbers.
      case FIELD_GSV_PRN:
        DecodeIntN(field, 3, &GsvGroupSlot(record, index, &slots)->prn, end);
        break;
      case FIELD_GSV_ELEVATION:
        DecodeIntN(field, 2, &GsvGroupSlot(record, index, &slots)->elevation, end);
        break;
      case FIELD_GSV_AZIMUTH:
        DecodeIntN(field, 3, &GsvGroupSlot(record, index, &slots)->azimuth, end);
        ++record->satelliteCount;
        slots.countedGroup = GsvGroupOf(index);
        break;
      case FIELD_GSV_SNR:
        DecodeIntN(field, 3, &GsvRatioSlot(record, index, &slots)->snr, end);
        break;
      default: break;
    }
  });
  // Slots from satelliteCount on hold nothing, not even an uncounted group.
  if (record->satelliteCount < GSV_MAX_SATELLITES)
    std::memset(&record->satellite[record->satelliteCount], 0, sizeof(GsvSatellite));
  return record;
}
