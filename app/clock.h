// The demo's millisecond clock: a signed 32-bit count of milliseconds since
// the process started.  Every timeout is "now minus stamp is greater than the
// limit", computed modulo 2^32 so that the count may wrap.
#ifndef ORVOGPS_APP_CLOCK_H
#define ORVOGPS_APP_CLOCK_H

#include <atomic>
#include <cstdint>

typedef int32_t (*ClockSource)();

// Replaces the clock, for tests; null restores the real one.
void SetClockSource(ClockSource source);

int32_t ClockNow();

void StampTime(int32_t* where);
void StampTime(std::atomic<int32_t>* where);

// Milliseconds from stamp to now, negative when the stamp is later.
int32_t ElapsedSince(int32_t stamp);

// 1 when more than limit milliseconds have passed since stamp, else 0.
int32_t HasElapsed(int32_t stamp, int32_t limit);

// How long until HasElapsed(stamp, limit) turns 1: 0 when it already has.
int32_t MillisecondsUntilElapsed(int32_t stamp, int32_t limit);

#endif
