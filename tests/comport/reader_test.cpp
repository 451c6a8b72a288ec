// The reader thread: every byte written at the far end reaches the handler,
// in order, whatever the block sizes; without a handler the data is dropped
// without stalling; a reader without its event leaves the port open.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "comport/comport.h"
#include "far_end.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 1;

std::vector<unsigned char> Pattern(size_t size) {
  std::vector<unsigned char> bytes(size);
  uint32_t state = 12345;
  for (unsigned char& b : bytes) {
    state = state * 1103515245u + 12345u;
    b = static_cast<unsigned char>(state >> 16);
  }
  return bytes;
}

TEST(comport_reader_test, long_run_reaches_the_handler_exactly_and_in_order) {
  // Single bytes, whole driver queues and odd sizes between them.
  const size_t kBlocks[] = {1, 2048, 1, 2, 17, 2048, 513, 1, 1, 1, 1000, 2047, 2048, 3, 64};
  const int kRounds = 12;
  size_t total = 0;
  for (size_t b : kBlocks) total += b;
  total *= kRounds;
  std::vector<unsigned char> sent = Pattern(total);

  OrvoCOMInitPorts();
  RecorderReset();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  static int marker;
  ComPort* port = OpenNear(kPair, RecordRx, &marker);
  ASSERT_NE(nullptr, port);
  size_t offset = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (size_t b : kBlocks) {
      ASSERT_TRUE(FarWrite(cable, &sent[offset], static_cast<DWORD>(b)));
      offset += b;
    }
  }
  static size_t expected;
  expected = total;
  EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= expected; }, 20000));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);

  ASSERT_EQ(total, RecordedSize());
  const unsigned char* got = RecordedBytes();
  size_t first = std::mismatch(sent.begin(), sent.end(), got).first - sent.begin();
  EXPECT_EQ(total, first) << "first difference at byte " << first;
  EXPECT_GE(SmallestBlock(), 1);
  EXPECT_LE(LargestBlock(), 2048);
  EXPECT_EQ(&marker, LastUserData());

  // Each delivery was one read with data, and none failed.
  ComPortStats stats = {};
  ASSERT_EQ(0, OrvoCOMGetStats(port, &stats));
  EXPECT_EQ(static_cast<uint32_t>(RecordedCalls()), stats.reads);
  EXPECT_EQ(0u, stats.readErrors);
  EXPECT_EQ(0u, stats.framingErrors + stats.parityErrors + stats.overrunErrors + stats.bufferOverflows);
  // The next open starts counting again.
  port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  ASSERT_EQ(0, OrvoCOMGetStats(port, &stats));
  EXPECT_EQ(0u, stats.reads);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  EXPECT_EQ(1, OrvoCOMGetStats(nullptr, &stats));
  EXPECT_EQ(1, OrvoCOMGetStats(port, nullptr));
}

TEST(comport_reader_test, null_handler_drops_data_without_stalling_the_line) {
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  // Far more than the pty and driver queues hold: writes finish only if
  // someone keeps reading.
  std::vector<unsigned char> bytes = Pattern(256 * 1024);
  EXPECT_TRUE(FarWrite(cable, bytes.data(), static_cast<DWORD>(bytes.size())));
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "alive", 5));
  char back[5] = {};
  EXPECT_EQ(5u, FarRead(cable, back, 5, 5000));
  EXPECT_EQ(0, memcmp(back, "alive", 5));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

TEST(comport_reader_test, reader_without_its_event_ends_and_the_port_stays_open) {
  InstallFakeOs();
  FailCall(OsCall::CreateEvent, Role::Reader, 1, ERROR_NOT_ENOUGH_MEMORY);
  OrvoCOMInitPorts();
  RecorderReset();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(port->hReaderThread, 5000));
  EXPECT_EQ(1, port->isOpen);
  ASSERT_TRUE(FarWrite(cable, "unread", 6));
  // A round trip through the writer takes longer than a working reader
  // would need for the bytes written before it.
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "sent", 4));
  char back[4] = {};
  EXPECT_EQ(4u, FarRead(cable, back, 4, 5000));
  EXPECT_EQ(0, RecordedCalls());
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
  CloseHandle(cable);
}

TEST(comport_reader_test, each_read_asks_for_2048_bytes_and_each_entry_is_one_whole_write) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  RecorderReset();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  ASSERT_TRUE(FarWrite(cable, "abc", 3));
  ASSERT_TRUE(WaitUntil([] { return RecordedSize() >= 3; }, 5000));
  std::vector<unsigned char> entry = Pattern(1500);
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, entry.data(), 1500));
  std::vector<unsigned char> back(1500);
  EXPECT_EQ(1500u, FarRead(cable, back.data(), 1500, 5000));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  int reads = 0, writes = 0;
  for (int i = 0; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    if (call.call == OsCall::ReadFile) {
      ++reads;
      EXPECT_EQ(port->hDevice, call.handle);
      EXPECT_EQ(2048u, call.args[1]) << "read " << reads;
      EXPECT_NE(0u, call.args[3]) << "read " << reads << " is overlapped";
    }
    if (call.call == OsCall::WriteFile) {
      ++writes;
      EXPECT_EQ(port->hDevice, call.handle);
      EXPECT_EQ(1500u, call.args[1]);
      EXPECT_NE(0u, call.args[3]) << "the write is overlapped";
    }
  }
  EXPECT_GE(reads, 2);
  EXPECT_EQ(1, writes);
  RestoreRealOs();
  CloseHandle(cable);
}

TEST(comport_reader_test, reads_that_fail_at_once_are_paced_and_the_pause_ends_at_close) {
  InstallFakeOs();
  FailCallsFrom(OsCall::ReadFile, Role::Reader, 1, ERROR_ACCESS_DENIED);
  OrvoCOMInitPorts();
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  ULONGLONG start = GetTickCount64();
  ASSERT_TRUE(WaitUntil([] { return RoleCallCount(OsCall::ReadFile, Role::Reader) >= 3; }, 5000));
  ULONGLONG elapsed = GetTickCount64() - start;
  // Two pauses of about 500 ms lie between the first and the third read.
  EXPECT_GE(elapsed, 900u);
  // The close comes in the middle of a pause.
  start = GetTickCount64();
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  EXPECT_LT(GetTickCount64() - start, 400u) << "the pause did not end at the close";
  RestoreRealOs();
}

struct LineErrorCase {
  const char* legend;
  bool duringPendingRead;  // else before the first read
  DWORD errors;            // what ClearCommError reports
  int times;               // reads failed in a row
  ComPortStats expected;   // reads aside
};

const LineErrorCase kLineErrors[] = {
    {"framing error before the first read: ReadFile fails at once", false, CE_FRAME, 1,
     {0, 1, 1, 0, 0, 0, 0}},
    {"overrun and parity error: the pending read completes aborted, with its byte", true,
     CE_OVERRUN | CE_RXPARITY, 1,
     {0, 1, 0, 1, 1, 0, 0}},
    {"driver queue overflow: the pending read completes aborted", true, CE_RXOVER, 1,
     {0, 1, 0, 0, 0, 1, 0}},
    {"a noisy line: three reads in a row fail at once", false, CE_FRAME, 3, {0, 3, 3, 0, 0, 0, 0}},
    {"a noisy line: three pending reads in a row complete aborted", true, CE_FRAME | CE_OVERRUN, 3,
     {0, 3, 3, 0, 3, 0, 0}},
};

// Milliseconds from the reader's first ClearCommError to its first ReadFile
// after the clears-th, in the fake's log.
ULONGLONG ReadsResumedAfter(int clears) {
  int first = -1, seen = 0;
  for (int i = 0; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    if (call.role != Role::Reader) continue;
    if (call.call == OsCall::ClearCommError && ++seen == 1) first = i;
    if (seen >= clears && call.call == OsCall::ReadFile) return call.tick - LoggedCallAt(first).tick;
  }
  ADD_FAILURE() << "no ReadFile after " << clears << " ClearCommError calls";
  return 0;
}

// A driver that fails a read for a line error (one that ignores fAbortOnError
// off) accepts the next read once the error is cleared: the reader clears it
// and reads again at once, without the pause meant for a device that refuses
// reads.
TEST(comport_reader_test, reads_aborted_by_a_line_error_deliver_again_once_it_is_cleared) {
  const char kSentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  const uint32_t kLength = sizeof kSentence - 1;
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  for (const LineErrorCase& c : kLineErrors) {
    InstallFakeOs();
    RecorderReset();
    if (!c.duringPendingRead) LatchLineError(c.errors, c.times);
    if (c.duringPendingRead) {
      AbortOnLineErrorsAnyway();
      ReceiveWithLineError(0xff, c.errors);
    }
    ComPort* port = OpenNear(kPair, RecordRx);
    ASSERT_NE(nullptr, port) << c.legend;
    for (int k = 1; c.duringPendingRead && k <= c.times; ++k) {
      // The reader waits for its k-th pending read; a damaged character ends
      // it, aborted, with the character.
      static int waits;
      waits = k;
      ASSERT_TRUE(WaitUntil(
          [] { return RoleCallCount(OsCall::WaitForMultipleObjects, Role::Reader) >= waits; }, 5000))
          << c.legend;
      ASSERT_TRUE(FarWrite(cable, "\xff", 1)) << c.legend;
    }
    static int clears;
    clears = c.times;
    EXPECT_TRUE(WaitUntil([] { return RoleCallCount(OsCall::ClearCommError, Role::Reader) >= clears; }, 5000))
        << c.legend;
    ASSERT_TRUE(FarWrite(cable, kSentence, kLength)) << c.legend;
    // An aborted pending read reports its damaged byte, and it is delivered.
    const std::string expected = std::string(c.duringPendingRead ? c.times : 0, '\xff') + kSentence;
    static uint32_t want;
    want = static_cast<uint32_t>(expected.size());
    EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= want; }, 5000)) << c.legend;
    EXPECT_EQ(0, OrvoCOMClosePort(port)) << c.legend;
    EXPECT_LT(ReadsResumedAfter(c.times), 300u) << c.legend << ": the pause is 500 ms";
    RestoreRealOs();

    ASSERT_EQ(expected.size(), RecordedSize()) << c.legend;
    EXPECT_EQ(expected, std::string(reinterpret_cast<const char*>(RecordedBytes()), RecordedSize()))
        << c.legend;
    ComPortStats stats = {};
    ASSERT_EQ(0, OrvoCOMGetStats(port, &stats));
    EXPECT_EQ(static_cast<uint32_t>(RecordedCalls()), stats.reads) << c.legend;
    EXPECT_EQ(c.expected.readErrors, stats.readErrors) << c.legend;
    EXPECT_EQ(c.expected.framingErrors, stats.framingErrors) << c.legend;
    EXPECT_EQ(c.expected.parityErrors, stats.parityErrors) << c.legend;
    EXPECT_EQ(c.expected.overrunErrors, stats.overrunErrors) << c.legend;
    EXPECT_EQ(c.expected.bufferOverflows, stats.bufferOverflows) << c.legend;
  }
  CloseHandle(cable);
}

// A device left with fAbortOnError on by an earlier program: the open turns
// it off, so a character damaged on the line arrives as data (and would fail
// its sentence's checksum) while the sentences around it and the commands
// queued meanwhile all get through.  Left on, the driver would cancel the
// read with the good sentence before the damaged one, and the writes.
TEST(comport_reader_test, a_line_error_costs_no_good_byte_and_no_queued_write) {
  const std::string kGood = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  const std::string kDamaged = "$GPRMC,123519,A,4807.038,N,01131.\xff" "00,E,022.4,084.4,230394,003.1,W*6A\r\n";
  const std::string kStream = kGood + kDamaged + kGood + kGood;
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  InstallFakeOs();
  ReportAbortOnError();
  ReceiveWithLineError(0xff, CE_FRAME);
  RecorderReset();
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  // One write: the good sentence and the damaged one share a read.
  ASSERT_TRUE(FarWrite(cable, kStream.data(), static_cast<DWORD>(kStream.size())));
  const char* kCommands[] = {"$PCMD,1*00\r\n", "$PCMD,2*00\r\n", "$PCMD,3*00\r\n"};
  for (const char* command : kCommands) ASSERT_EQ(TX_QUEUED, TxQueuePut(port, command, 12));
  static size_t want;
  want = kStream.size();
  EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= want; }, 5000));
  char back[36] = {};
  EXPECT_EQ(36u, FarRead(cable, back, 36, 5000));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
  CloseHandle(cable);

  ASSERT_EQ(kStream.size(), RecordedSize());
  EXPECT_EQ(0, memcmp(kStream.data(), RecordedBytes(), kStream.size()));
  EXPECT_EQ(std::string(kCommands[0]) + kCommands[1] + kCommands[2], std::string(back, 36));
  // The error is counted once, although ClearCommError follows every read.
  ComPortStats stats = {};
  ASSERT_EQ(0, OrvoCOMGetStats(port, &stats));
  EXPECT_EQ(1u, stats.framingErrors);
  EXPECT_EQ(0u, stats.readErrors);
  EXPECT_EQ(static_cast<uint32_t>(RecordedCalls()), stats.reads);
}

// Some USB receivers' drivers refuse ClearCommError with error 87 on a live
// port: their line errors read as unknown, and failed reads with that
// refusal after them do not make the device gone.
TEST(comport_reader_test, a_driver_that_refuses_clear_comm_error_with_87_is_not_gone) {
  const std::string kSentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  InstallFakeOs();
  RecorderReset();
  FailCallsFrom(OsCall::ClearCommError, Role::Reader, 1, ERROR_INVALID_PARAMETER);
  FailCall(OsCall::ReadFile, Role::Reader, 1, ERROR_GEN_FAILURE);
  FailCall(OsCall::ReadFile, Role::Reader, 2, ERROR_GEN_FAILURE);
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  EXPECT_TRUE(WaitUntil([] { return RoleCallCount(OsCall::ReadFile, Role::Reader) >= 3; }, 5000));
  EXPECT_EQ(0, OrvoCOMIsDeviceGone(port));
  ASSERT_TRUE(FarWrite(cable, kSentence.data(), static_cast<DWORD>(kSentence.size())));
  static uint32_t want;
  want = static_cast<uint32_t>(kSentence.size());
  EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= want; }, 5000));
  ComPortStats stats = {};
  ASSERT_EQ(0, OrvoCOMGetStats(port, &stats));
  EXPECT_EQ(1u, stats.lineErrorsUnknown);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
  CloseHandle(cable);
}

}  // namespace
