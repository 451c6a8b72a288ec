// The receiver context and the sentence framer: '$', body, '*', two checksum
// characters, verified by an 8-bit exclusive-or before dispatch.
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "nmea/compiler_support.h"
#include "nmea/navigation_internal.h"
#include "nmea/nmea.h"
#include "nmea/nmea_internal.h"

GpsContext gGpsContext;

namespace {

constexpr char SENTENCE_START = '$';
constexpr char CHECKSUM_MARK = '*';
// '$', a five-character address, '*' and two checksum characters: anything
// shorter cannot carry a sentence worth decoding.
constexpr int32_t MIN_SENTENCE_LENGTH = 13;

// A sentence's characters are counted when the framer leaves it, not one by
// one: the body bytes, nearly all of a stream, then cost nothing extra.
void CountSentenceBytes(int32_t stored) {
  CountUp(gGpsContext.stats.bytes, static_cast<uint32_t>(stored - gGpsContext.stats.sentenceCounted));
  gGpsContext.stats.sentenceCounted = 0;
}

// The counts include the sentence when the application hears of it.
void TellSentence(int32_t length, int32_t verdict) {
  const GpsSentenceCallback callback = gGpsContext.sentenceCallback.load(std::memory_order_acquire);
  if (callback != nullptr) callback(&gGpsContext, gGpsContext.sentence, length, verdict);
}

int32_t Abandon() {
  CountSentenceBytes(GPS_SENTENCE_SIZE);
  CountUp(gGpsContext.stats.tooLong);
  TellSentence(GPS_SENTENCE_SIZE, GPS_SENTENCE_TOO_LONG);
  gGpsContext.position = 0;
  gGpsContext.state = FramerWaitStart;
  return GPS_SENTENCE_SIZE;
}

// NMEA 0183 reserves '$' for the start of a sentence: one that arrives while
// a sentence is being framed is the next sentence's, and the one being framed
// was cut short (its '*' lost, a receiver's buffer overrun, a capture that
// starts mid-line).  Dropping it keeps the complete sentence that follows.
ORVO_NOINLINE int32_t Restart() {
  CountSentenceBytes(gGpsContext.position);
  CountUp(gGpsContext.stats.cutShort);
  TellSentence(gGpsContext.position, GPS_SENTENCE_CUT_SHORT);
  gGpsContext.sentence[0] = SENTENCE_START;
  gGpsContext.position = 1;
  gGpsContext.state = FramerBody;
  return 1;
}

int32_t HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// FramerBody's work, done in line by GpsFeedByte for nearly every byte.  Forced
// in line so that the compiler keeps the context's address in a register
// across the caller's loop: one instruction less per byte.
ORVO_ALWAYS_INLINE int32_t StoreBodyByte(char byte) {
  if (byte == SENTENCE_START) return Restart();
  const int32_t next = gGpsContext.position + 1;
  gGpsContext.sentence[next - 1] = byte;
  if (next == GPS_SENTENCE_SIZE) return Abandon();
  gGpsContext.position = next;
  if (byte == CHECKSUM_MARK) gGpsContext.state = FramerChecksum1;
  return next;
}

// The sentence framer's side of a held binary frame candidate: bytes that
// turn out to belong to no frame are framed as text, in order.  Bytes before
// frameCounted are in the bytes count already (a block ended while they
// were held), so counting them again is skipped.
struct TextSink {
  bool Waiting() const { return gGpsContext.state == FramerWaitStart; }
  void Text(int32_t at, unsigned char byte) const {
    const bool counted = at < gGpsContext.frameCounted;
    if (gGpsContext.state == FramerWaitStart) {
      if (byte != SENTENCE_START) {
        if (!counted) CountUp(gGpsContext.stats.bytes);
        return;
      }
      FramerWaitStart(0, byte);
      if (counted) gGpsContext.stats.sentenceCounted = 1;
      return;
    }
    // Before the handler: it may count the sentence as it leaves it.
    if (counted) ++gGpsContext.stats.sentenceCounted;
    gGpsContext.state(0, byte);
  }
  void Frame(int32_t start, int32_t end) const {
    const int32_t from = start > gGpsContext.frameCounted ? start : gGpsContext.frameCounted;
    if (end > from) CountUp(gGpsContext.stats.bytes, static_cast<uint32_t>(end - from));
    CountUp(gGpsContext.stats.frames);
  }
  void Dropped(int32_t at) const {
    if (at >= gGpsContext.frameCounted) CountUp(gGpsContext.stats.bytes);
  }
};

int32_t OpenFrame(int32_t byte) {
  FrameScanOpen(&gGpsContext.frame, static_cast<unsigned char>(byte));
  gGpsContext.frameCounted = 0;
  gGpsContext.state = FramerFrame;
  return SENTENCE_START;
}

}  // namespace

GpsContext* GpsContextInit(GpsCallback callback) {
  // The counts are atomics, cleared one by one after everything before them.
  std::memset(static_cast<void*>(&gGpsContext), 0, offsetof(GpsContext, stats));
  GpsStatCounters& stats = gGpsContext.stats;
  for (std::atomic<uint32_t>* count : {&stats.bytes, &stats.sentences, &stats.ignored,
                                       &stats.checksumErrors, &stats.tooShort, &stats.tooLong,
                                       &stats.cutShort, &stats.frames})
    count->store(0, std::memory_order_relaxed);
  stats.sentenceCounted = 0;
  gGpsContext.frame.length = 0;
  gGpsContext.frameCounted = 0;
  GpsNavigationReset(&gGpsContext.navigation);
  gGpsContext.sentenceCallback.store(nullptr, std::memory_order_release);
  gGpsContext.bytesCallback.store(nullptr, std::memory_order_release);
  gGpsContext.state = FramerWaitStart;
  gGpsContext.callback = callback;
  gGpsContext.active = 1;
  return &gGpsContext;
}

int32_t GpsFeedByte(GpsContext* context, int32_t byte) {
  if (context == nullptr || context->active == 0) return 0;
  // Nearly every byte is a body byte: doing that handler's work here, without
  // the indirect call, halves the cost of a byte.
  const FramerState handler = context->state;
  if (handler == FramerBody) StoreBodyByte(static_cast<char>(byte));
  else handler(0, byte & 0xFF);
  return 1;
}

int32_t GpsGetStats(const GpsContext* context, GpsStats* stats) {
  if (context == nullptr || stats == nullptr) return 1;
  const GpsStatCounters& counts = context->stats;
  stats->bytes = counts.bytes.load(std::memory_order_relaxed);
  stats->sentences = counts.sentences.load(std::memory_order_relaxed);
  stats->ignored = counts.ignored.load(std::memory_order_relaxed);
  stats->checksumErrors = counts.checksumErrors.load(std::memory_order_relaxed);
  stats->tooShort = counts.tooShort.load(std::memory_order_relaxed);
  stats->tooLong = counts.tooLong.load(std::memory_order_relaxed);
  stats->cutShort = counts.cutShort.load(std::memory_order_relaxed);
  stats->frames = counts.frames.load(std::memory_order_relaxed);
  return 0;
}

int32_t GpsSetSentenceCallback(GpsContext* context, GpsSentenceCallback callback) {
  if (context == nullptr) return 1;
  context->sentenceCallback.store(callback, std::memory_order_release);
  return 0;
}

int32_t GpsSetBytesCallback(GpsContext* context, GpsBytesCallback callback) {
  if (context == nullptr) return 1;
  context->bytesCallback.store(callback, std::memory_order_release);
  return 0;
}

void GpsCountFramingBytes(GpsContext* context) {
  if (context == nullptr) return;
  if (context->state == FramerFrame) {
    CountUp(context->stats.bytes, static_cast<uint32_t>(context->frame.length - context->frameCounted));
    context->frameCounted = context->frame.length;
    return;
  }
  const int32_t uncounted = context->position - context->stats.sentenceCounted;
  if (uncounted == 0) return;
  CountUp(context->stats.bytes, static_cast<uint32_t>(uncounted));
  context->stats.sentenceCounted = context->position;
}

int32_t FramerWaitStart(int32_t status, int32_t byte) {
  if (status != 0) return status;
  if (byte != SENTENCE_START) {
    if (IsFrameSync(static_cast<unsigned char>(byte))) return OpenFrame(byte);
    CountUp(gGpsContext.stats.bytes);
    return SENTENCE_START;
  }
  gGpsContext.sentence[0] = SENTENCE_START;
  gGpsContext.position = 1;
  gGpsContext.state = FramerBody;
  return 1;
}

int32_t FramerFrame(int32_t status, int32_t byte) {
  if (status != 0) return status;
  // The text side waits for '$' while a candidate is held.
  gGpsContext.state = FramerWaitStart;
  TextSink sink;
  const int32_t left = FrameScanAdd(&gGpsContext.frame, static_cast<unsigned char>(byte), sink);
  gGpsContext.frameCounted = left < gGpsContext.frameCounted ? gGpsContext.frameCounted - left : 0;
  if (gGpsContext.frame.length > 0) gGpsContext.state = FramerFrame;
  return gGpsContext.frame.length;
}

int32_t FramerBody(int32_t status, int32_t byte) {
  if (status != 0) return status;
  return StoreBodyByte(static_cast<char>(byte));
}

int32_t FramerChecksum1(int32_t status, int32_t byte) {
  if (status != 0) return status;
  if (byte == SENTENCE_START) return Restart();
  int32_t position = gGpsContext.position;
  gGpsContext.sentence[position] = static_cast<char>(byte);
  ++position;
  if (position == GPS_SENTENCE_SIZE) return Abandon();
  gGpsContext.position = position;
  gGpsContext.checksumChars[0] = static_cast<char>(byte);
  gGpsContext.state = FramerChecksum2;
  return position;
}

int32_t FramerChecksum2(int32_t status, int32_t byte) {
  if (status != 0) return status;
  if (byte == SENTENCE_START) return Restart();
  const int32_t length = gGpsContext.position + 1;
  gGpsContext.sentence[length - 1] = static_cast<char>(byte);
  if (length == GPS_SENTENCE_SIZE) return Abandon();
  gGpsContext.checksumChars[1] = static_cast<char>(byte);
  CountSentenceBytes(length);
  int32_t result = length;
  if (length < MIN_SENTENCE_LENGTH) {
    CountUp(gGpsContext.stats.tooShort);
    TellSentence(length, GPS_SENTENCE_TOO_SHORT);
  } else if (NmeaChecksum(gGpsContext.sentence + 1, length - 4) ==
             HexPairToByte(gGpsContext.checksumChars)) {
    TellSentence(length, GPS_SENTENCE_VERIFIED);
    result = GpsDispatchSentence(gGpsContext.sentence);
  } else {
    CountUp(gGpsContext.stats.checksumErrors);
    TellSentence(length, GPS_SENTENCE_CHECKSUM_ERROR);
    result = 0;
  }
  gGpsContext.position = 0;
  gGpsContext.state = FramerWaitStart;
  return result;
}

uint8_t NmeaChecksum(const char* text, int32_t count) {
  uint64_t wide = 0;
  int32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    uint64_t first;
    uint64_t second;
    std::memcpy(&first, text + i, sizeof first);
    std::memcpy(&second, text + i + 8, sizeof second);
    wide ^= first ^ second;
  }
  if (i + 8 <= count) {
    uint64_t word;
    std::memcpy(&word, text + i, sizeof word);
    wide ^= word;
    i += 8;
  }
  if (count >= 8 && i < count) {
    // The last eight characters, less the leading ones already taken, which
    // lie in the low bytes of the little-endian word.
    uint64_t last;
    std::memcpy(&last, text + count - 8, sizeof last);
    wide ^= last >> (8 * (8 - (count - i)));
    i = count;
  }
  wide ^= wide >> 32;
  wide ^= wide >> 16;
  wide ^= wide >> 8;
  uint8_t sum = static_cast<uint8_t>(wide);
  for (; i < count; ++i) sum ^= static_cast<uint8_t>(text[i]);
  return sum;
}

int32_t HexPairToByte(const char* pair) {
  const int32_t high = HexDigitValue(pair[0]);
  const int32_t low = HexDigitValue(pair[1]);
  if (high < 0 || low < 0) return -1;
  return high << 4 | low;
}
