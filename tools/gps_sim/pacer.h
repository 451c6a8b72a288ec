// Pacing at a serial line's rate: 8-N-1 framing puts 10 bits on the wire per
// byte, so a line at B baud carries at most B/10 bytes per second.
#ifndef GPS_SIM_PACER_H
#define GPS_SIM_PACER_H

#include <cstddef>
#include <cstdint>

struct Pacer {
  int64_t baud;
  int64_t lineFreeNs;  // monotonic time at which the line finishes its last byte
};

Pacer PacerMake(int64_t baud);

// Queues count bytes offered at nowNs behind whatever the line still carries
// and returns the monotonic time at which a real line would have delivered
// the last of them.  Writing them no earlier than that keeps the stream
// within the line rate over every interval.
int64_t PacerReserve(Pacer& pacer, size_t count, int64_t nowNs);

// Bytes the line carries in about 10 ms (at least 1): the size of each write,
// small enough that a reader sees the stream arrive as from a real line.
size_t PacerChunkBytes(int64_t baud);

#endif
