#include "state_json.h"

#include <cmath>
#include <cstring>

#include "server/json_writer.h"

namespace {

void Append(JsonText* out, const char* text, size_t length) {
  const size_t room = sizeof out->text - 1 - out->length;
  if (length > room) length = room;
  std::memcpy(out->text + out->length, text, length);
  out->length += length;
}

void Append(JsonText* out, const char* text) { Append(out, text, std::strlen(text)); }

// , "name":
void AppendName(JsonText* out, const char* name) {
  Append(out, ", \"");
  Append(out, name);
  Append(out, "\":");
}

void AppendInt(JsonText* out, int value) {
  char text[JSON_NUMBER_SIZE];
  Append(out, text, JsonFormatInt(text, value));
}

// Six decimals, less the trailing zeros: 168.9, 0.020578; "0.0" keeps one
// decimal where wholeAlone is false, "85" none where it is true.
void AppendValue(JsonText* out, const char* name, double value, bool wholeAlone = false) {
  char text[JSON_NUMBER_SIZE];
  AppendName(out, name);
  Append(out, text, JsonFormatTrimmed(text, value, 6, wholeAlone));
}

void AppendKnownValue(JsonText* out, const char* name, double value, bool wholeAlone = false) {
  if (!std::isnan(value)) AppendValue(out, name, value, wholeAlone);
}

void AppendKnownInt(JsonText* out, const char* name, int value) {
  if (value == GPS_UNKNOWN) return;
  AppendName(out, name);
  AppendInt(out, value);
}

void AppendDegrees(JsonText* out, const char* name, double value) {
  char text[JSON_NUMBER_SIZE];
  AppendName(out, name);
  Append(out, text, JsonFormatFixed(text, value, 9));
}

}  // namespace

void FormatTpv(const GpsFix& fix, JsonText* out) {
  out->length = 0;
  Append(out, "{\"class\":\"TPV\"");
  AppendKnownInt(out, "mode", fix.mode);
  if (fix.year != GPS_UNKNOWN && fix.hours != GPS_UNKNOWN) {
    char text[JSON_TIME_SIZE];
    AppendName(out, "time");
    Append(out, "\"");
    Append(out, text,
           JsonFormatIsoTime(text, fix.year, fix.month, fix.day, fix.hours, fix.minutes, fix.seconds, fix.milliseconds));
    Append(out, "\"");
  }
  if (!std::isnan(fix.latitude)) {
    AppendDegrees(out, "lat", fix.latitude);
    AppendDegrees(out, "lon", fix.longitude);
  }
  AppendKnownValue(out, "altMSL", fix.altitudeMsl);
  AppendKnownValue(out, "altHAE", fix.altitudeHae);
  AppendKnownValue(out, "geoidSep", fix.geoidSeparation);
  AppendKnownValue(out, "speed", fix.speed);
  AppendKnownValue(out, "track", fix.track);
  AppendKnownInt(out, "quality", fix.quality);
  AppendKnownInt(out, "satellitesUsed", fix.satellitesUsed);
  Append(out, "}");
}

void FormatGst(const GpsFix& fix, JsonText* out) {
  out->length = 0;
  Append(out, "{\"class\":\"GST\"");
  const struct {
    const char* name;
    double value;
  } values[] = {{"rms", fix.rangeRms},         {"major", fix.errorMajor},  {"minor", fix.errorMinor},
                {"orient", fix.errorOrientation}, {"lat", fix.latitudeError}, {"lon", fix.longitudeError},
                {"alt", fix.altitudeError}};
  for (const auto& v : values) AppendKnownValue(out, v.name, v.value);
  Append(out, "}");
}

void FormatAtt(const GpsFix& fix, JsonText* out) {
  out->length = 0;
  Append(out, "{\"class\":\"ATT\"");
  AppendKnownValue(out, "heading", fix.heading);
  Append(out, "}");
}

void FormatSky(const GpsFix& fix, const GpsSky& sky, JsonText* out) {
  out->length = 0;
  Append(out, "{\"class\":\"SKY\"");
  AppendKnownValue(out, "hdop", fix.hdop);
  AppendKnownValue(out, "pdop", fix.pdop);
  AppendKnownValue(out, "vdop", fix.vdop);
  AppendName(out, "nSat");
  AppendInt(out, sky.signalCount);
  AppendName(out, "uSat");
  AppendInt(out, sky.usedCount);
  Append(out, ", \"satellites\":[");
  for (int i = 0; i < sky.signalCount; ++i) {
    const GpsSignal& s = sky.signals[i];
    Append(out, i == 0 ? "{\"gnssid\":" : ", {\"gnssid\":");
    AppendInt(out, s.constellation);
    AppendName(out, "svid");
    AppendInt(out, s.svid);
    AppendKnownInt(out, "sigid", s.signalId);
    AppendKnownValue(out, "el", s.elevation, true);
    AppendKnownValue(out, "az", s.azimuth, true);
    AppendKnownValue(out, "ss", s.snr, true);
    Append(out, s.used ? ", \"used\":true}" : ", \"used\":false}");
  }
  Append(out, "]}");
}
