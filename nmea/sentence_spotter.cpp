#include "nmea/sentence_spotter.h"

namespace {

constexpr int32_t MIN_LENGTH = 13;   // '$', a five-character address, '*' and two digits
constexpr int32_t MAX_LENGTH = 511;

int32_t HexValue(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void SpotterReset(SentenceSpotter* spotter) { *spotter = SentenceSpotter{}; }

uint32_t SpotterFeed(SentenceSpotter* s, const unsigned char* bytes, int32_t count) {
  uint32_t verified = 0;
  for (int32_t i = 0; i < count; ++i) {
    const unsigned char c = bytes[i];
    if (c == '$') {
      *s = SentenceSpotter{};
      s->length = 1;
      continue;
    }
    if (s->length == 0) continue;
    if (++s->length > MAX_LENGTH) {
      s->length = 0;
      continue;
    }
    if (s->afterMark == 0) {
      if (c == '*') s->afterMark = 1;
      else s->sum ^= c;
      continue;
    }
    const int32_t digit = HexValue(c);
    if (digit < 0) {
      s->length = 0;
      continue;
    }
    s->given = static_cast<uint8_t>(s->given << 4 | digit);
    if (++s->afterMark < 3) continue;
    if (s->length >= MIN_LENGTH && s->given == s->sum) ++verified;
    s->length = 0;
  }
  return verified;
}
