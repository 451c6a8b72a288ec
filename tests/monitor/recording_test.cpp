// Recording: the file is the header and then every block as it came, byte
// for byte; a write that fails stops the recording and says why; what the
// ring had no room for is counted, never half-written.
#include <gtest/gtest.h>

#include <string>

#include "monitor/recording.h"

namespace {

// A file in memory that takes room bytes, then fails as a full disk does.
struct MemoryFile {
  std::string bytes;
  size_t room = std::string::npos;
};

bool WriteMemory(void* file, const unsigned char* bytes, uint32_t count, uint32_t* error) {
  MemoryFile* f = static_cast<MemoryFile*>(file);
  const size_t fits = f->bytes.size() + count <= f->room ? count : f->room - f->bytes.size();
  f->bytes.append(reinterpret_cast<const char*>(bytes), fits);
  if (fits == count) return true;
  *error = 112;
  return false;
}

const UtcStamp START = {2026, 12, 11, 3, 5, 9};

void Feed(Recorder* recorder, const std::string& block) {
  RecorderFeed(recorder, reinterpret_cast<const unsigned char*>(block.data()), static_cast<int32_t>(block.size()));
}

TEST(recording_test, the_name_and_the_first_line_say_when_and_from_where) {
  char text[128];
  RecordingName(START, text, sizeof text);
  EXPECT_STREQ("orvogps-20261211-030509.nmea", text);
  RecordingHeader("COM3", 38400, START, text, sizeof text);
  EXPECT_STREQ("# orvogps-monitor recording of COM3 at 38400 baud, started 2026-12-11T03:05:09Z\r\n", text);
  RecordingHeader("server localhost:2947", 0, START, text, sizeof text);
  EXPECT_STREQ("# orvogps-monitor recording of server localhost:2947, started 2026-12-11T03:05:09Z\r\n", text);
}

TEST(recording_test, the_file_holds_every_block_unchanged_after_the_header) {
  static unsigned char storage[1 << 12];
  static Recorder recorder;
  RecorderInit(&recorder, storage, sizeof storage);
  MemoryFile file;
  Feed(&recorder, "before the start\r\n");  // not recorded
  ASSERT_TRUE(RecorderStart(&recorder, "C:\\Users\\u\\Documents\\a.nmea", "# header\r\n", WriteMemory, &file));
  static const char binary[] = "00.00,\0\xff,*00\r\n";  // a NUL and a byte above 127 in it
  const std::string blocks[] = {"$GPGGA,1200", std::string(binary, sizeof binary - 1), "\n$GPRMC,x*11\r\n"};
  std::string expected = "# header\r\n";
  for (int round = 0; round < 3; ++round) {
    for (const std::string& b : blocks) {
      Feed(&recorder, b);
      expected += b;
    }
    ASSERT_TRUE(RecorderDrain(&recorder, WriteMemory, &file));
  }
  Feed(&recorder, "the last block");
  expected += "the last block";
  char text[160];
  FormatRecording(recorder, text, sizeof text);
  EXPECT_STREQ("recording a.nmea: 0 kB", text);
  ASSERT_TRUE(RecorderStop(&recorder, WriteMemory, &file));
  Feed(&recorder, "after the stop");
  EXPECT_EQ(expected, file.bytes);
  EXPECT_EQ(expected.size(), recorder.written);
  FormatRecording(recorder, text, sizeof text);
  EXPECT_STREQ("", text);
}

TEST(recording_test, a_full_disk_or_a_full_ring_is_said_and_stops_nothing_else) {
  static unsigned char storage[64];
  static Recorder recorder;
  RecorderInit(&recorder, storage, sizeof storage);
  MemoryFile file;
  file.room = 2048 + 10;
  ASSERT_TRUE(RecorderStart(&recorder, "/tmp/b.nmea", "# header\r\n", WriteMemory, &file));
  const std::string block(40, 'x');
  Feed(&recorder, block);
  Feed(&recorder, block);  // no room: refused whole
  char text[160];
  FormatRecording(recorder, text, sizeof text);
  EXPECT_STREQ("recording b.nmea: 0 kB, 40 bytes lost", text);
  int32_t drains = 0;
  while (RecorderDrain(&recorder, WriteMemory, &file) && drains < 100) {
    Feed(&recorder, block);
    ++drains;
  }
  EXPECT_EQ(0, recorder.on.load()) << "the recording goes on after a failed write";
  EXPECT_EQ(2048u + 10u, file.bytes.size());
  FormatRecording(recorder, text, sizeof text);
  EXPECT_STREQ("recording to b.nmea stopped: the disk is full (error 112) after 2 kB, 40 bytes lost", text);
  Feed(&recorder, block);
  EXPECT_EQ(0u, RingWaiting(&recorder.ring)) << "bytes kept after the recording stopped";

  MemoryFile none;
  none.room = 0;
  EXPECT_FALSE(RecorderStart(&recorder, "/tmp/c.nmea", "# header\r\n", WriteMemory, &none));
  recorder.error = 5;  // as the open sets it when the file cannot be made
  FormatRecording(recorder, text, sizeof text);
  EXPECT_STREQ("cannot record to c.nmea: access denied (error 5)", text);
}

}  // namespace
