// What waits to be sent to one client.  Lines are shared between clients
// (one TPV is formatted once for every watcher) and sent whole and in
// order.  The buffer holds at most its limit: a client that reads slower
// than the receiver sends loses its oldest lines, never part of one, and once
// it has been losing lines for BEHIND_LIMIT_MS without catching up it is to
// be disconnected.  Time is the caller's milliseconds, so tests drive it.
#ifndef ORVOGPS_SERVER_SEND_BUFFER_H
#define ORVOGPS_SERVER_SEND_BUFFER_H

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

using SharedLine = std::shared_ptr<const std::string>;

constexpr uint64_t BEHIND_LIMIT_MS = 5000;

class SendBuffer {
 public:
  explicit SendBuffer(size_t limit) : limit_(limit) {}

  // Queues line; drops the oldest lines that no longer fit, except the one
  // being sent, and the new line itself when even that is too long.
  void Add(SharedLine line, uint64_t nowMs);

  struct Piece {
    const char* data;
    size_t size;
  };
  // The bytes to send next, in order, into pieces (at most max): the rest
  // of the oldest line and the lines after it, for one gathering send.
  // Returns how many pieces it filled, 0 when nothing waits.
  size_t Pending(Piece* pieces, size_t max) const;
  // size bytes of what Pending gave were sent.
  void Sent(size_t size);

  bool Empty() const { return lines_.empty(); }
  size_t Bytes() const { return bytes_; }
  uint64_t DroppedLines() const { return dropped_; }
  // Lines were dropped and the buffer has not emptied since, for
  // BEHIND_LIMIT_MS or longer.
  bool TooFarBehind(uint64_t nowMs) const;

 private:
  size_t FrontLeft() const { return lines_.front()->size() - frontSent_; }

  size_t limit_;
  std::deque<SharedLine> lines_;
  size_t bytes_ = 0;      // unsent bytes of lines_
  size_t frontSent_ = 0;  // of lines_.front()
  uint64_t dropped_ = 0;
  bool behind_ = false;
  uint64_t behindSinceMs_ = 0;
};

#endif
