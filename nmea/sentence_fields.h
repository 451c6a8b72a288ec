// A verified sentence cut at its commas, and strict readers of its fields:
// each reader tells a field that holds a value from one that is empty or
// malformed, which the navigation state keeps apart ("unknown", never 0).
#ifndef ORVOGPS_SENTENCE_FIELDS_H
#define ORVOGPS_SENTENCE_FIELDS_H

#include <cstdint>

// Enough for every sentence a receiver sends (GSV with four groups, a signal
// and a system id has 23); a sentence with more is not read.
constexpr int32_t SENTENCE_MAX_FIELDS = 64;

struct Field {
  const char* text;
  int32_t length;
};

// Field i (0 is the address, talker and type) starts at start[i]; the ',' or
// '*' that ends it is at start[i + 1] - 1.
struct SentenceFields {
  const char* sentence;
  int32_t count;
  uint16_t start[SENTENCE_MAX_FIELDS + 17];  // 16 to spare: the split stores a block's worth before it checks
};

// Cuts a verified sentence ('$' at index 0 of a GPS_SENTENCE_SIZE buffer, a
// '*' inside it) at its separators up to the '*'.  False when it has more
// than SENTENCE_MAX_FIELDS fields (count holds the first of them then) or
// no '*' (count holds the fields a ',' ends).
bool SplitSentence(const char* sentence, SentenceFields* fields);

// Field i, which the sentence has.
inline Field FieldIn(const SentenceFields& fields, int32_t i) {
  return {fields.sentence + fields.start[i], fields.start[i + 1] - fields.start[i] - 1};
}

// Field i, empty when the sentence has no such field.
inline Field FieldAt(const SentenceFields& fields, int32_t i) {
  if (i < 0 || i >= fields.count) return {"", 0};
  return FieldIn(fields, i);
}

// The first character of a field, '\0' for an empty one.
inline char FieldChar(Field field) { return field.length > 0 ? field.text[0] : '\0'; }

// A field of exactly one character c.
inline bool FieldIs(Field field, char c) { return field.length == 1 && field.text[0] == c; }

// Digits only, at most maxDigits of them: the value, else -1.
inline int32_t ReadCount(Field field, int32_t maxDigits) {
  if (field.length == 0 || field.length > maxDigits) return -1;
  int32_t value = 0;
  for (int32_t i = 0; i < field.length; ++i) {
    const uint32_t digit = static_cast<uint32_t>(static_cast<unsigned char>(field.text[i])) - '0';
    if (digit >= 10) return -1;
    value = value * 10 + static_cast<int32_t>(digit);
  }
  return value;
}

// One hexadecimal digit alone: 0 to 15, else -1.
int32_t ReadHexDigit(Field field);

// An optional sign, digits, an optional '.' and digits, nothing else.  Digits
// beyond the fifteenth significant one are dropped.  False, and *value left
// alone, for anything else.
bool ReadDecimalText(Field field, double* value);

// The same, with the common fields read in line: empty ones, and one to
// three digits alone (elevations, azimuths, ratios).
inline bool ReadDecimal(Field field, double* value) {
  if (field.length == 0) return false;
  if (field.length <= 3) {
    const int32_t whole = ReadCount(field, 3);
    if (whole >= 0) {
      *value = whole;
      return true;
    }
  }
  return ReadDecimalText(field, value);
}

// hhmmss with an optional '.' and decimals: milliseconds since midnight, the
// decimals rounded half up (up to 86,400,999 in a leap second); -1 for
// anything else.
int32_t ReadTimeOfDay(Field field);

// Days since 1970-01-01 of a valid date; -1 for an impossible one.
int32_t DaysFromDate(int32_t year, int32_t month, int32_t day);

// The date of a day count.
void DateFromDays(int32_t days, int32_t* year, int32_t* month, int32_t* day);

// (d)ddmm.m...: a '.' and digits only, degrees then minutes, with its
// hemisphere letter (N or S for a latitude, E or W for a longitude), at most
// 90 or 180 degrees.  Signed degrees, south and west negative; false for
// anything else.
bool ReadCoordinate(Field value, Field hemisphere, bool latitude, double* degrees);

#endif
