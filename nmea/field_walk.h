// The field walk shared by the six parsers, inline because it runs for every
// field of every sentence, and the separator search of the address.
#ifndef ORVOGPS_FIELD_WALK_H
#define ORVOGPS_FIELD_WALK_H

#include <cstdint>
#include <cstring>

#include "nmea/compiler_support.h"
#include "nmea/field_decode.h"
#include "nmea/sentence_fields.h"

// The walk over one sentence's fields, as the navigation state split them:
// each non-empty field after the address field, up to the last field or the
// table's FIELD_END, goes to decode(code, index, first character).  The
// field-order table says what each field means.
template <typename Decode>
ORVO_ALWAYS_INLINE void WalkFields(const SentenceFields& fields, const FieldCode* table, Decode decode) {
  for (int32_t i = 1; i < fields.count; ++i) {
    const FieldCode code = table[i];
    if (code == FIELD_END) return;
    const int32_t start = fields.start[i];
    if (fields.start[i + 1] - start > 1) decode(code, i, fields.sentence + start);
  }
}

constexpr uint64_t FIELD_WALK_ONES = 0x0101010101010101u;
constexpr uint64_t FIELD_WALK_LOW_BITS = 0x7F7F7F7F7F7F7F7Fu;
constexpr uint64_t FIELD_WALK_HIGH_BITS = 0x8080808080808080u;

// The high bit of each byte of the eight characters that is a ',' or a '*'.
// A byte x is zero exactly where ((x & 0x7F) + 0x7F) | x leaves its high bit
// clear, and that sum carries into no other byte.
inline uint64_t SeparatorBits(const char* block) {
  uint64_t word;
  std::memcpy(&word, block, sizeof word);
  const uint64_t comma = word ^ (FIELD_WALK_ONES * ',');
  const uint64_t star = word ^ (FIELD_WALK_ONES * '*');
  const uint64_t commaLeft = ((comma & FIELD_WALK_LOW_BITS) + FIELD_WALK_LOW_BITS) | comma;
  const uint64_t starLeft = ((star & FIELD_WALK_LOW_BITS) + FIELD_WALK_LOW_BITS) | star;
  return ~(commaLeft & starLeft) & FIELD_WALK_HIGH_BITS;
}

#endif
