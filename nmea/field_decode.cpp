// Decoders of the fixed-layout NMEA 0183 fields.  The decimal conversions are
// the library's own, not the C runtime's, so that the Windows build decodes
// every field exactly as the Linux build does.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "nmea/compiler_support.h"
#include "nmea/field_decode.h"

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// atoi's reading of at most length characters: white space, an optional sign,
// then digits.  Long digit runs saturate instead of overflowing.
int32_t ConvertInt(const char* text, int64_t length) {
  // Fixed-width fields are almost always plain digits.
  if (length <= 4) {
    int32_t value = 0;
    int64_t i = 0;
    for (; i < length && IsDigit(text[i]); ++i) value = value * 10 + (text[i] - '0');
    if (i > 0 || length == 0) return value;
  }
  int64_t i = 0;
  while (i < length && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr int64_t LIMIT = int64_t{INT32_MAX} + 1;
  int64_t value = 0;
  for (; i < length && IsDigit(text[i]); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > LIMIT) value = LIMIT;
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(value > INT32_MAX ? INT32_MAX : value);
}

// The value of a character as a decimal digit: 10 or more for any other.
uint32_t DigitValue(char c) { return static_cast<uint32_t>(static_cast<unsigned char>(c)) - '0'; }

// The n characters at offset in the field, cut short at the end of the buffer.
// Forced in line, so that the widths of 1 to 4, which the callers give as
// constants, take ConvertInt's digits-only path unrolled.
ORVO_ALWAYS_INLINE int32_t IntAt(const char* field, int64_t offset, int64_t n, const char* end) {
  const int64_t available = (end - field) - offset;
  if (available <= 0) return 0;
  const char* text = field + offset;
  if (n <= 4 && n <= available && DigitValue(text[0]) < 10) {
    uint32_t value = DigitValue(text[0]);
    ORVO_UNROLL(4)
    for (int64_t i = 1; i < n; ++i) {
      const uint32_t digit = DigitValue(text[i]);
      if (digit >= 10) break;
      value = value * 10 + digit;
    }
    return static_cast<int32_t>(value);
  }
  return ConvertInt(text, n < available ? n : available);
}

// The first `places` digits of the run of decimal digits at offset in the
// field, as a number of that many decimals: with 4 places "038" gives 380
// and "03812" gives 381 (further digits are cut, not rounded).  Receivers
// send from two to seven decimals of minutes and from none to three of
// seconds.  No sign or white space is taken; no digit gives 0.
inline int32_t DecimalsAt(const char* field, int64_t offset, int32_t places, const char* end) {
  const int64_t available = (end - field) - offset;
  const char* text = field + (available > 0 ? offset : 0);
  int32_t value = 0;
  for (int32_t i = 0; i < places; ++i) {
    const uint32_t digit = i < available ? DigitValue(text[i]) : 10;
    if (digit >= 10) {
      for (; i < places; ++i) value *= 10;
      break;
    }
    value = value * 10 + static_cast<int32_t>(digit);
  }
  return value;
}

// Exact powers of ten as doubles.
constexpr double POWERS_OF_TEN[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                    1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int32_t MAX_EXACT_POWER = 22;
constexpr uint64_t MAX_EXACT_MANTISSA = uint64_t{1} << 53;

// Plain decimals of up to 19 digits: both the digits and the power of ten are
// exact doubles, so one division rounds correctly, exactly as a full
// conversion would.  Returns false for anything else.
bool ConvertShortDecimal(const char* p, const char* end, double* value) {
  uint64_t mantissa = 0;
  int32_t digits = 0;
  int32_t fractionDigits = 0;
  for (; p < end && IsDigit(*p); ++p, ++digits) {
    if (digits == 19) return false;
    mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
  }
  if (p < end && *p == '.') {
    for (++p; p < end && IsDigit(*p); ++p, ++digits, ++fractionDigits) {
      if (digits == 19) return false;
      mantissa = mantissa * 10 + static_cast<uint64_t>(*p - '0');
    }
  }
  if (digits == 0 || (p < end && (*p == 'e' || *p == 'E'))) return false;
  if (mantissa > MAX_EXACT_MANTISSA || fractionDigits > MAX_EXACT_POWER) return false;
  *value = static_cast<double>(mantissa) / POWERS_OF_TEN[fractionDigits];
  return true;
}

// The decimal exponent of the number's leading digit, for telling an overflow
// from an underflow.
int64_t LeadingDigitExponent(const char* p, const char* end) {
  int64_t exponent = -1;
  bool seenNonZero = false;
  for (; p < end && IsDigit(*p); ++p) {
    if (*p != '0') seenNonZero = true;
    if (seenNonZero) ++exponent;
  }
  if (p < end && *p == '.') {
    for (++p; p < end && IsDigit(*p) && !seenNonZero; ++p) {
      if (*p != '0') seenNonZero = true;
      else --exponent;
    }
    while (p < end && IsDigit(*p)) ++p;
  }
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
    int64_t written = 0;
    for (; p < end && IsDigit(*p); ++p)
      if (written < 100000000) written = written * 10 + (*p - '0');
    exponent += negative ? -written : written;
  }
  return exponent;
}

// False when the text holds no number, which reads as +0 whatever its sign.
bool ConvertDecimal(const char* p, const char* end, double* value) {
  if (ConvertShortDecimal(p, end, value)) return true;
  // from_chars takes a '-' of its own; atof does not take a second sign.
  if (p == end || *p == '-') return false;
  const std::from_chars_result result = std::from_chars(p, end, *value, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    *value = LeadingDigitExponent(p, end) > 0 ? HUGE_VAL : 0.0;
    return true;
  }
  return result.ec == std::errc();
}

}  // namespace

void DecodeIntN(const char* field, int32_t n, int32_t* out, const char* end) {
  *out = IntAt(field, 0, n, end);
}

void DecodeFloat(const char* field, float* out, const char* end) {
  const char* p = field;
  while (p < end && IsSpace(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  double value = 0.0;
  if (!ConvertDecimal(p, end, &value)) {
    *out = 0.0f;
    return;
  }
  *out = static_cast<float>(negative ? -value : value);
}

void DecodeTime(const char* field, UtcTime* out, const char* end) {
  out->hours = IntAt(field, 0, 2, end);
  out->minutes = IntAt(field, 2, 2, end);
  out->seconds = IntAt(field, 4, 2, end);
  // Without a '.' the hundredths keep their value: the parser cleared them.
  if (end - field > 6 && field[6] == '.') out->hundredths = DecimalsAt(field, 7, 2, end);
}

void DecodeDate(const char* field, NmeaDate* out, const char* end) {
  out->day = IntAt(field, 0, 2, end);
  out->month = IntAt(field, 2, 2, end);
  out->year = IntAt(field, 4, 2, end);
}

// ddmm.mmmm: the '.' at position 4 is taken for granted, not searched for.
void DecodeLatitude(const char* field, GeoAngle* out, const char* end) {
  out->degrees = IntAt(field, 0, 2, end);
  out->minutes = IntAt(field, 2, 2, end);
  out->fraction = DecimalsAt(field, 5, 4, end);
}

// dddmm.mmmm: the '.' at position 5 is taken for granted, not searched for.
void DecodeLongitude(const char* field, GeoAngle* out, const char* end) {
  out->degrees = IntAt(field, 0, 3, end);
  out->minutes = IntAt(field, 3, 2, end);
  out->fraction = DecimalsAt(field, 6, 4, end);
}
