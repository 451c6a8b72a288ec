// Compact JSON as gpsd's clients read it: no space after any ':' or ',',
// strings quoted and escaped, numbers bare, true/false, never null.  Numbers
// are formatted with std::to_chars (no printf, no locale): the digits printf's
// "%.*f" gives, several times faster.  Portable.
#ifndef ORVOGPS_SERVER_JSON_WRITER_H
#define ORVOGPS_SERVER_JSON_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Room every number formatter below needs.
constexpr size_t JSON_NUMBER_SIZE = 64;

// value with exactly `decimals` decimals (0 to 17), rounded as printf's
// "%.*f" rounds it: 1147.2 with 4 gives "1147.2000".  A value too large for
// that in JSON_NUMBER_SIZE characters is written in the shortest form that
// reads back the same ("1e+300").  Returns the length; no NUL is written.
size_t JsonFormatFixed(char* text, double value, int decimals);

// The same less the trailing zeros: 168.9 and 0.020578 with 6 decimals.  A
// whole number keeps one ".0" unless wholeAlone ("85").
size_t JsonFormatTrimmed(char* text, double value, int decimals, bool wholeAlone);

size_t JsonFormatInt(char* text, int64_t value);

// Room JsonFormatIsoTime needs, whatever the parts.
constexpr size_t JSON_TIME_SIZE = 96;

// A UTC time as ISO 8601 to the millisecond: "2022-07-31T12:02:13.000Z"
// (no quotes), each part zero-filled to its width.
size_t JsonFormatIsoTime(char* text, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                         int32_t seconds, int32_t milliseconds);

// text as a JSON string, quotes included: '"' and '\' escaped, control
// characters as \n, \r, \t or \u00XX, and bytes from 0x7F up as \u00XX, so
// that whatever a client sent, the object stays valid UTF-8 JSON.
void JsonAppendString(std::string* out, std::string_view text);

// Writes one object into out, appending: the constructor writes
// {"class":"NAME", each member adds ,"key":value and End writes }.  Keys are
// the caller's literals, written as they are.  A floating-point member that
// is not finite is left out: an unknown value is never written.
class JsonObject {
 public:
  JsonObject(std::string* out, const char* className);
  // An object without a class (an array's element): {"key":value,...}
  explicit JsonObject(std::string* out);

  void Int(const char* key, int64_t value);
  void Fixed(const char* key, double value, int decimals);
  void Bool(const char* key, bool value);
  void String(const char* key, std::string_view value);
  // The key and then whatever the caller appends to out() as its value.
  std::string* Key(const char* key);
  void End();

 private:
  void Name(const char* key);
  std::string* out_;
  bool first_;
};

#endif
