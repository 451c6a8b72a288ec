#include "nmea/line_judge.h"

const uint32_t kLineSearchOrder[LINE_SPEED_COUNT] = {
    4800,    // the NMEA 0183 speed, and the one OrvoGPSOpen uses
    9600,    // u-blox M8, MTK and SiRF modules out of the box
    38400,   // u-blox M9 and M10
    115200,  // high-rate modules
    19200, 57600, 230400, 460800, 921600,
};

int32_t IsLineSpeed(uint32_t baud) {
  for (uint32_t speed : kLineSearchOrder)
    if (speed == baud) return 1;
  return 0;
}

void LineTallyStart(LineTally* tally, uint32_t nowMs) {
  *tally = LineTally{};
  tally->lastMs = nowMs;
}

uint32_t LineTallyBlock(LineTally* tally, uint32_t nowMs, uint32_t bytes, uint32_t verified,
                        uint32_t held, bool* burstBegan) {
  *burstBegan = false;
  // Wrapping subtraction: the millisecond clock may pass 2^32 in between.
  if (nowMs - tally->lastMs >= LINE_QUIET_MS) {
    // The burst before the gap is over: judged whole only if it began
    // after a gap of its own.
    if (tally->burstWhole) tally->badBursts = tally->burstVerified ? 0 : tally->badBursts + 1;
    // The first block since the start counts as a whole burst's only when
    // the line was quiet from the start on.
    tally->burstWhole = true;
    tally->burstVerified = false;
    *burstBegan = true;
  }
  tally->anyBytes = true;
  tally->lastMs = nowMs;
  if (verified > 0) {
    tally->verified += verified;
    tally->burstVerified = true;
    tally->badBursts = 0;
    // Where in the block the sentence ended is not known: the bytes after it
    // are at most one partial sentence, forgiven.
    tally->unverifiedBytes = 0;
  } else {
    tally->unverifiedBytes += bytes;
  }
  // A frame candidate is bounded (4 KiB), so what it holds is judged soon.
  const uint32_t unexplained = tally->unverifiedBytes > held ? tally->unverifiedBytes - held : 0;
  const bool garbage = unexplained >= LINE_GARBAGE_BYTES || tally->badBursts >= LINE_BAD_BURSTS;
  uint32_t flags = LINE_HEARD;
  if (tally->verified >= LINE_TAKE_SENTENCES) flags |= LINE_SENTENCES;
  if (garbage) flags |= LINE_GARBAGE;
  if (tally->burstWhole) flags |= LINE_WHOLE_BURST;
  if (tally->burstVerified) flags |= LINE_BURST_VERIFIED;
  return flags;
}

uint64_t LinePack(uint16_t generation, uint32_t lastMs, uint32_t flags) {
  return static_cast<uint64_t>(generation) << 48 | static_cast<uint64_t>(flags & 0xFFFF) << 32 |
         lastMs;
}

uint16_t LineGeneration(uint64_t word) { return static_cast<uint16_t>(word >> 48); }
uint32_t LineLastMs(uint64_t word) { return static_cast<uint32_t>(word); }
uint32_t LineFlags(uint64_t word) { return static_cast<uint32_t>(word >> 32) & 0xFFFF; }

LineVerdict LineJudgeSearch(uint64_t word, uint16_t generation, uint32_t startMs,
                            uint32_t nowMs, uint32_t* waitMs) {
  // A word of an earlier speed says nothing about this one.
  const uint32_t flags = LineGeneration(word) == generation ? LineFlags(word) : 0;
  const uint32_t lastMs = flags & LINE_HEARD ? LineLastMs(word) : startMs;
  if (flags & LINE_SENTENCES) return LINE_TAKE;
  if (flags & LINE_GARBAGE) return LINE_LEAVE;
  // A block published after the caller read its clock is not from the future.
  const uint32_t sinceLast = nowMs - lastMs;
  const uint32_t quietFor = static_cast<int32_t>(sinceLast) < 0 ? 0 : sinceLast;
  if (quietFor >= LINE_SILENT_MS) return LINE_LEAVE;
  uint32_t wait = LINE_SILENT_MS - quietFor;
  // A whole burst at the receiver's speed holds a whole sentence.
  if ((flags & LINE_WHOLE_BURST) && !(flags & LINE_BURST_VERIFIED)) {
    if (quietFor >= LINE_QUIET_MS) return LINE_LEAVE;
    if (LINE_QUIET_MS - quietFor < wait) wait = LINE_QUIET_MS - quietFor;
  }
  *waitMs = wait;
  return LINE_WAIT;
}

void LineSearchStart(LineSearch* search, uint32_t first) {
  int32_t n = 0;
  if (IsLineSpeed(first)) search->order[n++] = first;
  for (uint32_t speed : kLineSearchOrder)
    if (speed != first) search->order[n++] = speed;
  search->next = 0;
}

uint32_t LineSearchNext(LineSearch* search) {
  const uint32_t speed = search->order[search->next];
  search->next = (search->next + 1) % LINE_SPEED_COUNT;
  return speed;
}
