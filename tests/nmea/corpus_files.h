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

#endif
