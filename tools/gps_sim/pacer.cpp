#include "pacer.h"

#include <algorithm>

namespace {
constexpr int64_t kBitsPerByte = 10;  // start bit, 8 data bits, stop bit
constexpr int64_t kNanosPerSecond = 1000000000;
}  // namespace

Pacer PacerMake(int64_t baud) { return Pacer{baud, 0}; }

int64_t PacerReserve(Pacer& pacer, size_t count, int64_t nowNs) {
  const int64_t bits = static_cast<int64_t>(count) * kBitsPerByte;
  // Rounded up, so that rounding can only ever slow the stream down.
  const int64_t duration = (bits * kNanosPerSecond + pacer.baud - 1) / pacer.baud;
  pacer.lineFreeNs = std::max(pacer.lineFreeNs, nowNs) + duration;
  return pacer.lineFreeNs;
}

size_t PacerChunkBytes(int64_t baud) {
  return static_cast<size_t>(std::max<int64_t>(1, baud / kBitsPerByte / 100));
}
