// The field walk shared by the six parsers, inline because it runs for every
// field of every sentence.
#ifndef ORVOGPS_FIELD_WALK_H
#define ORVOGPS_FIELD_WALK_H

#include <cstdint>
#include <cstring>

#include "nmea/field_decode.h"

// Adds 1 to *index and returns the code there.  No bounds test: walks stop
// at FIELD_END, the last entry of every table.
inline FieldCode NextFieldCode(const FieldCode* table, int32_t* index) {
  ++*index;
  return table[*index];
}

// The walk over one sentence: each call of FieldWalkNext moves to the next
// non-empty field and gives its code.  A ',' or the '*' ends a field; the
// walk ends at the '*', at FIELD_END, or at the end of the buffer.
struct FieldWalk {
  const char* field;      // first character of the current field
  const char* separator;  // the ',' or '*' that ends it; null before the first field
  const char* end;        // one past the last readable character
  const FieldCode* table;
  int32_t index;
  FieldCode code;  // the current field's code
  bool done;
};

constexpr uint64_t FIELD_WALK_ONES = 0x0101010101010101u;
constexpr uint64_t FIELD_WALK_HIGH_BITS = 0x8080808080808080u;

// The first ',' or '*' from p on, or end.  Eight characters at a time: a
// byte of the word equals c where (x - 1) & ~x has its high bit, x being the
// byte XOR c; a borrow can mark only bytes after the first match.
inline const char* FindSeparator(const char* p, const char* end) {
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const uint64_t comma = word ^ (FIELD_WALK_ONES * ',');
    const uint64_t star = word ^ (FIELD_WALK_ONES * '*');
    const uint64_t found =
        (((comma - FIELD_WALK_ONES) & ~comma) | ((star - FIELD_WALK_ONES) & ~star)) & FIELD_WALK_HIGH_BITS;
    if (found != 0) return p + __builtin_ctzll(found) / 8;
  }
  while (p < end && *p != ',' && *p != '*') ++p;
  return p;
}

// The sentence's '$' starts a buffer of GPS_SENTENCE_SIZE characters.
inline void FieldWalkStart(FieldWalk* walk, const char* sentence, const FieldCode* table) {
  walk->field = sentence;
  walk->separator = nullptr;
  walk->end = sentence + GPS_SENTENCE_SIZE;
  walk->table = table;
  walk->index = 0;
  walk->code = FIELD_ADDRESS;
  walk->done = false;
}

inline bool FieldWalkNext(FieldWalk* walk) {
  while (!walk->done) {
    if (walk->separator != nullptr) {
      if (*walk->separator == '*') break;
      walk->code = NextFieldCode(walk->table, &walk->index);
      if (walk->code == FIELD_END) break;
      walk->field = walk->separator + 1;
    }
    const char* p = FindSeparator(walk->field, walk->end);
    // Without a '*' inside the buffer (never so for a framed sentence) the
    // last field has no end and is not decoded.
    if (p == walk->end) break;
    walk->separator = p;
    if (p != walk->field) return true;
  }
  walk->done = true;
  return false;
}

#endif
