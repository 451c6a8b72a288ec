// NMEA 0183 sentence text: framing with checksum, and the fixed-width fields
// the synthesized receiver sends.
#ifndef GPS_SIM_SENTENCE_WRITER_H
#define GPS_SIM_SENTENCE_WRITER_H

#include <cstdint>
#include <string>

// XOR of every character of body: the checksum of "$" body "*".
uint8_t NmeaBodyChecksum(const std::string& body);

// "$" body "*" two upper-case hex digits, CR LF.
std::string NmeaFrame(const std::string& body);

// Signed decimal degrees as "ddmm.mmmm,N" / "ddmm.mmmm,S".
std::string FormatLatitude(double degrees);

// Signed decimal degrees as "dddmm.mmmm,E" / "dddmm.mmmm,W".
std::string FormatLongitude(double degrees);

// Seconds since 1970-01-01 UTC as "hhmmss.00".
std::string FormatUtcTime(int64_t unixSeconds);

// Seconds since 1970-01-01 UTC as "ddmmyy".
std::string FormatUtcDate(int64_t unixSeconds);

#endif
