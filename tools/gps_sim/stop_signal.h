// Clocks, and waiting that Ctrl+C or SIGTERM cuts short.  SIGINT and SIGTERM
// stay blocked except inside the waits, so a stop request can never slip in
// between testing for it and going to sleep.
#ifndef GPS_SIM_STOP_SIGNAL_H
#define GPS_SIM_STOP_SIGNAL_H

#include <cstdint>

int64_t MonotonicNs();
int64_t RealtimeNs();

// Blocks SIGINT and SIGTERM outside the waits below, routes them to the stop
// flag, and ignores SIGPIPE so that a vanished reader shows up as a write
// error.  Returns false (errno set) if the signal setup fails.
bool InstallStopSignals();

bool StopRequested();

// Sleeps until the monotonic clock reaches deadlineNs or a stop is requested.
void SleepUntil(int64_t deadlineNs);

// Sleeps until the monotonic clock reaches deadlineNs, stop request or not:
// the pace of a sentence already begun is kept to its end.
void PauseUntil(int64_t deadlineNs);

// Waits until fd accepts output or a stop is requested.  Returns false with
// errno set when the wait itself fails.
bool WaitWritable(int fd);

#endif
