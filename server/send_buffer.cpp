#include "server/send_buffer.h"

#include <algorithm>

void SendBuffer::Add(SharedLine line, uint64_t nowMs) {
  const size_t size = line->size();
  // The line being sent stays: cutting it would join two halves on the wire.
  const size_t keep = frontSent_ > 0 ? 1 : 0;
  const uint64_t droppedBefore = dropped_;
  const size_t kept = keep ? FrontLeft() : 0;
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

size_t SendBuffer::Pending(Piece* pieces, size_t max) const {
  size_t n = 0;
  for (; n < max && n < lines_.size(); ++n) {
    const size_t skip = n == 0 ? frontSent_ : 0;
    pieces[n] = {lines_[n]->data() + skip, lines_[n]->size() - skip};
  }
  return n;
}

void SendBuffer::Sent(size_t size) {
  bytes_ -= size;
  while (size > 0) {
    const size_t part = std::min(size, FrontLeft());
    frontSent_ += part;
    size -= part;
    if (FrontLeft() > 0) break;
    lines_.pop_front();
    frontSent_ = 0;
  }
  if (lines_.empty()) behind_ = false;
}

bool SendBuffer::TooFarBehind(uint64_t nowMs) const { return behind_ && nowMs - behindSinceMs_ >= BEHIND_LIMIT_MS; }
