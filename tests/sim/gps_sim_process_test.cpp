// gps-sim run as a program: exit statuses, replay bytes, pacing through a
// pty, silence, stopping, and the timestamp log.
#include <gtest/gtest.h>

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "capture_support.h"
#include "decode_support.h"
#include "subprocess.h"

namespace {

const std::string kCorpus = CorpusDir();

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

int64_t RealtimeNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

TEST(gps_sim_process_test, help_prints_the_usage_and_succeeds) {
  const Finished f = RunSim({"--help"}, 5);
  EXPECT_EQ(f.exitStatus, 0);
  EXPECT_EQ(f.out.rfind("Usage: gps-sim", 0), 0u) << f.out;
  EXPECT_NE(f.out.find("--replay FILE"), std::string::npos);
}

TEST(gps_sim_process_test, what_cannot_be_opened_exits_2_with_one_line_naming_it) {
  struct Row {
    std::vector<std::string> args;
    const char* named;
  };
  const Row rows[] = {
      {{"/nonexistent/ttyS9"}, "/nonexistent/ttyS9: No such file or directory"},
      {{"--replay", "/nonexistent/capture.log", "-"}, "/nonexistent/capture.log: No such file"},
      {{"--replay", "/tmp", "-"}, "/tmp: Is a directory"},
      {{"--timestamps", "/nonexistent/dir/t.txt", "-"}, "/nonexistent/dir/t.txt"},
      {{"--baud", "4801", "-"}, "--baud"},
  };
  for (const Row& r : rows) {
    const Finished f = RunSim(r.args, 5);
    EXPECT_EQ(f.exitStatus, 2) << r.named;
    EXPECT_NE(f.err.find(r.named), std::string::npos) << f.err;
    EXPECT_EQ(Count(f.err, "\n"), 1u) << f.err;
    EXPECT_TRUE(f.out.empty());
  }
}

TEST(gps_sim_process_test, replay_sends_the_capture_bytes_unchanged_loop_after_loop) {
  for (const char* log : {"bu353s4.log", "furuno_gl_ga.log", "nmea-fuzzy-cases.log"}) {
    const std::string capture = WithoutComments(ReadFile(kCorpus + log));
    ASSERT_FALSE(capture.empty()) << log;
    const Finished f = RunSim({"--replay", kCorpus + log, "--loops", "2", "--cycle-ms", "0",
                               "--baud", "230400", "--quiet", "-"},
                              20);
    EXPECT_EQ(f.exitStatus, 0) << log << ": " << f.err;
    EXPECT_TRUE(f.out == capture + capture) << log << ": " << f.out.size() << " bytes sent, "
                                            << 2 * capture.size() << " expected";
    EXPECT_TRUE(f.err.empty()) << f.err;
  }
}

TEST(gps_sim_process_test, synthesized_stream_through_a_pty_decodes_cycle_by_cycle) {
  PtySim sim;
  ASSERT_TRUE(StartOnPty(sim, {"--baud", "115200", "--cycle-ms", "0", "--quiet"}));
  ReadPtyUntil(sim, NowNs() + 1000000000);
  EXPECT_EQ(StopPtySim(sim, 5), 0);

  // A pty left with its default settings would turn each LF into CR LF.
  EXPECT_EQ(Count(sim.received, "\r\r"), 0u) << "the tty was not set raw";
  const std::vector<DecodedSentence> decoded = DecodeStream(sim.received);
  ASSERT_GT(decoded.size(), 50u);
  EXPECT_EQ(decoded.size(), Count(sim.received, "$")) << "every sentence passes the checksum";

  // Cycle by cycle: GGA, GSA, the announced GSVs, RMC, GLL, VTG; one
  // simulated second apart.
  std::vector<SentenceType> expected;
  int lastSecond = -1;
  for (size_t i = 0; i < decoded.size(); ++i) {
    const DecodedSentence& d = decoded[i];
    if (d.type == SENTENCE_GGA) {
      ASSERT_TRUE(expected.empty()) << "cycle cut short before sentence " << i;
      const int second = d.gga.time.hours * 3600 + d.gga.time.minutes * 60 + d.gga.time.seconds;
      if (lastSecond >= 0) {
        EXPECT_EQ(second, (lastSecond + 1) % 86400);
      }
      lastSecond = second;
      expected = {SENTENCE_GSA, SENTENCE_GSV};
      continue;
    }
    if (lastSecond < 0) continue;
    ASSERT_FALSE(expected.empty()) << "extra sentence " << i;
    ASSERT_EQ(d.type, expected.front()) << "sentence " << i;
    expected.erase(expected.begin());
    if (d.type == SENTENCE_GSV && d.gsv.messageNumber == 1) {
      for (int m = 1; m < d.gsv.messageCount; ++m) expected.push_back(SENTENCE_GSV);
      expected.insert(expected.end(), {SENTENCE_RMC, SENTENCE_GLL, SENTENCE_VTG});
    }
  }
  EXPECT_GT(lastSecond, 0);
}

TEST(gps_sim_process_test, pacing_never_exceeds_the_line_rate_through_a_pty) {
  // Back-to-back cycles keep the line busy, so only the pacing limits the rate.
  PtySim sim;
  ASSERT_TRUE(StartOnPty(sim, {"--baud", "4800", "--cycle-ms", "0", "--quiet"}));
  const int64_t start = NowNs();
  ReadPtyUntil(sim, start + 3000000000LL);
  EXPECT_EQ(StopPtySim(sim, 5), 0);
  ASSERT_FALSE(sim.arrivals.empty());

  // A reader woken late can only see fewer bytes than were due, never more;
  // the slack covers one 4-byte chunk and 50 ms of scheduling before the
  // first arrival.
  const double bytesPerNs = 480.0 / 1e9;
  const double slack = 4 + 480 * 0.05;
  const int64_t first = sim.arrivals.front().monotonicNs;
  size_t total = 0;
  for (const Arrival& a : sim.arrivals) {
    total += a.bytes;
    const double allowed = sim.arrivals.front().bytes + bytesPerNs * (a.monotonicNs - first) + slack;
    ASSERT_LE(total, allowed) << "at " << (a.monotonicNs - first) / 1e6 << " ms";
  }
  // The busiest second runs near the rate: a loaded machine may starve the
  // simulator for a while, but not for all of three seconds.
  size_t busiest = 0;
  size_t inWindow = 0;
  for (size_t from = 0, to = 0; to < sim.arrivals.size(); ++to) {
    inWindow += sim.arrivals[to].bytes;
    while (sim.arrivals[to].monotonicNs - sim.arrivals[from].monotonicNs > 1000000000LL)
      inWindow -= sim.arrivals[from++].bytes;
    busiest = std::max(busiest, inWindow);
  }
  EXPECT_GT(busiest, 480 * 0.85) << "a busy line should run near its rate";
}

TEST(gps_sim_process_test, silence_after_stops_output_but_keeps_the_device_open) {
  PtySim sim;
  ASSERT_TRUE(StartOnPty(sim, {"--baud", "115200", "--cycle-ms", "100", "--silence-after", "1",
                               "--quiet"}));
  const int64_t start = NowNs();
  ReadPtyUntil(sim, start + 2500000000LL);
  EXPECT_TRUE(StillRunning(sim)) << "silent, not gone";
  EXPECT_EQ(StopPtySim(sim, 5), 0);
  ASSERT_FALSE(sim.arrivals.empty());
  const double lastAt = (sim.arrivals.back().monotonicNs - start) / 1e9;
  EXPECT_LT(lastAt, 1.4) << "still sending " << lastAt << " s after start";
  EXPECT_GT(lastAt, 0.7);
  EXPECT_EQ(sim.received.substr(sim.received.size() - 2), "\r\n") << "ended mid-sentence";
}

TEST(gps_sim_process_test, sigterm_ends_the_run_after_a_whole_sentence) {
  // At 4800 baud a sentence takes about 150 ms, so the signal lands inside one.
  PtySim sim;
  ASSERT_TRUE(StartOnPty(sim, {"--baud", "4800", "--cycle-ms", "0"}));
  ReadPtyUntil(sim, NowNs() + 700000000);
  std::string err;
  EXPECT_EQ(StopPtySim(sim, 3, &err), 0);
  ASSERT_GE(sim.received.size(), 2u);
  EXPECT_EQ(sim.received.substr(sim.received.size() - 2), "\r\n");
  EXPECT_EQ(DecodeStream(sim.received).size(), Count(sim.received, "$"));
  EXPECT_NE(err.find("sentences"), std::string::npos) << "final status line: " << err;
}

TEST(gps_sim_process_test, a_vanished_far_end_is_reported_as_a_write_failure) {
  PtySim sim;
  ASSERT_TRUE(StartOnPty(sim, {"--baud", "115200", "--cycle-ms", "0", "--quiet"}));
  ReadPtyUntil(sim, NowNs() + 200000000);
  ASSERT_FALSE(sim.received.empty());
  // Closing both our ends hangs up the pty, as when the null-modem goes away.
  close(sim.master);
  close(sim.slave);
  sim.master = -1;
  sim.slave = -1;
  std::string err;
  EXPECT_EQ(WaitForExit(sim, 5, &err), 1);
  EXPECT_NE(err.find("cannot write to " + sim.slavePath), std::string::npos) << err;
}

TEST(gps_sim_process_test, timestamps_log_each_sentence_as_it_completes) {
  const std::string path = ::testing::TempDir() + "gps_sim_timestamps.txt";
  const int64_t before = RealtimeNs();
  const Finished f = RunSim({"--baud", "115200", "--cycle-ms", "0", "--duration", "0.5",
                             "--timestamps", path, "--quiet", "-"},
                            5);
  const int64_t after = RealtimeNs();
  ASSERT_EQ(f.exitStatus, 0) << f.err;

  std::vector<std::string> sentences;
  for (size_t at = 0; at < f.out.size();) {
    const size_t end = f.out.find('\n', at);
    sentences.push_back(f.out.substr(at, end - at - 1));
    at = end + 1;
  }
  std::ifstream log(path);
  std::string line;
  size_t i = 0;
  long long previous = before;
  while (std::getline(log, line)) {
    ASSERT_LT(i, sentences.size()) << "more log lines than sentences";
    long long ns = 0;
    char type[8] = {};
    char head[32] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "%lld %7s %31s", &ns, type, head), 3) << line;
    EXPECT_GE(ns, previous) << line;
    EXPECT_LE(ns, after) << line;
    EXPECT_EQ(std::string(type), sentences[i].substr(3, 3)) << line;
    EXPECT_EQ(std::string(head), sentences[i].substr(0, 20)) << line;
    previous = ns;
    ++i;
  }
  EXPECT_EQ(i, sentences.size());
  EXPECT_GT(i, 20u);
  std::remove(path.c_str());
}

TEST(gps_sim_process_test, timestamp_lines_keep_three_fields_for_any_replayed_line) {
  // This capture has a line that starts with a space, and blank lines.
  const std::string path = ::testing::TempDir() + "gps_sim_replay_timestamps.txt";
  const Finished f = RunSim({"--replay", kCorpus + "beidou-bd.log", "--loops", "1", "--cycle-ms",
                             "0", "--baud", "230400", "--timestamps", path, "--quiet", "-"},
                            10);
  ASSERT_EQ(f.exitStatus, 0) << f.err;
  std::ifstream log(path);
  std::string line;
  size_t lines = 0;
  while (std::getline(log, line)) {
    std::istringstream fields(line);
    std::string ns, type, head, extra;
    EXPECT_TRUE(fields >> ns >> type >> head) << line;
    EXPECT_FALSE(fields >> extra) << line;
    ++lines;
  }
  EXPECT_EQ(lines, Count(f.out, "\n") + (f.out.back() == '\n' ? 0 : 1));
  std::remove(path.c_str());
}

TEST(gps_sim_process_test, bad_checksum_rate_holds_for_the_whole_program) {
  // A whole capture once, so that the count of sentences does not depend on
  // how fast a loaded machine runs the simulator; what decodes with faults
  // against what decodes without them.
  auto decoded = [](const char* rate) {
    const Finished f = RunSim({"--replay", kCorpus + "ublox-neo-m9n-nmea.log", "--loops", "1", "--cycle-ms", "0",
                               "--baud", "921600", "--bad-checksum-rate", rate, "--seed", "1", "--quiet", "-"},
                              20);
    EXPECT_EQ(f.exitStatus, 0) << f.err;
    return static_cast<double>(DecodeStream(f.out).size());
  };
  const double whole = decoded("0");
  ASSERT_GT(whole, 500);
  EXPECT_NEAR(decoded("0.2") / whole, 0.8, 0.05);
}
