#include "server/feed_queue.h"

#include <algorithm>
#include <cstring>

FeedQueue::FeedQueue(size_t capacity) : slots_(new FeedEntry[capacity]), capacity_(capacity) {}

FeedEntry* FeedQueue::Claim() {
  if (count_ == capacity_) {
    head_ = (head_ + 1) % capacity_;
    --count_;
    ++dropped_;
  }
  return &slots_[(head_ + count_++) % capacity_];
}

bool FeedQueue::PushSentence(const char* text, int32_t length) {
  const std::lock_guard<std::mutex> hold(lock_);
  const bool wasEmpty = count_ == 0;
  FeedEntry* e = Claim();
  e->kind = FeedEntry::SENTENCE;
  e->length = std::min<int32_t>(std::max<int32_t>(length, 0), GPS_SENTENCE_SIZE);
  std::memcpy(e->text, text, static_cast<size_t>(e->length));
  return wasEmpty;
}

bool FeedQueue::PushEpoch(const GpsFix& fix, const GpsSky& sky) {
  const std::lock_guard<std::mutex> hold(lock_);
  const bool wasEmpty = count_ == 0;
  FeedEntry* e = Claim();
  e->kind = FeedEntry::EPOCH;
  e->fix = fix;
  const int32_t signals = std::min<int32_t>(std::max<int32_t>(sky.signalCount, 0), GPS_SKY_SIZE);
  e->sky.signalCount = signals;
  e->sky.usedCount = sky.usedCount;
  e->sky.notShown = sky.notShown;
  std::copy(sky.signals, sky.signals + signals, e->sky.signals);
  return wasEmpty;
}

bool FeedQueue::Pop(FeedEntry* out) {
  const std::lock_guard<std::mutex> hold(lock_);
  if (count_ == 0) return false;
  const FeedEntry& e = slots_[head_];
  out->kind = e.kind;
  if (e.kind == FeedEntry::SENTENCE) {
    out->length = e.length;
    std::memcpy(out->text, e.text, static_cast<size_t>(e.length));
  } else {
    out->fix = e.fix;
    out->sky.signalCount = e.sky.signalCount;
    out->sky.usedCount = e.sky.usedCount;
    out->sky.notShown = e.sky.notShown;
    std::copy(e.sky.signals, e.sky.signals + e.sky.signalCount, out->sky.signals);
  }
  head_ = (head_ + 1) % capacity_;
  --count_;
  return true;
}

uint64_t FeedQueue::Dropped() const {
  const std::lock_guard<std::mutex> hold(lock_);
  return dropped_;
}
