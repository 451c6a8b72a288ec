#include <cstring>

#include "comport/comport.h"

static int32_t NextIndex(int32_t index) { return index + 1 == TX_QUEUE_ENTRIES ? 0 : index + 1; }

void TxQueueReset(TxQueue* queue) {
  queue->writeIndex.store(0, std::memory_order_relaxed);
  queue->readIndex.store(0, std::memory_order_relaxed);
  memset(queue->entries, 0, sizeof queue->entries);
}

int32_t TxQueueTake(TxQueue* queue, unsigned char* buffer, uint32_t* lengthOut) {
  int32_t read = queue->readIndex.load(std::memory_order_relaxed);
  if (queue->writeIndex.load(std::memory_order_acquire) == read) return 0;
  const TxEntry& entry = queue->entries[read];
  memcpy(buffer, entry.data, entry.length);
  *lengthOut = entry.length;
  // The entry may be refilled as soon as the producer sees the new index.
  queue->readIndex.store(NextIndex(read), std::memory_order_release);
  return 1;
}

int32_t TxQueuePut(ComPort* port, const void* data, uint32_t length) {
  if (!port || !port->isOpen || length > TX_ENTRY_SIZE || (!data && length)) {
    return TX_REFUSED_INVALID;
  }
  TxQueue& queue = port->txQueue;
  int32_t write = queue.writeIndex.load(std::memory_order_relaxed);
  int32_t next = NextIndex(write);
  // Equal indexes mean empty, so the last free entry can never be filled.
  if (next == queue.readIndex.load(std::memory_order_acquire)) return TX_REFUSED_FULL;
  if (length) memcpy(queue.entries[write].data, data, length);
  queue.entries[write].length = length;
  queue.writeIndex.store(next, std::memory_order_release);
  // Null until this open's writer has made its event; the writer clears it
  // before closing the event, and the close waits for the writer, so a
  // producer on the closing thread never sees a stale handle.
  HANDLE wake = InterlockedCompareExchangePointer(&port->ghWriterEvent, nullptr, nullptr);
  if (wake) SetEvent(wake);  // a lost wake-up only delays the entry by one poll
  return TX_QUEUED;
}
