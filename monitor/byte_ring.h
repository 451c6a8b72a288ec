// Bytes handed from one thread to another without either waiting: the
// receiver's reader thread writes (the sentences it framed, the blocks it
// read), the window takes them when it gets round to it.  One writer, one
// reader; a write that does not fit is refused whole and counted, so the
// reader thread is never held up by a window that is slow or busy.
#ifndef ORVOGPS_MONITOR_BYTE_RING_H
#define ORVOGPS_MONITOR_BYTE_RING_H

#include <atomic>
#include <cstdint>

struct ByteRing {
  unsigned char* data;
  uint32_t capacity;              // a power of two
  std::atomic<uint32_t> written;  // bytes ever written (the writer's)
  std::atomic<uint32_t> taken;    // bytes ever taken (the reader's)
  std::atomic<uint32_t> refused;  // bytes of writes that did not fit
};

// storage holds capacity bytes, a power of two, for the life of the ring.
void RingInit(ByteRing* ring, unsigned char* storage, uint32_t capacity);

// Writer: the first and then the second run of bytes, as one piece that the
// reader sees whole or not at all.  False (and counted as refused) when
// there is no room for all of it.
bool RingWrite(ByteRing* ring, const void* first, uint32_t firstCount, const void* second = nullptr,
               uint32_t secondCount = 0);

// Reader: how many bytes wait, and up to count of them into to (returns how
// many).  RingTake with to null drops them.
uint32_t RingWaiting(const ByteRing* ring);
uint32_t RingTake(ByteRing* ring, void* to, uint32_t count);

#endif
