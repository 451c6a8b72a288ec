#include "server/watch_policy.h"

#include <vector>

#include "server/json_fields.h"

namespace {

// true and false, or the numbers 0 and 1.
bool ReadBool(const JsonField& f, bool* value) {
  if (f.type == JsonField::BOOL) *value = f.boolean;
  else if (f.type == JsonField::NUMBER && (f.number == 0 || f.number == 1)) *value = f.number == 1;
  else return false;
  return true;
}

// A number 0-2; true and false read as 0, as gpsd reads them (QGIS sends
// "raw":true).
bool ReadRaw(const JsonField& f, int32_t* value) {
  if (f.type == JsonField::BOOL) *value = 0;
  else if (f.type == JsonField::NUMBER && f.number >= 0 && f.number <= 2 && f.number == static_cast<int>(f.number))
    *value = static_cast<int32_t>(f.number);
  else return false;
  return true;
}

bool Watches(const GpsdWatch& policy, std::string_view path) {
  return policy.enable && (policy.device.empty() || policy.device == path);
}

}  // namespace

std::string ApplyWatch(std::string_view object, GpsdWatch* policy) {
  std::vector<JsonField> fields;
  std::string error;
  if (!ReadJsonFields(object, &fields, &error)) return error;
  GpsdWatch next = *policy;
  next.enable = true;
  next.scaled = next.timing = next.split24 = next.pps = false;
  next.device.clear();
  struct Flag {
    const char* key;
    bool* value;
  };
  const Flag flags[] = {{"enable", &next.enable}, {"json", &next.json},       {"nmea", &next.nmea},
                        {"scaled", &next.scaled}, {"timing", &next.timing},   {"split24", &next.split24},
                        {"pps", &next.pps}};
  for (const Flag& flag : flags) {
    const JsonField* f = FindJsonField(fields, flag.key);
    if (f && !ReadBool(*f, flag.value)) return std::string("\"") + flag.key + "\" is not a boolean";
  }
  if (const JsonField* f = FindJsonField(fields, "raw"); f && !ReadRaw(*f, &next.raw))
    return "\"raw\" is not 0, 1 or 2";
  if (const JsonField* f = FindJsonField(fields, "device")) {
    if (f->type != JsonField::STRING) return "\"device\" is not a string";
    next.device = f->string;
  }
  *policy = std::move(next);
  return {};
}

bool WatchesJson(const GpsdWatch& policy, std::string_view path) { return Watches(policy, path) && policy.json; }

bool WatchesNmea(const GpsdWatch& policy, std::string_view path) {
  return Watches(policy, path) && (policy.nmea || policy.raw > 0);
}
