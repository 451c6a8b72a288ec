// What the receiver's reader thread hands to the server's thread: each
// verified sentence as received, and each epoch's fix and sky.  The reader
// thread never waits for the server: the queue holds a fixed number of
// entries, and when it is full the oldest is dropped and counted.
#ifndef ORVOGPS_SERVER_FEED_QUEUE_H
#define ORVOGPS_SERVER_FEED_QUEUE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include <nmea/navigation.h>
#include <nmea/nmea.h>

struct FeedEntry {
  enum Kind : int32_t { SENTENCE, EPOCH };
  Kind kind;
  int32_t length;                   // SENTENCE: of text
  char text[GPS_SENTENCE_SIZE];     // SENTENCE: as received, without the line end
  GpsFix fix;                       // EPOCH
  GpsSky sky;                       // EPOCH: signals[0 .. sky.signalCount - 1] valid
};

class FeedQueue {
 public:
  explicit FeedQueue(size_t capacity);

  // Reader thread.  Each returns true when the queue was empty before, so
  // that the caller wakes the server's thread only then.
  bool PushSentence(const char* text, int32_t length);
  bool PushEpoch(const GpsFix& fix, const GpsSky& sky);

  // Server thread: the oldest entry into out; false when there is none.
  bool Pop(FeedEntry* out);

  uint64_t Dropped() const;

 private:
  FeedEntry* Claim();  // under the lock: the slot to fill, dropping the oldest when full

  mutable std::mutex lock_;
  std::unique_ptr<FeedEntry[]> slots_;
  size_t capacity_;
  size_t head_ = 0;  // the oldest
  size_t count_ = 0;
  uint64_t dropped_ = 0;
};

#endif
