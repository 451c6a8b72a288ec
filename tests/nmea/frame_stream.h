// Binary frames as receivers send them between sentences, built with
// checksums of the tests' own (bit by bit, not the library's table), and
// captures with such frames put between their lines.
#ifndef ORVOGPS_TESTS_NMEA_FRAME_STREAM_H
#define ORVOGPS_TESTS_NMEA_FRAME_STREAM_H

#include <cstdint>
#include <string>

// A UBX frame of class and id around payload.
std::string UbxFrame(uint8_t cls, uint8_t id, const std::string& payload);
// An RTCM 3 frame around payload (1023 bytes at most).
std::string Rtcm3Frame(const std::string& payload);
// n bytes of every value, '$', '*', CR, LF and the sync bytes among them,
// the same for the same seed.
std::string NoisePayload(size_t n, uint32_t seed);

// The frames a u-blox receiver with UBX on and an RTK base send: NAV-PVT (100
// bytes), RXM-RAWX (16 + 32 bytes per signal, 20 signals unless told),
// RTCM 1077 (a few hundred bytes).
std::string NavPvt(uint32_t seed);
std::string RxmRawx(uint32_t seed, uint32_t signals = 20);
std::string Rtcm1077(uint32_t seed);

struct MixedStream {
  std::string bytes;
  uint32_t frames;  // whole frames put in
};

// text with one of the frames above after every line that is one whole
// sentence (they rotate); damage
// 0: as built; 1: every third frame has one payload byte changed; 2: every
// third frame loses its second half, so that the candidate runs on into the
// lines after it.
MixedStream MixFrames(const std::string& text, int damage);

#endif
