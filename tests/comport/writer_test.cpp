// The writer thread and the transmit queue: order, a full queue, entries
// without a wake-up, a failed write, a write held up by the line, the ring.
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
constexpr int32_t kFarIndex = 10;  // COM11, pair 1's farPort end

std::string Entry(int i) {
  // Lengths from 1 to 2048, so the whole entry size is covered.
  size_t length = i == 0 ? 2048 : static_cast<size_t>(1 + i * 97);
  return std::string(length, static_cast<char>('a' + i));
}

TEST(comport_writer_test, entries_arrive_in_order_and_a_full_queue_refuses_more) {
  InstallFakeOs();
  CloseWriteGate();
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);

  std::string expected;
  // The writer takes the first entry and is held in its write; nine more fit.
  for (int i = 0; i < 10; ++i) {
    std::string entry = Entry(i);
    ASSERT_EQ(TX_QUEUED, TxQueuePut(port, entry.data(), static_cast<uint32_t>(entry.size()))) << i;
    expected += entry;
    if (i == 0) {
      ASSERT_TRUE(WaitWriterAtGate(5000));
    }
  }
  EXPECT_EQ(TX_REFUSED_FULL, TxQueuePut(port, "x", 1));
  OpenWriteGate();

  std::string got(expected.size(), '\0');
  EXPECT_EQ(expected.size(), FarRead(cable, &got[0], static_cast<DWORD>(got.size()), 10000));
  EXPECT_TRUE(got == expected) << "entries arrived out of order or changed";
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
  CloseHandle(cable);
}

TEST(comport_writer_test, entry_queued_without_a_wake_up_is_sent_at_the_next_poll) {
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  static ComPort* port;
  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  ASSERT_TRUE(WaitUntil([] { return port->ghWriterEvent != nullptr; }, 5000));

  TxQueue& queue = port->txQueue;
  int32_t write = queue.writeIndex.load();
  memcpy(queue.entries[write].data, "quiet", 5);
  queue.entries[write].length = 5;
  ULONGLONG start = GetTickCount64();
  queue.writeIndex.store(write + 1, std::memory_order_release);
  char got[5] = {};
  EXPECT_EQ(5u, FarRead(cable, got, 5, 3000));
  ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_EQ(0, memcmp(got, "quiet", 5));
  EXPECT_LT(elapsed, 1500u) << "the writer looks at its queue every 500 ms";
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

TEST(comport_writer_test, entry_whose_write_fails_at_once_is_dropped_and_the_next_is_sent) {
  InstallFakeOs();
  FailCall(OsCall::WriteFile, Role::Writer, 1, ERROR_GEN_FAILURE);
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "lost", 4));
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "kept", 4));
  char got[8] = {};
  EXPECT_EQ(4u, FarRead(cable, got, sizeof got, 1500));
  EXPECT_EQ(0, memcmp(got, "kept", 4));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
  CloseHandle(cable);
}

TEST(comport_writer_test, entries_reach_a_port_above_com9_opened_by_the_layer) {
  OrvoCOMInitPorts();
  RecorderReset();
  ComPort* nearPort = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, nearPort);
  ComPort* farPort = nullptr;
  uint32_t error = 0;
  ASSERT_EQ(0, OrvoCOMOpenPort(kFarIndex, 4800, 8, NOPARITY, ONESTOPBIT, 1, nullptr, &farPort,
                               RecordRx, &error));
  EXPECT_STREQ("COM11", farPort->name);
  ASSERT_EQ(TX_QUEUED, TxQueuePut(nearPort, "$GPGGA", 6));
  EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= 6; }, 5000));
  EXPECT_EQ(0, memcmp(RecordedBytes(), "$GPGGA", 6));
  EXPECT_EQ(0, OrvoCOMClosePort(farPort));
  EXPECT_EQ(0, OrvoCOMClosePort(nearPort));
}

TEST(comport_tx_queue_test, put_refuses_what_cannot_be_sent) {
  static ComPort port;
  static unsigned char block[TX_ENTRY_SIZE + 1];
  TxQueueReset(&port.txQueue);
  EXPECT_EQ(TX_REFUSED_INVALID, TxQueuePut(&port, block, 1)) << "closed port";
  port.isOpen = 1;
  EXPECT_EQ(TX_REFUSED_INVALID, TxQueuePut(&port, block, TX_ENTRY_SIZE + 1));
  EXPECT_EQ(TX_REFUSED_INVALID, TxQueuePut(nullptr, block, 1));
  EXPECT_EQ(TX_REFUSED_INVALID, TxQueuePut(&port, nullptr, 1));
  EXPECT_EQ(TX_QUEUED, TxQueuePut(&port, block, TX_ENTRY_SIZE));
  EXPECT_EQ(1, port.txQueue.writeIndex.load());
}

TEST(comport_tx_queue_test, indexes_wrap_from_9_to_0_and_entries_come_out_as_put) {
  static ComPort port;
  port.isOpen = 1;
  TxQueueReset(&port.txQueue);
  static unsigned char out[TX_ENTRY_SIZE];
  uint32_t length = 0;
  EXPECT_EQ(0, TxQueueTake(&port.txQueue, out, &length));
  for (int i = 0; i < 25; ++i) {
    unsigned char value = static_cast<unsigned char>(i);
    ASSERT_EQ(TX_QUEUED, TxQueuePut(&port, &value, 1)) << i;
    ASSERT_EQ(1, TxQueueTake(&port.txQueue, out, &length)) << i;
    EXPECT_EQ(1u, length);
    EXPECT_EQ(value, out[0]);
    EXPECT_EQ((i + 1) % 10, port.txQueue.readIndex.load()) << i;
  }
  EXPECT_EQ(0, TxQueueTake(&port.txQueue, out, &length));
}

}  // namespace

namespace {

// Entries that make a recognisable stream: a running byte counter.
void FillEntry(unsigned char* block, uint32_t length, uint32_t offset) {
  for (uint32_t i = 0; i < length; ++i) block[i] = static_cast<unsigned char>((offset + i) * 7 + 3);
}

TEST(comport_writer_test, write_held_up_by_the_line_is_waited_for_and_sent_whole_in_order) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);

  // Nobody reads the far end, so the cable fills up and a write stays
  // pending; go on until one has outlasted the writer's 1000 ms wait.
  static unsigned char block[TX_ENTRY_SIZE];
  uint32_t total = 0;
  int writesWhenFull = -1;
  int waitsWhenFull = 0;
  bool heldUp = false;
  ULONGLONG end = GetTickCount64() + 30000;
  while (!heldUp && GetTickCount64() < end) {
    FillEntry(block, TX_ENTRY_SIZE, total);
    if (TxQueuePut(port, block, TX_ENTRY_SIZE) == TX_QUEUED) {
      total += TX_ENTRY_SIZE;
      writesWhenFull = -1;
      continue;
    }
    int writes = RoleCallCount(OsCall::WriteFile, Role::Writer);
    int waits = RoleCallCount(OsCall::WaitForMultipleObjects, Role::Writer);
    if (writesWhenFull != writes) {
      writesWhenFull = writes;
      waitsWhenFull = waits;
    }
    heldUp = waits >= waitsWhenFull + 2;
    Sleep(1);
  }
  ASSERT_TRUE(heldUp) << "the cable never held a write up; " << total << " bytes went through";

  std::vector<unsigned char> got(total);
  EXPECT_EQ(total, FarRead(cable, got.data(), total, 30000));
  std::vector<unsigned char> expected(total);
  FillEntry(expected.data(), total, 0);
  size_t first =
      std::mismatch(expected.begin(), expected.end(), got.begin()).first - expected.begin();
  EXPECT_EQ(total, first) << "first difference at byte " << first << " of " << total;
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  RestoreRealOs();
  CloseHandle(cable);
}

TEST(comport_writer_test, close_cancels_a_write_held_up_by_the_line) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  static unsigned char block[TX_ENTRY_SIZE];
  ULONGLONG end = GetTickCount64() + 30000;
  // Fill until the queue stays full: the writer is then held in a write.
  int fullInARow = 0;
  while (fullInARow < 200 && GetTickCount64() < end) {
    fullInARow = TxQueuePut(port, block, TX_ENTRY_SIZE) == TX_QUEUED ? 0 : fullInARow + 1;
    Sleep(1);
  }
  ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  EXPECT_LT(GetTickCount64() - start, 2000u);
  RestoreRealOs();
  FarDrain(cable);
  CloseHandle(cable);
}

}  // namespace
