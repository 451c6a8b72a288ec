// The main loop: one cycle of sentences per period, paced at the line rate,
// with faults, timestamps and status lines, until stopped.
#ifndef GPS_SIM_RUN_LOOP_H
#define GPS_SIM_RUN_LOOP_H

#include <cstdio>
#include <vector>

#include "options.h"
#include "replay.h"

struct RunTargets {
  int outputFd;
  FILE* timestamps;  // null: no timestamps
  const std::vector<ReplayGroup>* replay;  // null: synthesize
};

// Returns the process exit status: 0 for a requested end, 1 when writing
// failed (reported on standard error).
int RunSimulator(const SimOptions& options, const RunTargets& targets);

#endif
