// Faults injected on demand into the sentence stream, drawn from a seeded
// generator so that a run can be repeated byte for byte.
#ifndef GPS_SIM_FAULTS_H
#define GPS_SIM_FAULTS_H

#include <cstdint>
#include <random>
#include <string>

struct FaultRates {
  double badChecksum;   // probability that a sentence's checksum is wrong
  double garbage;       // probability of binary noise before a sentence
  double dropAsterisk;  // probability that a sentence loses its '*'
};

struct FaultedSentence {
  std::string bytes;  // any noise, then the sentence as it goes out
  bool checksumBroken;
  bool asteriskDropped;
  size_t garbageBytes;
};

// Applies the faults to one line ("$...*hh" plus line end).  A wrong checksum
// stays two valid hex digits, so only the comparison can catch it.  Noise is
// 1..16 bytes of any value except '$', so that it never opens a frame of its
// own and costs the following sentence nothing: the framer is expected to
// skip it.  A line with no "*hh" is left as it is by the checksum and
// asterisk faults.
FaultedSentence ApplyFaults(const std::string& line, const FaultRates& rates,
                            std::mt19937_64& random);

#endif
