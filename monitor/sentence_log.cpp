#include "monitor/sentence_log.h"

#include <cstdio>
#include <cstring>

#include <nmea/nmea.h>

namespace {

// What goes through the ring per sentence, before its shown characters.
struct Told {
  int32_t verdict;
  int32_t length;    // as received
  uint32_t between;  // bytes between the sentence before and this one
};

// A line end is all that should lie between two sentences: more is shown.
constexpr uint32_t LINE_END = 2;

const char* const MARKS[] = {"", "[checksum error] ", "[too short] ", "[too long, abandoned] ", "[cut short] "};
static_assert(sizeof MARKS / sizeof MARKS[0] == GPS_SENTENCE_CUT_SHORT + 1, "a mark per verdict");

SentenceLine& NextLine(SentenceLog* log) {
  ++log->added;
  if (log->count < SENTENCE_LOG_LINES) return log->lines[(log->first + log->count++) % SENTENCE_LOG_LINES];
  SentenceLine& line = log->lines[log->first];
  log->first = (log->first + 1) % SENTENCE_LOG_LINES;
  return line;
}

// The sentence's characters with control and non-ASCII bytes written as C
// escapes, as many as fit.
void Escape(const char* text, int32_t length, bool cut, char* out, int32_t size) {
  int32_t used = 0;
  for (int32_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    char piece[8];
    if (c == '\r') std::strcpy(piece, "\\r");
    else if (c == '\n') std::strcpy(piece, "\\n");
    else if (c < 0x20 || c >= 0x7F) std::snprintf(piece, sizeof piece, "\\x%02X", c);
    else piece[0] = static_cast<char>(c), piece[1] = '\0';
    const int32_t n = static_cast<int32_t>(std::strlen(piece));
    if (used + n + 4 >= size) {
      cut = true;
      break;
    }
    std::memcpy(out + used, piece, static_cast<size_t>(n));
    used += n;
  }
  if (cut) std::memcpy(out + used, "...", 3), used += 3;
  out[used] = '\0';
}

}  // namespace

void SentenceTapInit(SentenceTap* tap, unsigned char* storage, uint32_t capacity) {
  RingInit(&tap->ring, storage, capacity);
  tap->lastEnd = 0;
  tap->lost.store(0, std::memory_order_relaxed);
}

void SentenceTapRestart(SentenceTap* tap) { tap->lastEnd = 0; }

void SentenceTapTell(SentenceTap* tap, const char* text, int32_t length, int32_t verdict, uint32_t streamBytes) {
  const Told told = {verdict, length, streamBytes - static_cast<uint32_t>(length) - tap->lastEnd};
  tap->lastEnd = streamBytes;
  const uint32_t shown = static_cast<uint32_t>(length < 0 ? 0 : length < SENTENCE_SHOWN ? length : SENTENCE_SHOWN);
  if (!RingWrite(&tap->ring, &told, sizeof told, text, shown)) tap->lost.fetch_add(1, std::memory_order_relaxed);
}

void SentenceLogClear(SentenceLog* log) {
  log->first = 0;
  log->count = 0;
  log->added = 0;
  log->totals = {};
}

int32_t SentenceLogTake(SentenceLog* log, SentenceTap* tap) {
  int32_t added = 0;
  Told told;
  // What waits now, not what comes meanwhile: a take ends however fast the
  // reader thread writes.
  for (uint32_t waiting = RingWaiting(&tap->ring); waiting >= sizeof told;) {
    RingTake(&tap->ring, &told, sizeof told);
    char text[SENTENCE_SHOWN];
    const int32_t shown = told.length < 0 ? 0 : told.length < SENTENCE_SHOWN ? told.length : SENTENCE_SHOWN;
    RingTake(&tap->ring, text, static_cast<uint32_t>(shown));
    const uint32_t record = static_cast<uint32_t>(sizeof told) + static_cast<uint32_t>(shown);
    waiting = waiting > record ? waiting - record : 0;
    log->totals.betweenBytes += told.between;
    if (told.between > LINE_END) {
      SentenceLine& line = NextLine(log);
      line.kind = LINE_BETWEEN;
      std::snprintf(line.text, sizeof line.text, "[%u bytes between sentences]", static_cast<unsigned>(told.between));
      ++added;
    }
    if (told.verdict < 0 || told.verdict > GPS_SENTENCE_CUT_SHORT) continue;
    ++log->totals.verdicts[told.verdict];
    SentenceLine& line = NextLine(log);
    line.kind = told.verdict;
    const int32_t mark = static_cast<int32_t>(std::strlen(MARKS[told.verdict]));
    std::memcpy(line.text, MARKS[told.verdict], static_cast<size_t>(mark));
    Escape(text, shown, told.length > shown, line.text + mark, SENTENCE_LINE_SIZE - mark);
    ++added;
  }
  log->totals.lost = tap->lost.load(std::memory_order_relaxed);
  return added;
}

const SentenceLine& SentenceLogLine(const SentenceLog& log, int32_t i) {
  return log.lines[(log.first + i) % SENTENCE_LOG_LINES];
}

void FormatSentenceTotals(const SentenceTotals& totals, char* text, int32_t size) {
  const uint32_t* v = totals.verdicts;
  int written = std::snprintf(text, static_cast<size_t>(size),
                              "%u sentences, %u checksum error%s, %u too short, %u too long, %u cut short, %u bytes "
                              "between sentences",
                              static_cast<unsigned>(v[GPS_SENTENCE_VERIFIED]),
                              static_cast<unsigned>(v[GPS_SENTENCE_CHECKSUM_ERROR]),
                              v[GPS_SENTENCE_CHECKSUM_ERROR] == 1 ? "" : "s",
                              static_cast<unsigned>(v[GPS_SENTENCE_TOO_SHORT]),
                              static_cast<unsigned>(v[GPS_SENTENCE_TOO_LONG]),
                              static_cast<unsigned>(v[GPS_SENTENCE_CUT_SHORT]), static_cast<unsigned>(totals.betweenBytes));
  if (totals.lost > 0 && written > 0 && written < size)
    std::snprintf(text + written, static_cast<size_t>(size - written), ", %u not shown (too many at once)",
                  static_cast<unsigned>(totals.lost));
}
