// The receiver captures in tests/data/captures and gpsd's decodings of them,
// read whole, and the little it takes to read those decodings.
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

// What gpsd 3.22 sent a client watching with json while it replayed each
// capture (gpsd/<capture>.jsonl: its TPV and SKY objects), in name order.
std::vector<CorpusFile> ReadGpsdWatches();

// The lines of a text, without their line ends (LF or CR LF).
std::vector<std::string> Lines(const std::string& text);

// The number after "name": in one of gpsd's JSON objects, if there is one.
bool JsonNumber(const std::string& json, const char* name, double* value);

// The string after "name": in such an object, if there is one.
bool JsonString(const std::string& json, const char* name, std::string* value);

// The object is of class name: "class":"name".
bool IsClass(const std::string& json, const char* name);

// The objects of a SKY's "satellites" array, each as its own text.
std::vector<std::string> SatelliteObjects(const std::string& sky);

#endif
