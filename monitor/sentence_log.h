// The sentences pane's history: every sentence the framer leaves, told on
// the reader thread (SentenceTapTell), handed over through a ring and kept
// on the window's side as the latest SENTENCE_LOG_LINES lines, each marked
// with what the framer made of it, with a line for the bytes that lay
// between two sentences when they were more than a line end.
#ifndef ORVOGPS_MONITOR_SENTENCE_LOG_H
#define ORVOGPS_MONITOR_SENTENCE_LOG_H

#include <atomic>
#include <cstdint>

#include "monitor/byte_ring.h"

constexpr int32_t SENTENCE_LOG_LINES = 500;
// Characters of a sentence kept for the pane; a longer one ends in "...".
constexpr int32_t SENTENCE_SHOWN = 160;
constexpr int32_t SENTENCE_LINE_SIZE = SENTENCE_SHOWN + 48;

// What a line of the pane is: a verdict of the framer's (GPS_SENTENCE_...),
// or bytes between sentences.
constexpr int32_t LINE_BETWEEN = 100;

// The reader thread's side: the ring it writes into and where the sentence
// before ended in the stream.
struct SentenceTap {
  ByteRing ring;
  uint32_t lastEnd;
  std::atomic<uint32_t> lost;  // sentences the ring had no room for
};

void SentenceTapInit(SentenceTap* tap, unsigned char* storage, uint32_t capacity);
// From the start of a stream (a new receiver, a new context): the next
// sentence's bytes before it count from 0.  Before the tap is told anything.
void SentenceTapRestart(SentenceTap* tap);
// Reader thread, from the sentence callback: streamBytes is the context's
// byte count at that moment, which includes this sentence's last character.
void SentenceTapTell(SentenceTap* tap, const char* text, int32_t length, int32_t verdict, uint32_t streamBytes);

struct SentenceLine {
  int32_t kind;  // GPS_SENTENCE_... or LINE_BETWEEN
  char text[SENTENCE_LINE_SIZE];
};

// What the lines added up to since the last clear; the framer's own counts
// for the same stream are the same.
struct SentenceTotals {
  uint32_t verdicts[5];     // by GPS_SENTENCE_... verdict
  uint32_t betweenBytes;    // bytes between sentences, line ends included
  uint32_t lost;            // sentences the ring had no room for
};

struct SentenceLog {
  SentenceLine lines[SENTENCE_LOG_LINES];
  int32_t first;   // the oldest line's slot
  int32_t count;
  uint32_t added;  // lines ever added: tells a pane how many are new to it
  SentenceTotals totals;
};

void SentenceLogClear(SentenceLog* log);
// Window's side: moves what waits in the tap's ring into the log; returns
// how many lines it added.
int32_t SentenceLogTake(SentenceLog* log, SentenceTap* tap);
// Line i, 0 the oldest, count - 1 the newest.
const SentenceLine& SentenceLogLine(const SentenceLog& log, int32_t i);

// "412 sentences, 1 checksum error, 0 too short, 0 too long, 2 cut short,
// 830 bytes between sentences".
void FormatSentenceTotals(const SentenceTotals& totals, char* text, int32_t size);

#endif
