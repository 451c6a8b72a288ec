#include "nmea/port_hunt.h"

static uint32_t (*gHuntClock)() = nullptr;

uint32_t HuntNowMs() { return gHuntClock ? gHuntClock() : GetTickCount(); }

void HuntUseClock(uint32_t (*clock)()) { gHuntClock = clock; }

void HuntStart(PortHunt* hunt, uint32_t baudRate, bool searching) {
  // Generation 0 is never used: an empty word (generation 0) then belongs to
  // none, and a word left from 65536 generations ago (a port silent for a
  // day) is cleared here, so that neither is taken for the new one's.
  hunt->generation = static_cast<uint16_t>(hunt->generation + 1);
  if (hunt->generation == 0) hunt->generation = 1;
  hunt->startMs = HuntNowMs();
  hunt->baudRate = baudRate;
  hunt->word.store(0, std::memory_order_relaxed);
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
  if (verified > 0) {
    LinkHeardBlock(&hunt->heardTrack, now);
    // Sequentially consistent, as the searcher's request and look are: one
    // of the two sees the other's store.
    hunt->heard.store(LinkHeardPack(&hunt->heardTrack));
    if (hunt->wantHeard.load() && hunt->wantHeard.exchange(0))
      (void)SetEvent(hunt->wake);
  }
  // The searching thread sleeps until something can change its mind: a
  // verdict that is new, or (while it searches) a burst to time.
  const uint32_t news = (flags & ~hunt->fedFlags) & (LINE_SENTENCES | LINE_GARBAGE);
  hunt->fedFlags = flags;
  if (news || (burstBegan && hunt->searching.load(std::memory_order_relaxed))) {
    (void)SetEvent(hunt->wake);  // the searcher's event, alive while the port is open
  }
}

uint64_t HuntHeard(const PortHunt* hunt) { return hunt->heard.load(); }

void HuntWakeOnHeard(PortHunt* hunt) { hunt->wantHeard.store(1); }

uint32_t HuntFlags(const PortHunt* hunt) {
  const uint64_t word = hunt->word.load(std::memory_order_acquire);
  return LineGeneration(word) == hunt->generation ? LineFlags(word) : 0;
}

LineVerdict HuntJudge(const PortHunt* hunt, uint32_t* waitMs) {
  // The word before the clock: a block published in between is then at most
  // as late as now, never after it.
  const uint64_t word = hunt->word.load(std::memory_order_acquire);
  const uint32_t now = HuntNowMs();
  return LineJudgeSearch(word, hunt->generation, hunt->startMs, now, waitMs);
}

int32_t HuntSwitch(PortHunt* hunt, ComPort* port, uint32_t baudRate, bool searching) {
  // The speed first (and the driver's bytes of the old one purged), then the
  // generation: what the reader delivers while SetCommState runs is still
  // the old speed's and must not count for the new one.
  uint32_t error = 0;
  const int32_t code = OrvoCOMSetBaudRate(port, baudRate, &error);
  if (code == 0) HuntStart(hunt, baudRate, searching);
  return code;
}

uint32_t HuntNextSpeed(PortHunt* hunt, ComPort* port, LineSearch* search) {
  for (int32_t tried = 0; tried < LINE_SPEED_COUNT; ++tried) {
    const uint32_t next = LineSearchNext(search);
    if (HuntSwitch(hunt, port, next, true) == 0) return next;
  }
  // Nothing else accepted: listen on at the speed the port has.
  HuntStart(hunt, hunt->baudRate, true);
  return hunt->baudRate;
}
