// The receiver captures in tests/data/captures, read whole.
#ifndef ORVOGPS_TESTS_NMEA_CORPUS_FILES_H
#define ORVOGPS_TESTS_NMEA_CORPUS_FILES_H

#include <string>
#include <vector>

struct CorpusFile {
  std::string name;  // file name without its folder
  std::string bytes;
};

// Every *.log capture in name order; empty when the folder cannot be read.
std::vector<CorpusFile> ReadCorpus();

// gpsd's decoding of each capture (chk/<capture>.chk: every sentence it read,
// each followed by the JSON objects it made of it), in name order.
std::vector<CorpusFile> ReadGpsdDecodings();

#endif
