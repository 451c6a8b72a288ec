// Sentence dispatch: the three-letter formatter selects the parser, whose
// record then goes to the application's callback.
#include "nmea/nmea_internal.h"

namespace {

struct SentenceRow {
  const char* formatter;
  SentenceType type;
};

constexpr SentenceRow SENTENCE_TABLE[] = {
    {"GGA", SENTENCE_GGA},  // fix data: time, position, quality, HDOP, altitude
    {"GSA", SENTENCE_GSA},  // DOP and the satellites used in the fix
    {"GSV", SENTENCE_GSV},  // satellites in view, four per message
    {"RMC", SENTENCE_RMC},  // recommended minimum: position, speed, course, date
    {"GLL", SENTENCE_GLL},  // geographic position
    {"VTG", SENTENCE_VTG},  // course and speed over ground
    {nullptr, 0},
};
static_assert(sizeof SENTENCE_TABLE / sizeof SENTENCE_TABLE[0] == SENTENCE_TYPE_COUNT + 1);

typedef void* (*SentenceParser)(const char* sentence);

// Indexed by SentenceType.
constexpr SentenceParser SENTENCE_PARSERS[] = {
    [](const char* s) -> void* { return GpsParseGGA(s); },
    [](const char* s) -> void* { return GpsParseGSA(s); },
    [](const char* s) -> void* { return GpsParseGSV(s); },
    [](const char* s) -> void* { return GpsParseRMC(s); },
    [](const char* s) -> void* { return GpsParseGLL(s); },
    [](const char* s) -> void* { return GpsParseVTG(s); },
};
static_assert(sizeof SENTENCE_PARSERS / sizeof SENTENCE_PARSERS[0] == SENTENCE_TYPE_COUNT);

constexpr bool RowsFollowTypes() {
  for (int32_t i = 0; i < SENTENCE_TYPE_COUNT; ++i)
    if (SENTENCE_TABLE[i].type != i) return false;
  return true;
}
static_assert(RowsFollowTypes(), "row i of the sentence table must name SentenceType i");

// strncmp(formatter, row, 3) == 0 for a row of three non-NUL letters.
bool SameFormatter(const char* formatter, const char* row) {
  return formatter[0] == row[0] && formatter[1] == row[1] && formatter[2] == row[2];
}

}  // namespace

int32_t LookupSentenceType(const char* formatter, SentenceType* type) {
  for (const SentenceRow* row = SENTENCE_TABLE; row->formatter != nullptr; ++row) {
    if (SameFormatter(formatter, row->formatter)) {
      *type = row->type;
      return 1;
    }
  }
  return 0;
}

int32_t GpsDispatchSentence(const char* sentence) {
  SentenceType type;
  // Characters 1 and 2 are the talker, which may be anything.
  if (LookupSentenceType(sentence + 3, &type) == 0) return 0;
  void* record = SENTENCE_PARSERS[type](sentence);
  return gGpsContext.callback(&gGpsContext, type, record, 0);
}
