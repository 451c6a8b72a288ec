// Running gps-sim as a child process: its standard output and error through
// pipes, or its sentences through a pseudo-terminal as through a serial line.
#ifndef GPS_SIM_TESTS_SUBPROCESS_H
#define GPS_SIM_TESTS_SUBPROCESS_H

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct Finished {
  int exitStatus;  // -1 when it did not exit normally within the deadline
  std::string out;
  std::string err;
};

// Runs gps-sim with args to the end, killing it after deadlineSeconds.
Finished RunSim(const std::vector<std::string>& args, double deadlineSeconds);

struct Arrival {
  int64_t monotonicNs;
  size_t bytes;
};

// gps-sim writing to the slave side of a pty; the test reads the master.
struct PtySim {
  pid_t pid = -1;
  int master = -1;
  int slave = -1;  // held open so the master never reads EIO between runs
  int errPipe = -1;
  std::string slavePath;
  std::string received;
  std::vector<Arrival> arrivals;
};

// Starts gps-sim with args followed by the pty's slave path.
bool StartOnPty(PtySim& sim, const std::vector<std::string>& args);

// Reads whatever arrives on the master until deadlineNs (monotonic).
void ReadPtyUntil(PtySim& sim, int64_t deadlineNs);

// True while the child has not exited.
bool StillRunning(PtySim& sim);

// Waits up to deadlineSeconds for the child to exit, drains the pty, appends
// its standard error to err and closes everything.  Returns the exit status,
// or -1 (after a SIGKILL).
int WaitForExit(PtySim& sim, double deadlineSeconds, std::string* err = nullptr);

// Sends SIGTERM, then WaitForExit.
int StopPtySim(PtySim& sim, double deadlineSeconds, std::string* err = nullptr);

int64_t NowNs();

#endif
