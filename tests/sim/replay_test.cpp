#include "replay.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_support.h"

namespace {

const std::string kCorpus = CorpusDir();

std::string Concatenate(const std::vector<ReplayGroup>& groups) {
  std::string all;
  for (const ReplayGroup& g : groups) {
    for (const std::string& line : g) all += line;
  }
  return all;
}

std::vector<std::string> CorpusLogs() {
  std::vector<std::string> logs;
  DIR* dir = opendir(kCorpus.c_str());
  if (dir == nullptr) return logs;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".log") == 0) logs.push_back(name);
  }
  closedir(dir);
  return logs;
}

}  // namespace

TEST(replay_test, groups_start_where_the_second_changes) {
  struct Row {
    const char* legend;
    std::string capture;
    std::vector<size_t> groupSizes;
  };
  const Row rows[] = {
      {"GGA then RMC of the same second stay together",
       "$GPGGA,030719.000,x*00\r\n$GPGSA,A*00\r\n$GPRMC,030719.000,A*00\r\n"
       "$GPGGA,030720.000,x*00\r\n$GPRMC,030720.000,A*00\r\n",
       {3, 2}},
      {"comments are left out",
       "# Name: test\n# Chipset\n$GPGGA,030719,x*00\n$GPGGA,030720,x*00\n", {1, 1}},
      {"lines before the first timed sentence join the first group",
       "$GPGSV,3,1*00\n$GPTXT,hello*00\n$GPRMC,171926.00,A*00\n$GPGGA,171927.00*00\n", {3, 1}},
      {"a 5 Hz receiver's fixes of one second are one group",
       "$GPGGA,120000.00*00\n$GPGGA,120000.20*00\n$GPGGA,120000.40*00\n$GPGGA,120001.00*00\n",
       {3, 1}},
      {"an empty time opens no group",
       "$GPGGA,120000*00\n$GPGGA,,,,*00\n$GPGGA,120001*00\n", {2, 1}},
      {"GLL carries its time in the fifth field",
       "$GNGLL,4404.14066,N,12118.85481,W,171925.00,A,A*66\n"
       "$GNGLL,4404.14066,N,12118.85481,W,171926.00,A,A*66\n",
       {1, 1}},
      {"ZDA opens a group", "$GPZDA,101010.00,01,01,2020*00\n$GPZDA,101011.00,01,01,2020*00\n",
       {1, 1}},
      {"leading garbage stays with its sentence",
       "\x01\xff$GPGGA,120000*00\n junk $GPRMC,120001,A*00", {1, 1}},
      {"only comments leave nothing", "# a\n# b\n", {}},
      {"empty file", "", {}},
  };
  for (const Row& r : rows) {
    const std::vector<ReplayGroup> groups = SplitIntoSeconds(r.capture);
    std::vector<size_t> sizes;
    for (const ReplayGroup& g : groups) sizes.push_back(g.size());
    EXPECT_EQ(sizes, r.groupSizes) << r.legend;
    EXPECT_EQ(Concatenate(groups), WithoutComments(r.capture)) << r.legend;
  }
}

TEST(replay_test, every_corpus_capture_replays_byte_for_byte_without_its_comments) {
  const std::vector<std::string> logs = CorpusLogs();
  ASSERT_GT(logs.size(), 50u) << "corpus not found at " << kCorpus;
  for (const std::string& name : logs) {
    std::string capture;
    std::string error;
    ASSERT_TRUE(ReadCaptureFile(kCorpus + name, capture, error)) << name << ": " << error;
    const std::vector<ReplayGroup> groups = SplitIntoSeconds(capture);
    EXPECT_FALSE(groups.empty()) << name;
    EXPECT_EQ(Concatenate(groups), WithoutComments(capture)) << name;
  }
}

TEST(replay_test, a_capture_groups_into_its_distinct_seconds) {
  std::string capture;
  std::string error;
  ASSERT_TRUE(ReadCaptureFile(kCorpus + "bu353s4.log", capture, error)) << error;
  const std::vector<ReplayGroup> groups = SplitIntoSeconds(capture);
  // Each group of this SiRF capture is GGA, GSA, sometimes three GSV, RMC.
  for (const ReplayGroup& g : groups) {
    EXPECT_NE(g.front().find("GPGGA"), std::string::npos) << g.front();
    EXPECT_NE(g.back().find("GPRMC"), std::string::npos) << g.back();
    EXPECT_TRUE(g.size() == 3 || g.size() == 6) << g.size();
  }
  EXPECT_GT(groups.size(), 10u);
}

TEST(replay_test, unreadable_files_report_the_reason) {
  std::string contents;
  std::string error;
  EXPECT_FALSE(ReadCaptureFile("/nonexistent/capture.log", contents, error));
  EXPECT_EQ(error, "No such file or directory");
  EXPECT_FALSE(ReadCaptureFile("/tmp", contents, error));
  EXPECT_EQ(error, "Is a directory");
}
