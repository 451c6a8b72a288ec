#include "app/clock.h"

#include <chrono>

namespace {

const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

int32_t SteadyMilliseconds() {
  auto since = std::chrono::steady_clock::now() - processStart;
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
  // Keeps the low 32 bits: the count wraps, and ElapsedSince copes with that.
  return static_cast<int32_t>(static_cast<uint32_t>(ms));
}

ClockSource clockSource = SteadyMilliseconds;

}  // namespace

void SetClockSource(ClockSource source) { clockSource = source ? source : SteadyMilliseconds; }

int32_t ClockNow() { return clockSource(); }

void StampTime(int32_t* where) { *where = ClockNow(); }

void StampTime(std::atomic<int32_t>* where) { where->store(ClockNow()); }

int32_t ElapsedSince(int32_t stamp) {
  // Unsigned subtraction is defined on overflow; the signed difference of two
  // counts in wrapping arithmetic is its two's-complement reading.
  return static_cast<int32_t>(static_cast<uint32_t>(ClockNow()) - static_cast<uint32_t>(stamp));
}

int32_t HasElapsed(int32_t stamp, int32_t limit) { return ElapsedSince(stamp) > limit ? 1 : 0; }

int32_t MillisecondsUntilElapsed(int32_t stamp, int32_t limit) {
  int32_t elapsed = ElapsedSince(stamp);
  if (elapsed > limit) return 0;
  // A stamp written by another thread just after "now" was read looks like
  // the future; waiting the whole limit is then the right answer.
  if (elapsed < 0) elapsed = 0;
  return limit - elapsed + 1;
}
