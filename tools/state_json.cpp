#include "state_json.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void Append(JsonText* out, const char* format, ...) {
  if (out->length >= sizeof out->text) return;
  va_list arguments;
  va_start(arguments, format);
  const int written = std::vsnprintf(out->text + out->length, sizeof out->text - out->length, format, arguments);
  va_end(arguments);
  if (written > 0) out->length += static_cast<size_t>(written);
  if (out->length > sizeof out->text - 1) out->length = sizeof out->text - 1;
}

// Six decimals, less the trailing zeros: 168.9, 0.020578; "0.0" keeps one
// decimal where wholeAlone is false, "85" none where it is true.
void AppendValue(JsonText* out, const char* name, double value, bool wholeAlone = false) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  size_t length = std::strlen(text);
  while (text[length - 1] == '0') --length;
  if (text[length - 1] == '.') {
    if (wholeAlone) --length;
    else ++length;
  }
  text[length] = '\0';
  Append(out, ", \"%s\":%s", name, text);
}

void AppendKnownValue(JsonText* out, const char* name, double value, bool wholeAlone = false) {
  if (!std::isnan(value)) AppendValue(out, name, value, wholeAlone);
}

void AppendKnownInt(JsonText* out, const char* name, int value) {
  if (value != GPS_UNKNOWN) Append(out, ", \"%s\":%d", name, value);
}

}  // namespace

void FormatTpv(const GpsFix& fix, JsonText* out) {
  out->length = 0;
  Append(out, "{\"class\":\"TPV\"");
  AppendKnownInt(out, "mode", fix.mode);
  if (fix.year != GPS_UNKNOWN && fix.hours != GPS_UNKNOWN)
    Append(out, ", \"time\":\"%04d-%02d-%02dT%02d:%02d:%02d.%03dZ\"", fix.year, fix.month, fix.day, fix.hours,
           fix.minutes, fix.seconds, fix.milliseconds);
  if (!std::isnan(fix.latitude)) Append(out, ", \"lat\":%.9f, \"lon\":%.9f", fix.latitude, fix.longitude);
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
  AppendKnownValue(out, "rms", fix.rangeRms);
  AppendKnownValue(out, "major", fix.errorMajor);
  AppendKnownValue(out, "minor", fix.errorMinor);
  AppendKnownValue(out, "orient", fix.errorOrientation);
  AppendKnownValue(out, "lat", fix.latitudeError);
  AppendKnownValue(out, "lon", fix.longitudeError);
  AppendKnownValue(out, "alt", fix.altitudeError);
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
  Append(out, ", \"nSat\":%d, \"uSat\":%d, \"satellites\":[", sky.signalCount, sky.usedCount);
  for (int i = 0; i < sky.signalCount; ++i) {
    const GpsSignal& s = sky.signals[i];
    Append(out, "%s{\"gnssid\":%d, \"svid\":%d", i == 0 ? "" : ", ", s.constellation, s.svid);
    AppendKnownInt(out, "sigid", s.signalId);
    AppendKnownValue(out, "el", s.elevation, true);
    AppendKnownValue(out, "az", s.azimuth, true);
    AppendKnownValue(out, "ss", s.snr, true);
    Append(out, ", \"used\":%s}", s.used ? "true" : "false");
  }
  Append(out, "]}");
}
