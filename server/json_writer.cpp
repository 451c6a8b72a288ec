#include "json_writer.h"

#include <charconv>
#include <cmath>
#include <cstring>

size_t JsonFormatFixed(char* text, double value, int decimals) {
  // Most values are short (40.0, 0.91, 1147.2): the shortest text that reads
  // back as value, padded with zeros, is then printf's rounding too.  Below
  // 1e6 a double is closer than 0.5e-9 to that text, so with up to 9
  // decimals no rounding could pick another.  The general conversion is
  // several times slower.
  if (std::fabs(value) < 1e6 && decimals <= 9) {
    // Whole numbers (elevations, azimuths, SNRs) need no conversion at all.
    if (value == std::trunc(value) && !std::signbit(value)) {
      char* end = std::to_chars(text, text + JSON_NUMBER_SIZE, static_cast<int32_t>(value)).ptr;
      if (decimals > 0) *end++ = '.';
      for (int i = 0; i < decimals; ++i) *end++ = '0';
      return static_cast<size_t>(end - text);
    }
    const std::to_chars_result shortest =
        std::to_chars(text, text + JSON_NUMBER_SIZE, value, std::chars_format::fixed);
    const char* point = static_cast<const char*>(std::memchr(text, '.', static_cast<size_t>(shortest.ptr - text)));
    const int sent = point == nullptr ? 0 : static_cast<int>(shortest.ptr - point - 1);
    if (shortest.ec == std::errc() && sent <= decimals) {
      char* end = shortest.ptr;
      if (point == nullptr && decimals > 0) *end++ = '.';
      for (int i = sent; i < decimals; ++i) *end++ = '0';
      return static_cast<size_t>(end - text);
    }
  }
  std::to_chars_result r = std::to_chars(text, text + JSON_NUMBER_SIZE, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) r = std::to_chars(text, text + JSON_NUMBER_SIZE, value);
  return static_cast<size_t>(r.ptr - text);
}

size_t JsonFormatTrimmed(char* text, double value, int decimals, bool wholeAlone) {
  size_t length = JsonFormatFixed(text, value, decimals);
  if (std::memchr(text, '.', length) == nullptr) return length;
  while (text[length - 1] == '0') --length;
  if (text[length - 1] == '.') {
    if (wholeAlone) --length;
    else ++length;  // the '0' after the point is still there
  }
  return length;
}

size_t JsonFormatInt(char* text, int64_t value) {
  return static_cast<size_t>(std::to_chars(text, text + JSON_NUMBER_SIZE, value).ptr - text);
}

namespace {

// value in decimal, zero-filled to width digits.
char* FormatPadded(char* at, int32_t value, int width) {
  char digits[JSON_NUMBER_SIZE];
  const size_t length = JsonFormatInt(digits, value);
  for (size_t i = length; i < static_cast<size_t>(width); ++i) *at++ = '0';
  std::memcpy(at, digits, length);
  return at + length;
}

}  // namespace

size_t JsonFormatIsoTime(char* text, int32_t year, int32_t month, int32_t day, int32_t hours, int32_t minutes,
                         int32_t seconds, int32_t milliseconds) {
  const struct {
    int32_t value;
    int width;
    char after;
  } parts[] = {{year, 4, '-'},    {month, 2, '-'},   {day, 2, 'T'},          {hours, 2, ':'},
               {minutes, 2, ':'}, {seconds, 2, '.'}, {milliseconds, 3, 'Z'}};
  char* at = text;
  for (const auto& part : parts) {
    at = FormatPadded(at, part.value, part.width);
    *at++ = part.after;
  }
  return static_cast<size_t>(at - text);
}

void JsonAppendString(std::string* out, std::string_view text) {
  static const char HEX[] = "0123456789abcdef";
  out->push_back('"');
  size_t plain = 0;  // start of the run not yet appended
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') continue;
    out->append(text.data() + plain, i - plain);
    plain = i + 1;
    out->push_back('\\');
    switch (c) {
      case '"': out->push_back('"'); break;
      case '\\': out->push_back('\\'); break;
      case '\n': out->push_back('n'); break;
      case '\r': out->push_back('r'); break;
      case '\t': out->push_back('t'); break;
      default:
        out->append("u00");
        out->push_back(HEX[c >> 4]);
        out->push_back(HEX[c & 15]);
    }
  }
  out->append(text.data() + plain, text.size() - plain);
  out->push_back('"');
}

JsonObject::JsonObject(std::string* out, const char* className) : out_(out), first_(false) {
  out_->append("{\"class\":\"");
  out_->append(className);
  out_->push_back('"');
}

JsonObject::JsonObject(std::string* out) : out_(out), first_(true) { out_->push_back('{'); }

void JsonObject::Name(const char* key) {
  if (!first_) out_->push_back(',');
  first_ = false;
  out_->push_back('"');
  out_->append(key);
  out_->append("\":");
}

void JsonObject::Int(const char* key, int64_t value) {
  Name(key);
  char text[JSON_NUMBER_SIZE];
  out_->append(text, JsonFormatInt(text, value));
}

void JsonObject::Fixed(const char* key, double value, int decimals) {
  if (!std::isfinite(value)) return;
  Name(key);
  char text[JSON_NUMBER_SIZE];
  out_->append(text, JsonFormatFixed(text, value, decimals));
}

void JsonObject::Bool(const char* key, bool value) {
  Name(key);
  out_->append(value ? "true" : "false");
}

void JsonObject::String(const char* key, std::string_view value) {
  Name(key);
  JsonAppendString(out_, value);
}

std::string* JsonObject::Key(const char* key) {
  Name(key);
  return out_;
}

void JsonObject::End() { out_->push_back('}'); }
