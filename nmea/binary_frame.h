// Binary frames that receivers send between their NMEA sentences: u-blox's
// UBX (0xB5 0x62, class, id, 16-bit little-endian payload length, payload,
// 8-bit Fletcher checksum) and RTCM 3 (0xD3, six zero bits, 10-bit payload
// length, payload, CRC-24Q).  A frame whose checksum verifies is skipped whole;
// a candidate that fails (a stray sync byte, a damaged or cut frame) gives
// back its bytes after the first, framed again, so that a sentence inside it
// is still delivered, in order.  Portable; the frames are not decoded.
#ifndef ORVOGPS_BINARY_FRAME_H
#define ORVOGPS_BINARY_FRAME_H

#include <cstdint>
#include <cstring>

// The largest UBX payload taken: RXM-RAWX with 128 signals has 4112 bytes,
// but receivers cap a cycle's signals well below that.  A length beyond it is
// no frame.  RTCM 3 lengths are 10 bits, 1023 at most.
constexpr int32_t UBX_MAX_PAYLOAD = 4096;
constexpr int32_t FRAME_MAX_BYTES = 6 + UBX_MAX_PAYLOAD + 2;

constexpr unsigned char UBX_SYNC1 = 0xB5;
constexpr unsigned char UBX_SYNC2 = 0x62;
constexpr unsigned char RTCM3_PREAMBLE = 0xD3;

inline bool IsFrameSync(unsigned char byte) {
  return byte == UBX_SYNC1 || byte == RTCM3_PREAMBLE;
}

enum : int32_t {
  FRAME_MORE = 0,      // a candidate so far: more bytes needed
  FRAME_VERIFIED = 1,  // a whole frame whose checksum verifies
  FRAME_FALSE = 2,     // no frame: a header that cannot be, or a checksum that fails
};

// Judges the candidate bytes[0, count), count >= 2, bytes[0] a sync byte,
// after its last byte arrived (each earlier count judged FRAME_MORE).
int32_t FrameJudge(const unsigned char* bytes, int32_t count);

// A candidate being held, its sync byte first; length 0 when none is.
struct FrameScan {
  int32_t length;
  unsigned char bytes[FRAME_MAX_BYTES];
};

inline void FrameScanOpen(FrameScan* scan, unsigned char sync) {
  scan->bytes[0] = sync;
  scan->length = 1;
}

// Adds a byte to the open candidate.  What is not part of a verified frame
// goes on to the sink, in stream order:
//   sink.Waiting()         true when the text side waits for '$', so that a
//                          sync byte may start a frame
//   sink.Text(at, byte)    a byte that belongs to no frame
//   sink.Frame(start, end) a verified frame, bytes[start, end)
//   sink.Dropped(at)       the sync byte of a false candidate
// at, start and end index the held bytes as they were before the call, the
// new byte last.  Returns how many bytes left the front of the held ones;
// a candidate may still be open afterwards (length > 0).
template <typename Sink>
int32_t FrameScanAdd(FrameScan* scan, unsigned char byte, Sink& sink) {
  scan->bytes[scan->length++] = byte;
  int32_t start = 0;  // of the open candidate, -1: none
  for (int32_t at = scan->length - 1; at < scan->length; ++at) {
    if (start >= 0) {
      const int32_t judged = FrameJudge(scan->bytes + start, at - start + 1);
      if (judged == FRAME_MORE) continue;
      if (judged == FRAME_VERIFIED) {
        sink.Frame(start, at + 1);
      } else {
        sink.Dropped(start);
        at = start;  // framed again from the byte after the false sync
      }
      start = -1;
      continue;
    }
    const unsigned char b = scan->bytes[at];
    if (IsFrameSync(b) && sink.Waiting()) {
      start = at;
      continue;
    }
    sink.Text(at, b);
  }
  if (start < 0) {
    const int32_t held = scan->length;
    scan->length = 0;
    return held;
  }
  scan->length -= start;
  std::memmove(scan->bytes, scan->bytes + start, static_cast<size_t>(scan->length));
  return start;
}

#endif
