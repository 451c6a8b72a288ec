// The field walk shared by the six parsers.
#include "nmea/field_decode.h"

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
    const char* p = walk->field;
    while (p < walk->end && *p != ',' && *p != '*') ++p;
    // Without a '*' inside the buffer (never so for a framed sentence) the
    // last field has no end and is not decoded.
    if (p == walk->end) break;
    walk->separator = p;
    if (p != walk->field) return true;
  }
  walk->done = true;
  return false;
}
