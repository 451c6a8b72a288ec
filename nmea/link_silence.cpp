#include "nmea/link_silence.h"

namespace {

constexpr uint32_t NEVER = 0xFFFFFFFFu;

uint32_t Limit(uint32_t floorMs, uint32_t cycles, uint32_t cycleMs) {
  const uint32_t byCycles = cycles * cycleMs;  // at most 5 x 30 s: no overflow
  return byCycles > floorMs ? byCycles : floorMs;
}

}  // namespace

void LinkHeardStart(LinkHeard* heard) { *heard = LinkHeard{}; }

void LinkHeardBlock(LinkHeard* heard, uint32_t nowMs) {
  if (!heard->any || nowMs - heard->lastMs >= LINK_BURST_GAP_MS) {
    const uint32_t sinceBurst = nowMs - heard->burstMs;
    if (heard->any && sinceBurst <= LINK_LONGEST_CYCLE_MS) heard->cycleMs = sinceBurst;
    heard->burstMs = nowMs;
  }
  heard->lastMs = nowMs;
  heard->any = true;
}

uint64_t LinkHeardPack(const LinkHeard* heard) {
  return static_cast<uint64_t>(heard->cycleMs) << 32 | heard->lastMs;
}

uint32_t LinkHeardLastMs(uint64_t word) { return static_cast<uint32_t>(word); }
uint32_t LinkHeardCycleMs(uint64_t word) { return static_cast<uint32_t>(word >> 32); }

uint32_t LaterMs(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) >= 0 ? a : b; }

LinkSilence JudgeSilence(uint32_t quietMs, uint32_t cycleMs, bool reconnect) {
  const uint32_t silentAfter = Limit(LINK_SILENT_MS, LINK_SILENT_CYCLES, cycleMs);
  const uint32_t reopenAfter = Limit(LINK_REOPEN_MS, LINK_REOPEN_CYCLES, cycleMs);
  LinkSilence verdict = {quietMs >= silentAfter, reconnect && quietMs >= reopenAfter, NEVER};
  if (!verdict.silent) {
    verdict.waitMs = silentAfter - quietMs;
  } else if (reconnect && !verdict.reopen) {
    verdict.waitMs = reopenAfter - quietMs;
  }
  return verdict;
}
