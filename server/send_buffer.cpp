#include "server/send_buffer.h"

void SendBuffer::Add(SharedLine line, uint64_t nowMs) {
  const size_t size = line->size();
  // The line being sent stays: cutting it would join two halves on the wire.
  const size_t keep = frontSent_ > 0 ? 1 : 0;
  const uint64_t droppedBefore = dropped_;
  const size_t kept = keep ? NextSize() : 0;
  while (kept + size <= limit_ && lines_.size() > keep && bytes_ + size > limit_) {
    const auto oldest = lines_.begin() + static_cast<std::ptrdiff_t>(keep);
    bytes_ -= (*oldest)->size();
    lines_.erase(oldest);
    ++dropped_;
  }
  if (bytes_ + size > limit_) {
    ++dropped_;
  } else {
    lines_.push_back(std::move(line));
    bytes_ += size;
  }
  if (dropped_ != droppedBefore && !behind_) {
    behind_ = true;
    behindSinceMs_ = nowMs;
  }
}

const char* SendBuffer::Next() const { return lines_.empty() ? nullptr : lines_.front()->data() + frontSent_; }

size_t SendBuffer::NextSize() const { return lines_.empty() ? 0 : lines_.front()->size() - frontSent_; }

void SendBuffer::Sent(size_t size) {
  frontSent_ += size;
  bytes_ -= size;
  if (frontSent_ < lines_.front()->size()) return;
  lines_.pop_front();
  frontSent_ = 0;
  if (lines_.empty()) behind_ = false;
}

bool SendBuffer::TooFarBehind(uint64_t nowMs) const { return behind_ && nowMs - behindSinceMs_ >= BEHIND_LIMIT_MS; }
