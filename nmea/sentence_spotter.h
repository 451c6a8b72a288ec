// Counts the sentences that verify in a byte stream, without decoding them:
// enough to tell whether a port runs at a receiver's speed.  Unlike the
// framer it keeps no sentence and touches no context, so a search can keep
// one per port and run them on as many threads.  It takes what the framer
// takes: '$' (which always starts a sentence), the body, '*', two hexadecimal
// digits matching the 8-bit exclusive-or of the body, 13 to 511 characters
// from the '$' through the second digit; and, between sentences, UBX and
// RTCM 3 frames whose checksums verify, each counted as one.
#ifndef ORVOGPS_SENTENCE_SPOTTER_H
#define ORVOGPS_SENTENCE_SPOTTER_H

#include <cstdint>

#include "nmea/binary_frame.h"

struct SentenceSpotter {
  int32_t length;   // characters of the sentence so far, '$' included; 0: waiting for '$'
  int32_t afterMark;  // checksum digits seen after '*' (0 in the body)
  uint8_t sum;      // exclusive-or of the body
  uint8_t given;    // the checksum digits' value so far
  FrameScan frame;  // a binary frame candidate held between sentences
};

void SpotterReset(SentenceSpotter* spotter);
// Returns how many sentences and frames verified within the bytes.
uint32_t SpotterFeed(SentenceSpotter* spotter, const unsigned char* bytes, int32_t count);
// Bytes held in a frame candidate: neither verified nor garbage yet.
uint32_t SpotterHeld(const SentenceSpotter* spotter);

#endif
