// Reads the one flat JSON object a client's request carries, as in
//   ?WATCH={"enable":true,"json":true,"device":"COM3"}
// into its keys and values.  Nested objects and arrays are walked over and
// kept as Other, so that an unknown key of any shape is simply ignored.
#ifndef ORVOGPS_SERVER_JSON_FIELDS_H
#define ORVOGPS_SERVER_JSON_FIELDS_H

#include <string>
#include <string_view>
#include <vector>

struct JsonField {
  enum Type { BOOL, NUMBER, STRING, OTHER };
  std::string key;
  Type type;
  bool boolean;        // BOOL
  double number;       // NUMBER
  std::string string;  // STRING, unescaped (UTF-8)
};

// Fills fields from text, which must hold one object and nothing but white
// space around it.  Returns false, with what is wrong in error, otherwise.
bool ReadJsonFields(std::string_view text, std::vector<JsonField>* fields, std::string* error);

// The field called key, or null; a key given twice reads as its last value.
const JsonField* FindJsonField(const std::vector<JsonField>& fields, std::string_view key);

#endif
