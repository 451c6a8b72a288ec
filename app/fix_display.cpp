#include "app/fix_display.h"

#include <cstdio>

#include "resources/resource.h"

namespace {

void FormatUtcTime(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%02d:%02d:%02d.%02d", fix->time.hours, fix->time.minutes,
                fix->time.seconds, fix->time.hundredths);
}

void FormatLatDegrees(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%02d", fix->latitude.degrees);
}

void FormatLatMinutes(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%02d.%04d", fix->latitude.minutes, fix->latitude.fraction);
}

void FormatLonDegrees(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%03d", fix->longitude.degrees);
}

void FormatLonMinutes(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%02d.%04d", fix->longitude.minutes, fix->longitude.fraction);
}

void FormatLatHemisphere(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%s", fix->latHemisphere == 'N' ? "North" : "South");
}

void FormatLonHemisphere(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%s", fix->lonHemisphere == 'E' ? "East" : "West");
}

void FormatSatellites(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%02d", fix->satellitesUsed);
}

void FormatFixValid(const GgaRecord* fix, char* text) {
  // "No " keeps the width of "Yes".
  std::snprintf(text, FIX_TEXT_SIZE, "%s", fix->fixQuality != 0 ? "Yes" : "No ");
}

void FormatAltitude(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%f", static_cast<double>(fix->altitude));
}

void FormatHdop(const GgaRecord* fix, char* text) {
  std::snprintf(text, FIX_TEXT_SIZE, "%f", static_cast<double>(fix->hdop));
}

}  // namespace

const FixField FixFieldTable[FIX_FIELD_COUNT] = {
    {IDC_UTC_TIME, FormatUtcTime},             // 12:35:19.00
    {IDC_LAT_DEGREES, FormatLatDegrees},       // 48
    {IDC_LAT_MINUTES, FormatLatMinutes},       // 07.0380
    {IDC_LON_DEGREES, FormatLonDegrees},       // 011
    {IDC_LON_MINUTES, FormatLonMinutes},       // 31.0000
    {IDC_LAT_HEMISPHERE, FormatLatHemisphere}, // North
    {IDC_LON_HEMISPHERE, FormatLonHemisphere}, // East
    {IDC_SATELLITES, FormatSatellites},        // 08
    {IDC_FIX_VALID, FormatFixValid},           // Yes
    {IDC_ALTITUDE, FormatAltitude},            // 545.400024
    {IDC_HDOP, FormatHdop},                    // 0.900000
};
