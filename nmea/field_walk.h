// The field walk shared by the six parsers, inline because it runs for every
// field of every sentence.
#ifndef ORVOGPS_FIELD_WALK_H
#define ORVOGPS_FIELD_WALK_H

#include <cstdint>
#include <cstring>

#include "nmea/compiler_support.h"
#include "nmea/field_decode.h"

// Adds 1 to *index and returns the code there.  No bounds test: walks stop
// at FIELD_END, the last entry of every table.
inline FieldCode NextFieldCode(const FieldCode* table, int32_t* index) {
  ++*index;
  return table[*index];
}

// The walk over one sentence: each call of FieldWalkNext moves to the next
// non-empty field after the address field and gives its code.  A ',' or the
// '*' ends a field; the walk ends at the '*', at FIELD_END, or at the end of
// the buffer.  The separators are found eight characters at a time, in
// blocks counted from the sentence's '$', so that no block reaches past the
// buffer.
struct FieldWalk {
  const char* field;      // first character of the current field
  const char* separator;  // the ',' or '*' that ends it
  const char* block;      // the block holding the separators still pending
  uint64_t pending;       // high bit of each byte of the block that is a separator after the current one
  const char* end;        // one past the last readable character
  const FieldCode* table;
  int32_t index;
  FieldCode code;  // the current field's code
};

// An ended walk's separator, so that a further call ends it again at once.
inline constexpr char FIELD_WALK_ENDED[] = "*";

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

// Moves the separator to the next one; false when none is left before the
// end of the buffer, which never happens for a framed sentence.
inline bool FieldWalkAdvance(FieldWalk* walk) {
  while (walk->pending == 0) {
    walk->block += 8;
    if (walk->block == walk->end) return false;
    walk->pending = SeparatorBits(walk->block);
  }
  walk->separator = walk->block + CountTrailingZeros64(walk->pending) / 8;
  walk->pending &= walk->pending - 1;
  return true;
}

// The sentence's '$' starts a buffer of GPS_SENTENCE_SIZE characters, a
// whole number of blocks.
static_assert(GPS_SENTENCE_SIZE % 8 == 0);

inline void FieldWalkStart(FieldWalk* walk, const char* sentence, const FieldCode* table) {
  walk->field = sentence;
  walk->block = sentence;
  walk->pending = SeparatorBits(sentence);
  walk->end = sentence + GPS_SENTENCE_SIZE;
  walk->table = table;
  walk->index = 0;
  walk->code = FIELD_ADDRESS;
  if (!FieldWalkAdvance(walk)) walk->separator = FIELD_WALK_ENDED;
}

inline bool FieldWalkNext(FieldWalk* walk) {
  while (*walk->separator != '*') {
    walk->code = NextFieldCode(walk->table, &walk->index);
    if (walk->code == FIELD_END) break;
    walk->field = walk->separator + 1;
    // Without a '*' inside the buffer the last field has no end and is not
    // decoded.
    if (!FieldWalkAdvance(walk)) break;
    if (walk->separator != walk->field) return true;
  }
  walk->separator = FIELD_WALK_ENDED;
  return false;
}

#endif
