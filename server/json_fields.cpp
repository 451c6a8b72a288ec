#include "server/json_fields.h"

#include <cstdlib>

namespace {

// Clients send objects a few fields deep at most; a limit keeps a crafted
// request from recursing without end.
constexpr int MAX_DEPTH = 16;

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool Fail(const char* why) {
    if (error_.empty()) error_ = why;
    return false;
  }
  const std::string& Error() const { return error_; }
  bool AtEnd() {
    SkipSpace();
    return at_ == text_.size();
  }

  void SkipSpace() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\r' || text_[at_] == '\n'))
      ++at_;
  }
  bool Take(char c) {
    SkipSpace();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  bool Object(std::vector<JsonField>* fields, int depth) {
    if (depth > MAX_DEPTH) return Fail("nested too deep");
    if (!Take('{')) return Fail("expected an object");
    if (Take('}')) return true;
    do {
      JsonField field = {};
      SkipSpace();
      if (!String(&field.key)) return Fail("expected a key");
      if (!Take(':')) return Fail("expected ':' after a key");
      if (!Value(&field, depth)) return false;
      if (fields) fields->push_back(std::move(field));
    } while (Take(','));
    return Take('}') || Fail("expected ',' or '}'");
  }

 private:
  bool Value(JsonField* field, int depth) {
    SkipSpace();
    if (at_ == text_.size()) return Fail("expected a value");
    const char c = text_[at_];
    if (c == '"') {
      field->type = JsonField::STRING;
      return String(&field->string) || Fail("unterminated string");
    }
    if (c == '{') {
      field->type = JsonField::OTHER;
      return Object(nullptr, depth + 1);
    }
    if (c == '[') {
      field->type = JsonField::OTHER;
      return Array(depth + 1);
    }
    if (Word("true") || Word("false")) {
      field->type = JsonField::BOOL;
      field->boolean = c == 't';
      return true;
    }
    if (Word("null")) {
      field->type = JsonField::OTHER;
      return true;
    }
    return Number(field);
  }

  bool Array(int depth) {
    if (depth > MAX_DEPTH) return Fail("nested too deep");
    Take('[');
    if (Take(']')) return true;
    do {
      JsonField element = {};
      if (!Value(&element, depth)) return false;
    } while (Take(','));
    return Take(']') || Fail("expected ',' or ']'");
  }

  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    at_ += word.size();
    return true;
  }

  bool Number(JsonField* field) {
    // strtod would read past the object on text that is not NUL-terminated:
    // copy the characters a number may have first.
    const size_t start = at_;
    while (at_ < text_.size() && at_ - start < 64 &&
           std::string_view("+-0123456789.eE").find(text_[at_]) != std::string_view::npos)
      ++at_;
    const std::string digits(text_.substr(start, at_ - start));
    char* end = nullptr;
    field->number = std::strtod(digits.c_str(), &end);
    if (digits.empty() || end != digits.c_str() + digits.size()) return Fail("expected a value");
    field->type = JsonField::NUMBER;
    return true;
  }

  static void AppendUtf8(uint32_t code, std::string* out) {
    if (code < 0x80) {
      out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out->push_back(static_cast<char>(0xC0 | (code >> 6)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out->push_back(static_cast<char>(0xE0 | (code >> 12)));
      out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }

  bool String(std::string* out) {
    if (at_ == text_.size() || text_[at_] != '"') return false;
    ++at_;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c != '\\') {
        out->push_back(c);
        continue;
      }
      if (at_ == text_.size()) return false;
      const char e = text_[at_++];
      switch (e) {
        case 'n': out->push_back('\n'); break;
        case 'r': out->push_back('\r'); break;
        case 't': out->push_back('\t'); break;
        case 'b': out->push_back('\b'); break;
        case 'f': out->push_back('\f'); break;
        case 'u': {
          if (text_.size() - at_ < 4) return false;
          uint32_t code = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text_[at_++];
            const int digit = h >= '0' && h <= '9' ? h - '0'
                              : h >= 'a' && h <= 'f' ? h - 'a' + 10
                              : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (digit < 0) return false;
            code = code * 16 + static_cast<uint32_t>(digit);
          }
          AppendUtf8(code, out);
          break;
        }
        default: out->push_back(e); break;  // \" \\ \/
      }
    }
    return false;
  }

  std::string_view text_;
  size_t at_ = 0;
  std::string error_;
};

}  // namespace

bool ReadJsonFields(std::string_view text, std::vector<JsonField>* fields, std::string* error) {
  Reader reader(text);
  fields->clear();
  if (!reader.Object(fields, 0) || !reader.AtEnd()) {
    *error = reader.Error().empty() ? "text after the object" : reader.Error();
    return false;
  }
  return true;
}

const JsonField* FindJsonField(const std::vector<JsonField>& fields, std::string_view key) {
  const JsonField* found = nullptr;
  for (const JsonField& f : fields)
    if (f.key == key) found = &f;
  return found;
}
