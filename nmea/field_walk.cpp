// The field walk shared by the six parsers.
#include <cstring>

#include "nmea/field_decode.h"

namespace {

constexpr uint64_t ONES = 0x0101010101010101u;
constexpr uint64_t HIGH_BITS = 0x8080808080808080u;

// The first ',' or '*' from p on, or end.  Eight characters at a time: a
// byte of the word equals c where (x - 1) & ~x has its high bit, x being the
// byte XOR c; a borrow can mark only bytes after the first match.
const char* FindSeparator(const char* p, const char* end) {
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const uint64_t comma = word ^ (ONES * ',');
    const uint64_t star = word ^ (ONES * '*');
    const uint64_t found = (((comma - ONES) & ~comma) | ((star - ONES) & ~star)) & HIGH_BITS;
    if (found != 0) return p + __builtin_ctzll(found) / 8;
  }
  while (p < end && *p != ',' && *p != '*') ++p;
  return p;
}

}  // namespace

FieldCode NextFieldCode(const FieldCode* table, int32_t* index) {
  ++*index;
  return table[*index];
}

void FieldWalkStart(FieldWalk* walk, const char* sentence, const FieldCode* table) {
  walk->field = sentence;
  walk->separator = nullptr;
  walk->end = sentence + GPS_SENTENCE_SIZE;
  walk->table = table;
  walk->index = 0;
  walk->code = FIELD_ADDRESS;
  walk->done = false;
}

bool FieldWalkNext(FieldWalk* walk) {
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
