// Cutting a sentence into fields, and the strict field readers of the
// navigation state.  The conversions are exact integer work and one rounded
// division, so the Windows build reads every value as the Linux build does.
#include "nmea/sentence_fields.h"

#include "nmea/compiler_support.h"
#include "nmea/nmea.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Exact powers of ten as doubles.
constexpr double POWERS_OF_TEN[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,
                                    1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
// Fifteen digits make at most 10^15 - 1, exact in a double.
constexpr int32_t MAX_DIGITS = 15;
constexpr int32_t MAX_COORDINATE_DECIMALS = 13;

constexpr int32_t SEPARATOR_BLOCK = 16;
static_assert(GPS_SENTENCE_SIZE % SEPARATOR_BLOCK == 0, "the split reads whole blocks of the buffer");

bool IsLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int32_t DaysInMonth(int32_t year, int32_t month) {
  constexpr int32_t DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : DAYS[month - 1];
}

}  // namespace

bool SplitSentence(const char* sentence, SentenceFields* fields) {
  fields->sentence = sentence;
  fields->start[0] = 1;
  int32_t count = 0;
  // Blocks of 16 counted from the '$' never reach past the buffer.
  for (int32_t block = 0; block < GPS_SENTENCE_SIZE; block += SEPARATOR_BLOCK) {
    uint32_t separators;
    uint32_t stars;
    FindSeparators16(sentence + block, &separators, &stars);
    // Up to the first '*': what follows it is no field.
    if (stars != 0) separators &= stars ^ (stars - 1);
    // A block adds at most 16: start has room for them past the limit.
    for (; separators != 0; separators &= separators - 1)
      fields->start[++count] = static_cast<uint16_t>(block + CountTrailingZeros64(separators) + 1);
    if (count > SENTENCE_MAX_FIELDS) {
      fields->count = SENTENCE_MAX_FIELDS;
      return false;
    }
    if (stars != 0) {
      fields->count = count;
      return true;
    }
  }
  fields->count = count;
  return false;
}

int32_t ReadHexDigit(Field field) {
  if (field.length != 1) return -1;
  const char c = field.text[0];
  if (IsDigit(c)) return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ReadDecimalText(Field field, double* value) {
  const char* text = field.text;
  if (field.length == 0) return false;
  const bool negative = text[0] == '-';
  int32_t at = negative || text[0] == '+' ? 1 : 0;
  uint64_t mantissa = 0;
  int32_t digits = 0;
  int32_t taken = 0;
  int32_t decimals = 0;
  bool point = false;
  for (; at < field.length; ++at) {
    const uint32_t digit = static_cast<uint32_t>(static_cast<unsigned char>(text[at])) - '0';
    if (digit < 10) {
      ++digits;
      if (taken < MAX_DIGITS) {
        mantissa = mantissa * 10 + digit;
        ++taken;
        decimals += point ? 1 : 0;
      } else if (!point) {
        // The whole part alone must fit: a longer one is no value a receiver means.
        return false;
      }
    } else if (text[at] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  const double magnitude = static_cast<double>(mantissa) / POWERS_OF_TEN[decimals];
  *value = negative ? -magnitude : magnitude;
  return true;
}

int32_t ReadTimeOfDay(Field field) {
  const char* text = field.text;
  if (field.length < 6) return -1;
  for (int32_t i = 0; i < 6; ++i)
    if (!IsDigit(text[i])) return -1;
  const int32_t hours = (text[0] - '0') * 10 + (text[1] - '0');
  const int32_t minutes = (text[2] - '0') * 10 + (text[3] - '0');
  const int32_t seconds = (text[4] - '0') * 10 + (text[5] - '0');
  if (hours > 23 || minutes > 59 || seconds > 60) return -1;
  int32_t milliseconds = 0;
  if (field.length > 6) {
    if (text[6] != '.' || field.length == 7) return -1;
    for (int32_t i = 7; i < field.length; ++i)
      if (!IsDigit(text[i])) return -1;
    // The first three decimals, the fourth rounding half up.
    constexpr int32_t SCALE[] = {100, 10, 1};
    for (int32_t i = 0; i < 3 && 7 + i < field.length; ++i) milliseconds += (text[7 + i] - '0') * SCALE[i];
    if (field.length > 10 && text[10] >= '5') ++milliseconds;
  }
  return ((hours * 60 + minutes) * 60 + seconds) * 1000 + milliseconds;
}

// Howard Hinnant's days_from_civil: exact for the proleptic Gregorian calendar.
int32_t DaysFromDate(int32_t year, int32_t month, int32_t day) {
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return -1;
  const int32_t y = month <= 2 ? year - 1 : year;
  const int32_t era = (y >= 0 ? y : y - 399) / 400;
  const int32_t yearOfEra = y - era * 400;
  const int32_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const int32_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void DateFromDays(int32_t days, int32_t* year, int32_t* month, int32_t* day) {
  const int32_t z = days + 719468;
  const int32_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int32_t dayOfEra = z - era * 146097;
  const int32_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int32_t shiftedMonth = (5 * dayOfYear + 2) / 153;
  *day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  *month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  *year = yearOfEra + era * 400 + (*month <= 2 ? 1 : 0);
}

bool ReadCoordinate(Field value, Field hemisphere, bool latitude, double* degrees) {
  if (hemisphere.length != 1) return false;
  const bool positive = hemisphere.text[0] == (latitude ? 'N' : 'E');
  if (!positive && hemisphere.text[0] != (latitude ? 'S' : 'W')) return false;
  const char* text = value.text;
  // (d)ddmm: at most five whole digits.
  uint64_t whole = 0;
  int32_t at = 0;
  for (; at < value.length && at <= 5; ++at) {
    const uint32_t digit = static_cast<uint32_t>(static_cast<unsigned char>(text[at])) - '0';
    if (digit >= 10) break;
    whole = whole * 10 + digit;
  }
  if (at == 0 || at > 5 || at == value.length || text[at] != '.') return false;
  // Minutes as one integer below 10^15, over 60 times a power of ten (exact
  // too), so that one division rounds them: two whole digits and up to
  // thirteen decimals, further ones dropped.
  uint64_t minutes = whole % 100;
  int32_t decimals = 0;
  for (++at; at < value.length; ++at) {
    const uint32_t digit = static_cast<uint32_t>(static_cast<unsigned char>(text[at])) - '0';
    if (digit >= 10) return false;
    if (decimals == MAX_COORDINATE_DECIMALS) continue;
    minutes = minutes * 10 + digit;
    ++decimals;
  }
  const double magnitude =
      static_cast<double>(whole / 100) + static_cast<double>(minutes) / (POWERS_OF_TEN[decimals] * 60.0);
  if (magnitude > (latitude ? 90.0 : 180.0)) return false;
  *degrees = positive ? magnitude : -magnitude;
  return true;
}
