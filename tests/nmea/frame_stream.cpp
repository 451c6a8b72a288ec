#include "frame_stream.h"

#include "nmea/binary_frame.h"

constexpr size_t FRAME_HOLD_BYTES = FRAME_MAX_BYTES;

std::string UbxFrame(uint8_t cls, uint8_t id, const std::string& payload) {
  std::string frame = "\xB5\x62";
  frame += static_cast<char>(cls);
  frame += static_cast<char>(id);
  frame += static_cast<char>(payload.size() & 0xFF);
  frame += static_cast<char>(payload.size() >> 8);
  frame += payload;
  uint8_t a = 0;
  uint8_t b = 0;
  for (size_t i = 2; i < frame.size(); ++i) {
    a = static_cast<uint8_t>(a + static_cast<uint8_t>(frame[i]));
    b = static_cast<uint8_t>(b + a);
  }
  frame += static_cast<char>(a);
  frame += static_cast<char>(b);
  return frame;
}

std::string Rtcm3Frame(const std::string& payload) {
  std::string frame = "\xD3";
  frame += static_cast<char>(payload.size() >> 8 & 0x03);
  frame += static_cast<char>(payload.size() & 0xFF);
  frame += payload;
  uint32_t crc = 0;
  for (char c : frame) {
    crc ^= static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16;
    for (int bit = 0; bit < 8; ++bit) {
      crc <<= 1;
      if (crc & 0x1000000) crc ^= 0x1864CFB;
    }
  }
  frame += static_cast<char>(crc >> 16 & 0xFF);
  frame += static_cast<char>(crc >> 8 & 0xFF);
  frame += static_cast<char>(crc & 0xFF);
  return frame;
}

std::string NoisePayload(size_t n, uint32_t seed) {
  static const char kTricky[] = {'$', '*', '\r', '\n', '\xB5', '\x62', '\xD3', '\x00'};
  std::string bytes;
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    const uint32_t pick = x >> 24;
    bytes += pick < 32 ? kTricky[pick % sizeof kTricky] : static_cast<char>(x >> 16);
  }
  return bytes;
}

std::string NavPvt(uint32_t seed) { return UbxFrame(0x01, 0x07, NoisePayload(92, seed)); }
std::string RxmRawx(uint32_t seed, uint32_t signals) {
  return UbxFrame(0x02, 0x15, NoisePayload(16 + 32 * signals, seed));
}

std::string Rtcm1077(uint32_t seed) {
  // Message number 1077 in the first 12 bits.
  std::string payload = NoisePayload(310, seed);
  payload[0] = static_cast<char>(1077 >> 4);
  payload[1] = static_cast<char>((1077 & 0x0F) << 4 | (payload[1] & 0x0F));
  return Rtcm3Frame(payload);
}

MixedStream MixFrames(const std::string& text, int damage) {
  MixedStream mixed = {"", 0};
  uint32_t n = 0;
  size_t from = 0;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    end = end == std::string::npos ? text.size() : end + 1;
    mixed.bytes.append(text, from, end - from);
    // Receivers send frames between whole sentences: not after a capture's
    // comments or a line cut short, after which the framer is still inside
    // a sentence and a frame's bytes are that sentence's.
    const size_t star = text.rfind('*', end - 1);
    const bool sentence = text[from] == '$' && star != std::string::npos && star > from &&
                          end - star >= 4 && end - star <= 5 && text.find('$', from + 1) >= end;
    from = end;
    if (!sentence) continue;
    std::string frame = n % 3 == 0 ? NavPvt(n) : n % 3 == 1 ? RxmRawx(n) : Rtcm1077(n);
    const bool damaged = damage != 0 && n % 3 == 2;
    if (damaged && damage == 1) frame[frame.size() / 2] = static_cast<char>(frame[frame.size() / 2] ^ 0x10);
    if (damaged && damage == 2) frame.resize(frame.size() / 2);
    if (!damaged) ++mixed.frames;
    mixed.bytes += frame;
    ++n;
  }
  // A candidate still held at the end (a cut frame near it) is judged.
  mixed.bytes.append(FRAME_HOLD_BYTES, '\n');
  return mixed;
}
