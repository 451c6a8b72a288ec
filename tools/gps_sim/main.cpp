// gps-sim: a simulated NMEA 0183 receiver on a tty or standard output.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "options.h"
#include "output_port.h"
#include "replay.h"
#include "run_loop.h"
#include "stop_signal.h"

namespace {

constexpr int kExitUsage = 2;

int Fail(const std::string& message) {
  std::fprintf(stderr, "gps-sim: %s\n", message.c_str());
  return kExitUsage;
}

std::string OutputName(const std::string& path) { return path == "-" ? "standard output" : path; }

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  switch (ParseOptions(argc, argv, options, error)) {
    case ParseResult::kHelp:
      std::fputs(UsageText(), stdout);
      return 0;
    case ParseResult::kError:
      return Fail(error);
    case ParseResult::kRun:
      break;
  }

  std::vector<ReplayGroup> groups;
  if (!options.replayPath.empty()) {
    std::string capture;
    if (!ReadCaptureFile(options.replayPath, capture, error)) {
      return Fail("cannot read " + options.replayPath + ": " + error);
    }
    groups = SplitIntoSeconds(capture);
    if (groups.empty()) return Fail("cannot replay " + options.replayPath + ": nothing to send");
  }
  if (!options.seedGiven) options.seed = std::random_device{}();

  FILE* timestamps = nullptr;
  if (!options.timestampsPath.empty()) {
    timestamps = std::fopen(options.timestampsPath.c_str(), "w");
    if (timestamps == nullptr) {
      return Fail("cannot open " + options.timestampsPath + ": " + std::strerror(errno));
    }
    // Line buffered, so that a latency script can follow the file live.
    if (std::setvbuf(timestamps, nullptr, _IOLBF, BUFSIZ) != 0) {
      return Fail("cannot buffer " + options.timestampsPath);
    }
  }

  const int fd = OpenOutput(options.output, options.baud, error);
  if (fd < 0) return Fail("cannot open " + options.output + ": " + error);

  if (!InstallStopSignals()) {
    return Fail(std::string("cannot handle signals: ") + std::strerror(errno));
  }

  if (!options.quiet) {
    const FaultRates& f = options.faults;
    const std::string source =
        groups.empty() ? "synthesizing" : "replaying " + options.replayPath;
    const std::string seed = f.badChecksum > 0 || f.garbage > 0 || f.dropAsterisk > 0
                                 ? ", fault seed " + std::to_string(options.seed)
                                 : "";
    std::fprintf(stderr, "gps-sim: %s to %s at %lld baud%s; Ctrl+C stops\n", source.c_str(),
                 OutputName(options.output).c_str(), static_cast<long long>(options.baud),
                 seed.c_str());
  }

  const RunTargets targets{fd, timestamps, groups.empty() ? nullptr : &groups};
  int status = RunSimulator(options, targets);

  if (timestamps != nullptr && std::fclose(timestamps) != 0) {
    std::fprintf(stderr, "gps-sim: cannot write %s: %s\n", options.timestampsPath.c_str(),
                 std::strerror(errno));
    status = 1;
  }
  if (fd != STDOUT_FILENO && close(fd) != 0) {
    std::fprintf(stderr, "gps-sim: closing %s: %s\n", options.output.c_str(), std::strerror(errno));
    status = 1;
  }
  return status;
}
