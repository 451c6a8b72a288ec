// Telling a silent receiver from one that talks: portable and free of
// threads, on the clock of its caller.  A receiver that stops (switched off,
// out of Bluetooth range, its port kept and its reads simply pending) sends
// nothing that verifies: after LINK_SILENT_MS, or LINK_SILENT_CYCLES of its
// own cycles if it talks less often, the link says so; with reconnect on,
// after LINK_REOPEN_MS (or LINK_REOPEN_CYCLES cycles) the port is closed and
// opened again, and again as often while it stays silent, since a Bluetooth
// port comes back only once it is opened anew.
#ifndef ORVOGPS_LINK_SILENCE_H
#define ORVOGPS_LINK_SILENCE_H

#include <cstdint>

constexpr uint32_t LINK_SILENT_MS = 3000;
constexpr uint32_t LINK_SILENT_CYCLES = 3;
constexpr uint32_t LINK_REOPEN_MS = 5000;
constexpr uint32_t LINK_REOPEN_CYCLES = 5;
// A gap between two bursts longer than this is silence, not the receiver's
// cycle (receivers talk every 10 s at the slowest).
constexpr uint32_t LINK_LONGEST_CYCLE_MS = 30000;
// Verified bytes less than this apart belong to one burst.
constexpr uint32_t LINK_BURST_GAP_MS = 100;

// When something last verified and how often the receiver talks, as the
// feeding thread keeps it.
struct LinkHeard {
  uint32_t lastMs;   // the last block in which a sentence or frame verified
  uint32_t burstMs;  // the first such block of the current burst
  uint32_t cycleMs;  // between the last two bursts' starts; 0: not known yet
  bool any;
};

void LinkHeardStart(LinkHeard* heard);
// A block in which something verified arrived at nowMs.
void LinkHeardBlock(LinkHeard* heard, uint32_t nowMs);
// lastMs and cycleMs as one word, for the thread that judges.
uint64_t LinkHeardPack(const LinkHeard* heard);
uint32_t LinkHeardLastMs(uint64_t word);
uint32_t LinkHeardCycleMs(uint64_t word);

// The later of two times on a wrapping millisecond clock.
uint32_t LaterMs(uint32_t a, uint32_t b);

struct LinkSilence {
  bool silent;      // show that no sentences arrive
  bool reopen;      // close the port and open it again (reconnect on)
  uint32_t waitMs;  // until the verdict can change with nothing arriving; 0xFFFFFFFF: never
};

// quietMs: since something last verified, or since the port was (re)opened
// if that is later.
LinkSilence JudgeSilence(uint32_t quietMs, uint32_t cycleMs, bool reconnect);

#endif
