#include "rx_recorder.h"

#include <atomic>
#include <cstring>

static unsigned char gBytes[kRecorderCapacity];
static std::atomic<uint32_t> gSize;
static std::atomic<int32_t> gCalls;
static std::atomic<int32_t> gLargest;
static std::atomic<int32_t> gSmallest;
static std::atomic<void*> gUserData;

void RecorderReset() {
  gSize = 0;
  gCalls = 0;
  gLargest = 0;
  gSmallest = INT32_MAX;
  gUserData = nullptr;
}

void RecordRx(void* userData, const unsigned char* bytes, int32_t count) {
  uint32_t size = gSize.load(std::memory_order_relaxed);
  uint32_t room = kRecorderCapacity - size;
  uint32_t take = static_cast<uint32_t>(count) < room ? static_cast<uint32_t>(count) : room;
  memcpy(gBytes + size, bytes, take);
  gUserData = userData;
  if (count > gLargest) gLargest = count;
  if (count < gSmallest) gSmallest = count;
  gCalls.fetch_add(1);
  gSize.store(size + take, std::memory_order_release);
}

uint32_t RecordedSize() { return gSize.load(std::memory_order_acquire); }
const unsigned char* RecordedBytes() { return gBytes; }
int32_t RecordedCalls() { return gCalls; }
int32_t LargestBlock() { return gLargest; }
int32_t SmallestBlock() { return gSmallest; }
void* LastUserData() { return gUserData; }
