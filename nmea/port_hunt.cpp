#include "nmea/port_hunt.h"

uint32_t HuntNowMs() { return GetTickCount(); }

void HuntStart(PortHunt* hunt, uint32_t baudRate, bool searching) {
  hunt->generation = static_cast<uint16_t>(hunt->generation + 1);
  hunt->startMs = HuntNowMs();
  hunt->baudRate = baudRate;
  hunt->searching.store(searching ? 1 : 0, std::memory_order_relaxed);
  hunt->start.store(static_cast<uint64_t>(hunt->generation) << 32 | hunt->startMs,
                    std::memory_order_release);
}

bool HuntBlockBegins(PortHunt* hunt) {
  const uint64_t start = hunt->start.load(std::memory_order_acquire);
  const uint16_t generation = static_cast<uint16_t>(start >> 32);
  if (generation == hunt->fedGeneration) return false;
  hunt->fedGeneration = generation;
  hunt->fedFlags = 0;
  LineTallyStart(&hunt->tally, static_cast<uint32_t>(start));
  return true;
}

void HuntBlockEnds(PortHunt* hunt, uint32_t bytes, uint32_t verified, uint32_t held) {
  bool burstBegan = false;
  const uint32_t now = HuntNowMs();
  const uint32_t flags = LineTallyBlock(&hunt->tally, now, bytes, verified, held, &burstBegan);
  hunt->word.store(LinePack(hunt->fedGeneration, now, flags), std::memory_order_release);
  // The searching thread sleeps until something can change its mind: a
  // verdict that is new, or (while it searches) a burst to time.
  const uint32_t news = (flags & ~hunt->fedFlags) & (LINE_SENTENCES | LINE_GARBAGE);
  hunt->fedFlags = flags;
  if (news || (burstBegan && hunt->searching.load(std::memory_order_relaxed))) {
    (void)SetEvent(hunt->wake);  // the searcher's event, alive while the port is open
  }
}

uint32_t HuntFlags(const PortHunt* hunt) {
  const uint64_t word = hunt->word.load(std::memory_order_acquire);
  return LineGeneration(word) == hunt->generation ? LineFlags(word) : 0;
}

LineVerdict HuntJudge(const PortHunt* hunt, uint32_t* waitMs) {
  return LineJudgeSearch(hunt->word.load(std::memory_order_acquire), hunt->generation,
                         hunt->startMs, HuntNowMs(), waitMs);
}

int32_t HuntSwitch(PortHunt* hunt, ComPort* port, uint32_t baudRate, bool searching) {
  // The generation first: a block read before the new speed and fed after
  // it only adds garbage ahead of the new speed's first '$'.
  HuntStart(hunt, baudRate, searching);
  uint32_t error = 0;
  return OrvoCOMSetBaudRate(port, baudRate, &error);
}
