#include "stop_signal.h"

#include <poll.h>
#include <signal.h>
#include <time.h>

#include <cerrno>

namespace {

volatile sig_atomic_t gStopRequested = 0;
sigset_t gWaitMask;  // the mask in force while waiting: stop signals open

void OnStopSignal(int) { gStopRequested = 1; }

int64_t ClockNs(clockid_t clock) {
  timespec now{};
  // Both clocks exist on every Linux system; the call cannot fail with a
  // valid clock id and pointer.
  (void)clock_gettime(clock, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

timespec ToTimespec(int64_t ns) {
  return timespec{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
}

}  // namespace

int64_t MonotonicNs() { return ClockNs(CLOCK_MONOTONIC); }
int64_t RealtimeNs() { return ClockNs(CLOCK_REALTIME); }

bool InstallStopSignals() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  if (sigprocmask(SIG_BLOCK, &stopSignals, &gWaitMask) != 0) return false;
  sigdelset(&gWaitMask, SIGINT);
  sigdelset(&gWaitMask, SIGTERM);

  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGINT, &action, nullptr) != 0) return false;
  if (sigaction(SIGTERM, &action, nullptr) != 0) return false;

  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  return sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

// A signal reaches its handler only when a wait returns EINTR; a ppoll that
// finds the device writable at once returns with the signal still pending.
// Pending stop signals therefore count as a request too.
bool StopRequested() {
  if (gStopRequested != 0) return true;
  sigset_t pending;
  if (sigpending(&pending) == 0 &&
      (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1)) {
    gStopRequested = 1;
  }
  return gStopRequested != 0;
}

void SleepUntil(int64_t deadlineNs) {
  while (!StopRequested()) {
    const int64_t remaining = deadlineNs - MonotonicNs();
    if (remaining <= 0) return;
    const timespec timeout = ToTimespec(remaining);
    // Returns 0 on timeout and -1/EINTR on a signal; the loop re-tests both.
    (void)ppoll(nullptr, 0, &timeout, &gWaitMask);
  }
}

void PauseUntil(int64_t deadlineNs) {
  const timespec deadline = ToTimespec(deadlineNs);
  // Stop signals are blocked here, so nothing but a debugger's stop
  // interrupts the sleep; a past deadline returns at once.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
  }
}

bool WaitWritable(int fd) {
  pollfd watch{fd, POLLOUT, 0};
  while (!StopRequested()) {
    const int ready = ppoll(&watch, 1, nullptr, &gWaitMask);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return true;
}
