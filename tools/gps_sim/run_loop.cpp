#include "run_loop.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>

#include "faults.h"
#include "output_port.h"
#include "pacer.h"
#include "stop_signal.h"
#include "synth_receiver.h"

namespace {

constexpr int64_t kNanosPerSecond = 1000000000;
constexpr int64_t kStatusIntervalNs = 5 * kNanosPerSecond;

struct RunState {
  const SimOptions& options;
  const RunTargets& targets;
  Pacer pacer;
  std::mt19937_64 random;
  int64_t startNs;
  int64_t endNs;      // INT64_MAX: no --duration
  int64_t silenceNs;  // INT64_MAX: no --silence-after
  int64_t nextStatusNs;
  long long sentences = 0;
  long long bytes = 0;
  bool failed = false;
};

int64_t SecondsToNs(double seconds) {
  return seconds < 0 ? INT64_MAX : static_cast<int64_t>(seconds * kNanosPerSecond);
}

void PrintStatus(const RunState& run, int64_t nowNs) {
  if (run.options.quiet) return;
  // A failing standard error leaves nowhere to report anything.
  (void)std::fprintf(stderr, "gps-sim: %lld s, %lld sentences, %lld bytes%s\n",
                     static_cast<long long>((nowNs - run.startNs) / kNanosPerSecond),
                     run.sentences, run.bytes, nowNs >= run.silenceNs ? ", silent" : "");
}

void StatusIfDue(RunState& run) {
  const int64_t now = MonotonicNs();
  if (now < run.nextStatusNs) return;
  PrintStatus(run, now);
  run.nextStatusNs = now + kStatusIntervalNs;
}

// Keeps a log line's fields apart and printable whatever a capture holds.
std::string Printable(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) > 0x7e) c = '.';
  }
  return text;
}

// "GGA" for "$GPGGA,..." and "-" for a line that is no sentence.
std::string SentenceType(const std::string& line) {
  const size_t dollar = line.find('$');
  if (dollar == std::string::npos || line.size() < dollar + 6) return "-";
  return Printable(line.substr(dollar + 3, 3));
}

bool LogTimestamp(RunState& run, const std::string& sentence, int64_t realtimeNs) {
  if (run.targets.timestamps == nullptr) return true;
  const size_t lineEnd = sentence.find_last_not_of("\r\n");
  const std::string head = Printable(sentence.substr(0, std::min<size_t>(20, lineEnd + 1)));
  if (std::fprintf(run.targets.timestamps, "%lld %s %s\n", static_cast<long long>(realtimeNs),
                   SentenceType(sentence).c_str(), head.empty() ? "-" : head.c_str()) < 0) {
    std::fprintf(stderr, "gps-sim: cannot write %s: %s\n", run.options.timestampsPath.c_str(),
                 std::strerror(errno));
    return false;
  }
  return true;
}

// Writes one line in line-sized chunks, each no earlier than the line would
// have delivered its last byte.  False when the run must end: stopped while
// the device took nothing, or a write failed (run.failed).
bool SendLine(RunState& run, const std::string& line) {
  const FaultedSentence out = ApplyFaults(line, run.options.faults, run.random);
  const std::string& bytes = out.bytes;
  const size_t chunk = PacerChunkBytes(run.options.baud);
  for (size_t at = 0; at < bytes.size(); at += chunk) {
    const size_t count = std::min(chunk, bytes.size() - at);
    PauseUntil(PacerReserve(run.pacer, count, MonotonicNs()));
    const WriteStatus status = WriteAll(run.targets.outputFd, bytes.data() + at, count);
    if (status == WriteStatus::kStopped) return false;
    if (status == WriteStatus::kFailed) {
      std::fprintf(stderr, "gps-sim: cannot write to %s: %s\n", run.options.output.c_str(),
                   std::strerror(errno));
      run.failed = true;
      return false;
    }
  }
  const int64_t writtenAt = RealtimeNs();
  run.sentences += 1;
  run.bytes += static_cast<long long>(bytes.size());
  if (!LogTimestamp(run, bytes.substr(out.garbageBytes), writtenAt)) {
    run.failed = true;
    return false;
  }
  return true;
}

// Sends one group; false when the run must end.
bool SendGroup(RunState& run, const std::vector<std::string>& group) {
  for (const std::string& line : group) {
    if (StopRequested()) return false;
    const int64_t now = MonotonicNs();
    if (now >= run.endNs) return false;
    if (now >= run.silenceNs) return true;
    if (!SendLine(run, line)) return false;
    StatusIfDue(run);
  }
  return true;
}

// Waits for deadline, printing status lines on the way; false when the run
// must end first.
bool WaitFor(RunState& run, int64_t deadlineNs) {
  for (;;) {
    StatusIfDue(run);
    if (StopRequested() || MonotonicNs() >= run.endNs) return false;
    if (MonotonicNs() >= deadlineNs) return true;
    SleepUntil(std::min({deadlineNs, run.nextStatusNs, run.endNs}));
  }
}

}  // namespace

int RunSimulator(const SimOptions& options, const RunTargets& targets) {
  const int64_t startNs = MonotonicNs();
  RunState run{options,
               targets,
               PacerMake(options.baud),
               std::mt19937_64(options.seed),
               startNs,
               options.durationSeconds < 0 ? INT64_MAX
                                           : startNs + SecondsToNs(options.durationSeconds),
               options.silenceAfterSeconds < 0
                   ? INT64_MAX
                   : startNs + SecondsToNs(options.silenceAfterSeconds),
               startNs + kStatusIntervalNs};

  // At one cycle a second, cycles start on the UTC second they report, as a
  // receiver's do.
  const int64_t cycleNs = options.cycleMs * 1000000;
  const int64_t realtimeNow = RealtimeNs();
  int64_t firstCycleNs = startNs;
  int64_t firstUtc = realtimeNow / kNanosPerSecond;
  if (options.cycleMs == 1000) {
    firstCycleNs += kNanosPerSecond - realtimeNow % kNanosPerSecond;
    firstUtc += 1;
  }

  size_t replayCursor = 0;
  int64_t loopsDone = 0;
  int64_t cycle = 0;
  for (;;) {
    if (!WaitFor(run, firstCycleNs + cycle * cycleNs)) break;
    if (MonotonicNs() >= run.silenceNs) {
      // Silent but still holding the device open, as a receiver that has
      // stopped talking would.
      if (!WaitFor(run, run.endNs)) break;
      continue;
    }
    if (targets.replay == nullptr) {
      const bool go = SendGroup(run, SynthesizeCycle(options.startLatitude, options.startLongitude,
                                                      cycle, firstUtc + cycle));
      if (!go) break;
    } else {
      if (!SendGroup(run, (*targets.replay)[replayCursor])) break;
      if (++replayCursor == targets.replay->size()) {
        replayCursor = 0;
        if (options.loops > 0 && ++loopsDone >= options.loops) break;
      }
    }
    // A cycle that overran its period (a slow line) skips the periods it
    // missed instead of falling ever further behind the clock.
    int64_t next = cycle + 1;
    if (cycleNs > 0) {
      const int64_t elapsed = MonotonicNs() - firstCycleNs;
      next = std::max(next, (elapsed + cycleNs - 1) / cycleNs);
    }
    cycle = next;
  }
  PrintStatus(run, MonotonicNs());
  return run.failed ? 1 : 0;
}
