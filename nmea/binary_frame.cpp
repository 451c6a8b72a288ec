#include "nmea/binary_frame.h"

namespace {

constexpr int32_t UBX_HEADER = 6;    // sync, sync, class, id, length
constexpr int32_t UBX_CHECKSUM = 2;
constexpr int32_t RTCM3_HEADER = 3;  // preamble, 6 reserved bits and the length
constexpr int32_t RTCM3_CRC = 3;
constexpr uint32_t CRC24Q_POLY = 0x1864CFB;

struct Crc24Table {
  uint32_t entry[256];
};

constexpr Crc24Table MakeCrc24Table() {
  Crc24Table table = {};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t crc = i << 16;
    for (int bit = 0; bit < 8; ++bit) {
      crc <<= 1;
      if (crc & 0x1000000) crc ^= CRC24Q_POLY;
    }
    table.entry[i] = crc & 0xFFFFFF;
  }
  return table;
}

constexpr Crc24Table kCrc24 = MakeCrc24Table();

uint32_t Crc24q(const unsigned char* bytes, int32_t count) {
  uint32_t crc = 0;
  for (int32_t i = 0; i < count; ++i)
    crc = ((crc << 8) & 0xFFFFFF) ^ kCrc24.entry[((crc >> 16) ^ bytes[i]) & 0xFF];
  return crc;
}

// The 8-bit Fletcher sums over class, id, length and payload.
bool UbxChecksumVerifies(const unsigned char* frame, int32_t total) {
  uint8_t a = 0;
  uint8_t b = 0;
  for (int32_t i = 2; i < total - UBX_CHECKSUM; ++i) {
    a = static_cast<uint8_t>(a + frame[i]);
    b = static_cast<uint8_t>(b + a);
  }
  return frame[total - 2] == a && frame[total - 1] == b;
}

int32_t JudgeUbx(const unsigned char* bytes, int32_t count) {
  if (count == 2) return bytes[1] == UBX_SYNC2 ? FRAME_MORE : FRAME_FALSE;
  if (count < UBX_HEADER) return FRAME_MORE;
  const int32_t payload = bytes[4] | bytes[5] << 8;
  if (payload > UBX_MAX_PAYLOAD) return FRAME_FALSE;
  const int32_t total = UBX_HEADER + payload + UBX_CHECKSUM;
  if (count < total) return FRAME_MORE;
  return UbxChecksumVerifies(bytes, total) ? FRAME_VERIFIED : FRAME_FALSE;
}

int32_t JudgeRtcm3(const unsigned char* bytes, int32_t count) {
  if (count == 2) return (bytes[1] & 0xFC) == 0 ? FRAME_MORE : FRAME_FALSE;
  if (count < RTCM3_HEADER) return FRAME_MORE;
  const int32_t payload = (bytes[1] & 0x03) << 8 | bytes[2];
  const int32_t total = RTCM3_HEADER + payload + RTCM3_CRC;
  if (count < total) return FRAME_MORE;
  const unsigned char* crc = bytes + RTCM3_HEADER + payload;
  const uint32_t given = static_cast<uint32_t>(crc[0]) << 16 | crc[1] << 8 | crc[2];
  return Crc24q(bytes, RTCM3_HEADER + payload) == given ? FRAME_VERIFIED : FRAME_FALSE;
}

}  // namespace

int32_t FrameJudge(const unsigned char* bytes, int32_t count) {
  return bytes[0] == UBX_SYNC1 ? JudgeUbx(bytes, count) : JudgeRtcm3(bytes, count);
}
