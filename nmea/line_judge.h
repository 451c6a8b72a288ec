// Telling from what a port delivers whether it runs at the receiver's speed.
// Portable and free of threads: the thread that feeds the bytes keeps a
// LineTally and publishes it as one 64-bit word; the thread that changes the
// speed reads that word and asks LineJudge what to do, on the same clock.
//
// A receiver talks in bursts: every cycle (once a second for most) it sends
// its sentences back to back, then rests.  At its speed every burst holds
// whole sentences; at any other speed the UART delivers garbage, in which a
// sentence verifies by chance with a probability of about 1e-7 per byte
// (a '$', a '*', two hexadecimal digits out of 256 values each, and an 8-bit
// checksum that matches).
#ifndef ORVOGPS_LINE_JUDGE_H
#define ORVOGPS_LINE_JUDGE_H

#include <cstdint>

// The speeds a receiver is searched at, in the order they are tried: the
// common ones first.
constexpr int32_t LINE_SPEED_COUNT = 9;
extern const uint32_t kLineSearchOrder[LINE_SPEED_COUNT];

// 1 when baud is one of the speeds above.
int32_t IsLineSpeed(uint32_t baud);

// Two verified sentences take a speed.  Garbage verifies one sentence in
// about ten million bytes, and a speed is left after 1024 unexplained bytes at
// most, so two by chance at one try come about once in 1e8 tries; a receiver
// sends five or more sentences a cycle, so the second costs no extra cycle.
constexpr uint32_t LINE_TAKE_SENTENCES = 2;
// At its speed a receiver's bytes verify within any 1022 of them: a sentence
// the framer takes has at most 511 characters, so a partial one and a whole
// one fit.  1024 bytes without a sentence are therefore garbage (or not NMEA).
constexpr uint32_t LINE_GARBAGE_BYTES = 1024;
// A gap of this long separates bursts.  Inside a sentence there is none: a
// UART sends one character after the other, and a USB adapter holds bytes
// for 16 ms at most.
constexpr uint32_t LINE_QUIET_MS = 100;
// Nothing at all for this long: longer than a 1 Hz receiver's cycle, so a
// receiver that talks has been heard.
constexpr uint32_t LINE_SILENT_MS = 1500;
// After a speed was taken, this many whole bursts in a row without a
// sentence give it up (one may be lost to noise).
constexpr uint32_t LINE_BAD_BURSTS = 2;

// What the feeding thread knows about the bytes since the speed was set.
struct LineTally {
  uint32_t lastMs;           // time of the last block, or of the start
  uint32_t verified;         // sentences verified since the start
  uint32_t unverifiedBytes;  // bytes since the last verified sentence
  uint32_t badBursts;        // whole bursts in a row without a sentence
  bool anyBytes;
  bool burstWhole;           // the current burst began after a quiet gap seen in full
  bool burstVerified;        // a sentence verified in the current burst
};

// Verdict flags, published with the tally.
enum : uint32_t {
  LINE_HEARD = 1,          // a block arrived since the start
  LINE_SENTENCES = 2,      // LINE_TAKE_SENTENCES or more verified: the speed is right
  LINE_GARBAGE = 4,        // LINE_GARBAGE_BYTES unexplained, or LINE_BAD_BURSTS bad bursts
  LINE_WHOLE_BURST = 8,    // the current burst began after a quiet gap seen in full
  LINE_BURST_VERIFIED = 16,
};

void LineTallyStart(LineTally* tally, uint32_t nowMs);
// A block of bytes arrived at nowMs, in which verified sentences (or binary
// frames) verified; held of the bytes since the last verified one wait in a
// binary frame candidate, not yet judged, and are not garbage (yet).
// Returns the flags; *burstBegan is true when the block began a burst after a
// quiet gap (a searching thread then wants to look again LINE_QUIET_MS
// after the burst's last block).
uint32_t LineTallyBlock(LineTally* tally, uint32_t nowMs, uint32_t bytes, uint32_t verified,
                        uint32_t held, bool* burstBegan);

// The tally as one word, with the generation (which start it belongs to).
uint64_t LinePack(uint16_t generation, uint32_t lastMs, uint32_t flags);
uint16_t LineGeneration(uint64_t word);
uint32_t LineLastMs(uint64_t word);
uint32_t LineFlags(uint64_t word);

enum LineVerdict : int32_t {
  LINE_WAIT = 0,   // nothing decided; look again at the deadline or when woken
  LINE_TAKE = 1,   // the speed is right
  LINE_LEAVE = 2,  // the speed is wrong (or the port silent): try the next
};

// What the speed-changing thread makes of a published word while searching,
// given when the speed was set (startMs) and the time now.  Stores, for
// LINE_WAIT, how many ms to wait at most before asking again.
LineVerdict LineJudgeSearch(uint64_t word, uint16_t generation, uint32_t startMs,
                            uint32_t nowMs, uint32_t* waitMs);

// The order of one search: the speed to start at, then the others in
// kLineSearchOrder's order, round after round.
struct LineSearch {
  uint32_t order[LINE_SPEED_COUNT];
  int32_t next;
};
void LineSearchStart(LineSearch* search, uint32_t first);
// The next speed to try (the first one on the first call).
uint32_t LineSearchNext(LineSearch* search);

#endif
