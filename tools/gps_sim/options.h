// gps-sim's command line.
#ifndef GPS_SIM_OPTIONS_H
#define GPS_SIM_OPTIONS_H

#include <cstdint>
#include <string>

#include "faults.h"

struct SimOptions {
  std::string output;      // tty path, or "-" for standard output
  std::string replayPath;  // empty: synthesize
  double startLatitude;
  double startLongitude;
  int64_t baud;
  int64_t cycleMs;          // 0: back to back, as fast as the line carries
  double durationSeconds;   // < 0: until interrupted
  double silenceAfterSeconds;  // < 0: never
  int64_t loops;            // replay passes; 0: endless
  FaultRates faults;
  bool seedGiven;
  uint64_t seed;
  std::string timestampsPath;
  bool quiet;
};

enum class ParseResult { kRun, kHelp, kError };

// Fills options from argv; on kError, error holds one line naming the problem.
ParseResult ParseOptions(int argc, char** argv, SimOptions& options, std::string& error);

// The --help text.
const char* UsageText();

#endif
