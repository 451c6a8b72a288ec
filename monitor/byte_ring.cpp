#include "monitor/byte_ring.h"

#include <cstring>

namespace {

// Copies count bytes into the ring from the position at on, wrapping.
void CopyIn(ByteRing* ring, uint32_t at, const void* from, uint32_t count) {
  const uint32_t offset = at & (ring->capacity - 1);
  const uint32_t run = count < ring->capacity - offset ? count : ring->capacity - offset;
  std::memcpy(ring->data + offset, from, run);
  std::memcpy(ring->data, static_cast<const unsigned char*>(from) + run, count - run);
}

}  // namespace

void RingInit(ByteRing* ring, unsigned char* storage, uint32_t capacity) {
  ring->data = storage;
  ring->capacity = capacity;
  ring->written.store(0, std::memory_order_relaxed);
  ring->taken.store(0, std::memory_order_relaxed);
  ring->refused.store(0, std::memory_order_relaxed);
}

bool RingWrite(ByteRing* ring, const void* first, uint32_t firstCount, const void* second, uint32_t secondCount) {
  const uint32_t written = ring->written.load(std::memory_order_relaxed);
  const uint32_t used = written - ring->taken.load(std::memory_order_acquire);
  const uint32_t count = firstCount + secondCount;
  if (count > ring->capacity - used) {
    ring->refused.fetch_add(count, std::memory_order_relaxed);
    return false;
  }
  CopyIn(ring, written, first, firstCount);
  if (secondCount > 0) CopyIn(ring, written + firstCount, second, secondCount);
  ring->written.store(written + count, std::memory_order_release);
  return true;
}

uint32_t RingWaiting(const ByteRing* ring) {
  return ring->written.load(std::memory_order_acquire) - ring->taken.load(std::memory_order_relaxed);
}

uint32_t RingTake(ByteRing* ring, void* to, uint32_t count) {
  const uint32_t taken = ring->taken.load(std::memory_order_relaxed);
  const uint32_t waiting = ring->written.load(std::memory_order_acquire) - taken;
  if (count > waiting) count = waiting;
  if (to != nullptr) {
    const uint32_t offset = taken & (ring->capacity - 1);
    const uint32_t run = count < ring->capacity - offset ? count : ring->capacity - offset;
    std::memcpy(to, ring->data + offset, run);
    std::memcpy(static_cast<unsigned char*>(to) + run, ring->data, count - run);
  }
  ring->taken.store(taken + count, std::memory_order_release);
  return count;
}
