// One port's speed search between two threads: the port's reader thread
// tallies each block (LineTally) and publishes it as one word; the thread that
// owns the search judges the word and changes the speed.  Neither waits for
// the other: a new speed starts a new generation, and the reader, seeing it
// at its next block, starts its tally and its framer afresh.
#ifndef ORVOGPS_PORT_HUNT_H
#define ORVOGPS_PORT_HUNT_H

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "comport/comport.h"
#include "nmea/line_judge.h"
#include "nmea/link_silence.h"

struct PortHunt {
  // Written by the searching thread: generation << 32 | start time, and
  // whether it wants to hear of burst starts (only while searching).
  std::atomic<uint64_t> start;
  std::atomic<int32_t> searching;
  // Written by the reader thread: its LinePack word.
  std::atomic<uint64_t> word;
  // Written by the reader thread: when something last verified, and the
  // receiver's cycle (LinkHeardPack), over every generation.
  std::atomic<uint64_t> heard;
  // Set by the searching thread to be woken by the next block that verifies.
  std::atomic<int32_t> wantHeard;
  HANDLE wake;  // auto-reset: the reader sets it when the word needs a look
  // The reader thread's own.
  LineTally tally;
  uint16_t fedGeneration;
  uint32_t fedFlags;
  LinkHeard heardTrack;
  // The searching thread's own.
  uint16_t generation;
  uint32_t startMs;
  uint32_t baudRate;
};

// The millisecond clock both threads use (GetTickCount: it wraps, and every
// comparison subtracts).
uint32_t HuntNowMs();
// Tests: the clock HuntNowMs reads instead (null: GetTickCount again).
void HuntUseClock(uint32_t (*clock)());

// Searching thread, before the port opens or after a speed change: a new
// generation from now, whose word is empty until the reader publishes one.
// wake must outlive the port's reader thread.
void HuntStart(PortHunt* hunt, uint32_t baudRate, bool searching);

// Reader thread, before feeding a block: true when a new generation began,
// so that whatever framing the caller keeps starts afresh.
bool HuntBlockBegins(PortHunt* hunt);
// Reader thread, after feeding it: bytes fed, sentences and frames that
// verified, bytes held in a frame candidate at its end.
void HuntBlockEnds(PortHunt* hunt, uint32_t bytes, uint32_t verified, uint32_t held);

// Searching thread: the time something last verified and the receiver's
// cycle (LinkHeardLastMs, LinkHeardCycleMs).
uint64_t HuntHeard(const PortHunt* hunt);
// Searching thread: the next block that verifies sets wake (call it before
// looking at HuntHeard, so that none comes unseen in between).
void HuntWakeOnHeard(PortHunt* hunt);

// Searching thread: the flags of the current generation (0 before its first
// block).
uint32_t HuntFlags(const PortHunt* hunt);
// Searching thread: what to do while searching; for LINE_WAIT, how long to
// wait at most before asking again.
LineVerdict HuntJudge(const PortHunt* hunt, uint32_t* waitMs);

// Searching thread: sets the next speed on the open port and, once the
// driver took it, starts its generation.  Returns OrvoCOMSetBaudRate's
// result; a speed refused starts nothing, and the port keeps its speed.
int32_t HuntSwitch(PortHunt* hunt, ComPort* port, uint32_t baudRate, bool searching);
// Searching thread: switches to the search's next speed the driver accepts,
// passing refused ones over at once.  When it refuses a whole round, the
// port's own speed starts a generation again.  Returns the speed now tried.
uint32_t HuntNextSpeed(PortHunt* hunt, ComPort* port, LineSearch* search);

#endif
