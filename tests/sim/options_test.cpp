#include "options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Parsed {
  ParseResult result;
  SimOptions options;
  std::string error;
};

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "gps-sim");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  Parsed p{};
  p.result = ParseOptions(static_cast<int>(argv.size()), argv.data(), p.options, p.error);
  return p;
}

}  // namespace

TEST(options_test, defaults_are_a_4800_baud_synthesized_receiver_once_a_second) {
  const Parsed p = Parse({"/dev/pts/3"});
  ASSERT_EQ(p.result, ParseResult::kRun) << p.error;
  EXPECT_EQ(p.options.output, "/dev/pts/3");
  EXPECT_EQ(p.options.baud, 4800);
  EXPECT_EQ(p.options.cycleMs, 1000);
  EXPECT_TRUE(p.options.replayPath.empty());
  EXPECT_LT(p.options.durationSeconds, 0);
  EXPECT_LT(p.options.silenceAfterSeconds, 0);
  EXPECT_EQ(p.options.faults.badChecksum, 0);
  EXPECT_FALSE(p.options.seedGiven);
  EXPECT_FALSE(p.options.quiet);
}

TEST(options_test, values_are_read_in_both_spellings) {
  const Parsed p = Parse({"--device", "-", "--baud=9600", "--start", "-37.5,175.25",
                          "--replay", "x.log", "--loops", "2", "--bad-checksum-rate", "0.25",
                          "--garbage-rate=1", "--drop-asterisk-rate", "0", "--seed", "99",
                          "--silence-after", "7.5", "--duration", "10", "--cycle-ms", "0",
                          "--timestamps", "t.txt", "--quiet"});
  ASSERT_EQ(p.result, ParseResult::kRun) << p.error;
  EXPECT_EQ(p.options.output, "-");
  EXPECT_EQ(p.options.baud, 9600);
  EXPECT_DOUBLE_EQ(p.options.startLatitude, -37.5);
  EXPECT_DOUBLE_EQ(p.options.startLongitude, 175.25);
  EXPECT_EQ(p.options.replayPath, "x.log");
  EXPECT_EQ(p.options.loops, 2);
  EXPECT_DOUBLE_EQ(p.options.faults.badChecksum, 0.25);
  EXPECT_DOUBLE_EQ(p.options.faults.garbage, 1.0);
  EXPECT_TRUE(p.options.seedGiven);
  EXPECT_EQ(p.options.seed, 99u);
  EXPECT_DOUBLE_EQ(p.options.silenceAfterSeconds, 7.5);
  EXPECT_DOUBLE_EQ(p.options.durationSeconds, 10);
  EXPECT_EQ(p.options.cycleMs, 0);
  EXPECT_EQ(p.options.timestampsPath, "t.txt");
  EXPECT_TRUE(p.options.quiet);
}

TEST(options_test, every_speed_a_receiver_is_found_at_is_accepted) {
  for (const char* baud : {"4800", "9600", "19200", "38400", "57600", "115200", "230400",
                           "460800", "921600"}) {
    const Parsed p = Parse({"-", "--baud", baud});
    ASSERT_EQ(p.result, ParseResult::kRun) << baud << ": " << p.error;
    EXPECT_EQ(p.options.baud, std::stoll(baud));
  }
}

TEST(options_test, help_wins_over_everything) {
  EXPECT_EQ(Parse({"--help"}).result, ParseResult::kHelp);
  EXPECT_EQ(Parse({"--baud", "7", "-h"}).result, ParseResult::kError) << "errors stop first";
  EXPECT_EQ(Parse({"-", "--help"}).result, ParseResult::kHelp);
}

TEST(options_test, bad_command_lines_name_the_problem) {
  struct Row {
    std::vector<std::string> args;
    const char* errorMentions;
  };
  const Row rows[] = {
      {{}, "no output given"},
      {{"a", "b"}, "more than one output"},
      {{"a", "--device", "b"}, "more than one output"},
      {{"-", "--baud", "5000"}, "--baud"},
      {{"-", "--baud", "48OO"}, "--baud"},
      {{"-", "--start", "48.1"}, "--start"},
      {{"-", "--start", "91,0"}, "--start"},
      {{"-", "--start", "0,181"}, "--start"},
      {{"-", "--start", "nan,0"}, "--start"},
      {{"-", "--bad-checksum-rate", "1.5"}, "--bad-checksum-rate"},
      {{"-", "--garbage-rate", "-0.1"}, "--garbage-rate"},
      {{"-", "--drop-asterisk-rate", "x"}, "--drop-asterisk-rate"},
      {{"-", "--silence-after", "-1"}, "--silence-after"},
      {{"-", "--duration", "inf"}, "--duration"},
      {{"-", "--cycle-ms", "-5"}, "--cycle-ms"},
      {{"-", "--seed", "-1"}, "--seed"},
      {{"-", "--loops", "0", "--replay", "f"}, "--loops"},
      {{"-", "--loops", "2"}, "--replay only"},
      {{"-", "--bogus", "1"}, "unknown option --bogus"},
      {{"-", "-x"}, "unknown option -x"},
      {{"-", "--timestamps"}, "needs a value"},
  };
  for (const Row& r : rows) {
    const Parsed p = Parse(r.args);
    std::string line;
    for (const std::string& a : r.args) line += a + " ";
    EXPECT_EQ(p.result, ParseResult::kError) << line;
    EXPECT_NE(p.error.find(r.errorMentions), std::string::npos) << line << "-> " << p.error;
    EXPECT_EQ(p.error.find('\n'), std::string::npos) << "one line: " << p.error;
  }
}
