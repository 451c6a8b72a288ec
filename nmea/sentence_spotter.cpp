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

// One byte of text; 1 when it completes a sentence that verifies.
uint32_t SpotByte(SentenceSpotter* s, unsigned char c) {
  if (c == '$') {
    s->length = 1;
    s->afterMark = 0;
    s->sum = 0;
    s->given = 0;
    return 0;
  }
  if (s->length == 0) return 0;
  if (++s->length > MAX_LENGTH) {
    s->length = 0;
    return 0;
  }
  if (s->afterMark == 0) {
    if (c == '*') s->afterMark = 1;
    else s->sum ^= c;
    return 0;
  }
  const int32_t digit = HexValue(c);
  if (digit < 0) {
    s->length = 0;
    return 0;
  }
  s->given = static_cast<uint8_t>(s->given << 4 | digit);
  if (++s->afterMark < 3) return 0;
  const bool verifies = s->length >= MIN_LENGTH && s->given == s->sum;
  s->length = 0;
  return verifies ? 1 : 0;
}

struct CountingSink {
  SentenceSpotter* spotter;
  uint32_t verified;
  bool Waiting() const { return spotter->length == 0; }
  void Text(int32_t, unsigned char byte) { verified += SpotByte(spotter, byte); }
  void Frame(int32_t, int32_t) { ++verified; }
  void Dropped(int32_t) {}
};

}  // namespace

void SpotterReset(SentenceSpotter* spotter) {
  spotter->length = 0;
  spotter->afterMark = 0;
  spotter->sum = 0;
  spotter->given = 0;
  spotter->frame.length = 0;
}

uint32_t SpotterFeed(SentenceSpotter* s, const unsigned char* bytes, int32_t count) {
  CountingSink sink = {s, 0};
  for (int32_t i = 0; i < count; ++i) {
    const unsigned char c = bytes[i];
    if (s->frame.length > 0) {
      (void)FrameScanAdd(&s->frame, c, sink);  // the spotter keeps no positions
    } else if (s->length == 0 && IsFrameSync(c)) {
      FrameScanOpen(&s->frame, c);
    } else {
      sink.Text(i, c);
    }
  }
  return sink.verified;
}

uint32_t SpotterHeld(const SentenceSpotter* spotter) {
  return static_cast<uint32_t>(spotter->frame.length);
}
