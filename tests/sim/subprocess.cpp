#include "subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

namespace {

std::vector<char*> Argv(const std::vector<std::string>& args) {
  static std::string program = GPS_SIM_PATH;
  std::vector<char*> argv{program.data()};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  return argv;
}

void AppendAvailable(int fd, std::string& into, bool& open) {
  char block[4096];
  const ssize_t n = read(fd, block, sizeof block);
  if (n > 0) {
    into.append(block, static_cast<size_t>(n));
  } else {
    open = false;
  }
}

// Waits for pid until deadlineNs; -1 when it did not exit normally in time.
int WaitExit(pid_t pid, int64_t deadlineNs) {
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (done < 0 || NowNs() > deadlineNs) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    const timespec pause{0, 5000000};
    nanosleep(&pause, nullptr);
  }
}

}  // namespace

int64_t NowNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

Finished RunSim(const std::vector<std::string>& args, double deadlineSeconds) {
  const int64_t deadline = NowNs() + static_cast<int64_t>(deadlineSeconds * 1e9);
  int out[2];
  int err[2];
  if (pipe(out) != 0 || pipe(err) != 0) std::abort();
  std::vector<char*> argv = Argv(args);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    dup2(err[1], STDERR_FILENO);
    close(out[0]);
    close(err[0]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  Finished f{-1, "", ""};
  bool outOpen = true;
  bool errOpen = true;
  while ((outOpen || errOpen) && NowNs() < deadline) {
    pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, 50) <= 0) continue;
    if (fds[0].revents != 0) AppendAvailable(out[0], f.out, outOpen);
    if (fds[1].revents != 0) AppendAvailable(err[0], f.err, errOpen);
  }
  close(out[0]);
  close(err[0]);
  f.exitStatus = WaitExit(pid, deadline);
  return f;
}

bool StartOnPty(PtySim& sim, const std::vector<std::string>& args) {
  if (openpty(&sim.master, &sim.slave, nullptr, nullptr, nullptr) != 0) return false;
  const char* name = ttyname(sim.slave);
  if (name == nullptr) return false;
  sim.slavePath = name;
  int err[2];
  if (pipe(err) != 0) return false;
  std::vector<std::string> all = args;
  all.push_back(sim.slavePath);
  std::vector<char*> argv = Argv(all);
  sim.pid = fork();
  if (sim.pid == 0) {
    dup2(err[1], STDERR_FILENO);
    close(err[0]);
    close(sim.master);
    close(sim.slave);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(err[1]);
  sim.errPipe = err[0];
  return sim.pid > 0;
}

void ReadPtyUntil(PtySim& sim, int64_t deadlineNs) {
  for (;;) {
    const int64_t remaining = deadlineNs - NowNs();
    if (remaining <= 0) return;
    pollfd fd{sim.master, POLLIN, 0};
    const int timeoutMs = static_cast<int>(remaining / 1000000) + 1;
    if (poll(&fd, 1, timeoutMs) <= 0) continue;
    char block[4096];
    const ssize_t n = read(sim.master, block, sizeof block);
    if (n <= 0) return;
    sim.arrivals.push_back({NowNs(), static_cast<size_t>(n)});
    sim.received.append(block, static_cast<size_t>(n));
  }
}

bool StillRunning(PtySim& sim) {
  int status = 0;
  return waitpid(sim.pid, &status, WNOHANG) == 0;
}

int WaitForExit(PtySim& sim, double deadlineSeconds, std::string* err) {
  const int status = WaitExit(sim.pid, NowNs() + static_cast<int64_t>(deadlineSeconds * 1e9));
  // The child is gone; whatever it wrote is already in the pty.
  if (sim.master >= 0) ReadPtyUntil(sim, NowNs() + 50000000);
  if (err != nullptr) {
    bool open = true;
    while (open) AppendAvailable(sim.errPipe, *err, open);
  }
  for (int fd : {sim.errPipe, sim.master, sim.slave}) {
    if (fd >= 0) close(fd);
  }
  return status;
}

int StopPtySim(PtySim& sim, double deadlineSeconds, std::string* err) {
  kill(sim.pid, SIGTERM);
  return WaitForExit(sim, deadlineSeconds, err);
}
