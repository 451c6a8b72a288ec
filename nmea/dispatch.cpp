// Sentence dispatch: the three-letter formatter selects the parser, whose
// record then goes to the application's callback.
#include "nmea/navigation_internal.h"
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

typedef void* (*SentenceParser)(const SentenceFields& fields, const SentenceIds& ids);

// Indexed by SentenceType.
constexpr SentenceParser SENTENCE_PARSERS[] = {
    [](const SentenceFields& f, const SentenceIds&) -> void* { return GpsParseGGA(f); },
    [](const SentenceFields& f, const SentenceIds& ids) -> void* { return GpsParseGSA(f, ids.systemId); },
    [](const SentenceFields& f, const SentenceIds& ids) -> void* { return GpsParseGSV(f, ids.signalId); },
    [](const SentenceFields& f, const SentenceIds&) -> void* { return GpsParseRMC(f); },
    [](const SentenceFields& f, const SentenceIds&) -> void* { return GpsParseGLL(f); },
    [](const SentenceFields& f, const SentenceIds&) -> void* { return GpsParseVTG(f); },
};
static_assert(sizeof SENTENCE_PARSERS / sizeof SENTENCE_PARSERS[0] == SENTENCE_TYPE_COUNT);

constexpr bool RowsFollowTypes() {
  for (int32_t i = 0; i < SENTENCE_TYPE_COUNT; ++i)
    if (SENTENCE_TABLE[i].type != i) return false;
  return true;
}
static_assert(RowsFollowTypes(), "row i of the sentence table must name SentenceType i");

// Three characters as one number: equal numbers are strncmp(a, b, 3) == 0
// for the table's formatters, which hold no NUL.
constexpr uint32_t FormatterKey(const char* formatter) {
  return static_cast<uint32_t>(static_cast<unsigned char>(formatter[0])) |
         static_cast<uint32_t>(static_cast<unsigned char>(formatter[1])) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(formatter[2])) << 16;
}

// The keys of the table's rows, in its order.
struct FormatterKeys {
  uint32_t key[SENTENCE_TYPE_COUNT];
};

constexpr FormatterKeys TableKeys() {
  FormatterKeys keys{};
  for (int32_t i = 0; i < SENTENCE_TYPE_COUNT; ++i) keys.key[i] = FormatterKey(SENTENCE_TABLE[i].formatter);
  return keys;
}

constexpr FormatterKeys SENTENCE_KEYS = TableKeys();

}  // namespace

int32_t LookupSentenceType(const char* formatter, SentenceType* type) {
  // No row holds a NUL, and nothing after one may be read.
  if (formatter[0] == '\0' || formatter[1] == '\0') return 0;
  const uint32_t key = FormatterKey(formatter);
  for (int32_t i = 0; i < SENTENCE_TYPE_COUNT; ++i) {
    if (SENTENCE_KEYS.key[i] == key) {
      *type = SENTENCE_TABLE[i].type;
      return 1;
    }
  }
  return 0;
}

int32_t GpsDispatchSentence(const char* sentence) {
  // Every verified sentence, of whatever type, before the callback: the
  // callback sees the state with its own sentence in it.
  SentenceIds ids;
  SentenceFields fields;
  GpsNavigationUpdate(sentence, &ids, &fields);
  SentenceType type;
  // Characters 1 and 2 are the talker, which may be anything.
  if (LookupSentenceType(sentence + 3, &type) == 0) {
    CountUp(gGpsContext.stats.ignored);
    return 0;
  }
  // The parsers walk the state's split; a sentence the state did not read
  // (a proprietary address ending in a decoded type) is split here.
  if (fields.count < 0) SplitSentence(sentence, &fields);
  void* record = SENTENCE_PARSERS[type](fields, ids);
  // Counted first, so that the callback's own sentence is in the count.
  CountUp(gGpsContext.stats.sentences);
  // A context made without a callback still decodes; calling null would end
  // the feeding thread.
  if (gGpsContext.callback == nullptr) return 0;
  return gGpsContext.callback(&gGpsContext, type, record, 0);
}
