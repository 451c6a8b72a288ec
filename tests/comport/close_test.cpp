// Closing a port: its results, a fresh start after it, no handle lost over
// many cycles, and no deadlock with a handler waiting for the closing thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "comport/comport.h"
#include "far_end.h"
#include "handle_count.h"
#include "message_window.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 1;

TEST(comport_close_test, closing_twice_gives_0_then_1_and_nothing_open_makes_no_os_call) {
  OrvoCOMInitPorts();
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  InstallFakeOs();
  EXPECT_EQ(1, OrvoCOMClosePort(port));
  EXPECT_EQ(1, OrvoCOMClosePort(nullptr));
  EXPECT_EQ(1, OrvoCOMClosePort(OrvoCOMGetPort(7)));  // never opened
  EXPECT_EQ(0, TotalCallCount());
  RestoreRealOs();
}

TEST(comport_close_test, reopen_starts_fresh_threads_with_an_empty_queue) {
  InstallFakeOs();
  CloseWriteGate();
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  HANDLE earlier[2];
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), port->hReaderThread, GetCurrentProcess(),
                              &earlier[0], SYNCHRONIZE, FALSE, 0));
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), port->hWriterThread, GetCurrentProcess(),
                              &earlier[1], SYNCHRONIZE, FALSE, 0));
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "held", 4));
  ASSERT_TRUE(WaitWriterAtGate(5000));
  for (int i = 0; i < 5; ++i) ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "left", 4));
  OpenWriteGate();
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForMultipleObjects(2, earlier, TRUE, 0));
  CloseHandle(earlier[0]);
  CloseHandle(earlier[1]);
  RestoreRealOs();

  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ(0, port->txQueue.writeIndex.load());
  EXPECT_EQ(0, port->txQueue.readIndex.load());
  for (const TxEntry& entry : port->txQueue.entries) EXPECT_EQ(0u, entry.length);
  FarDrain(cable);
  ASSERT_EQ(TX_QUEUED, TxQueuePut(port, "new", 3));
  char got[3] = {};
  EXPECT_EQ(3u, FarRead(cable, got, 3, 5000));
  EXPECT_EQ(0, memcmp(got, "new", 3));
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

TEST(comport_close_test, many_open_close_cycles_while_data_flows_keep_the_handle_count) {
  OrvoCOMInitPorts();
  RecorderReset();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  static std::atomic<bool> stop{false};
  stop = false;
  std::thread talker([cable] {
    const char sentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    while (!stop) FarWrite(cable, sentence, sizeof sentence - 1);
  });
  // The first cycle lets the OS set up what it keeps for the process.
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  ASSERT_EQ(0, OrvoCOMClosePort(port));
  DWORD handles = CountOpenHandles();
  ULONGLONG start = GetTickCount64();
  const int kCycles = 200;
  for (int i = 0; i < kCycles; ++i) {
    port = OpenNear(kPair, RecordRx);
    ASSERT_NE(nullptr, port) << i;
    ASSERT_EQ(0, OrvoCOMClosePort(port)) << i;
  }
  ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_EQ(handles, CountOpenHandles());
  EXPECT_GT(RecordedCalls(), 0);
  printf("%d open/close cycles with data flowing: %llu ms, %.2f ms per cycle\n", kCycles,
         elapsed, static_cast<double>(elapsed) / kCycles);

  // A port reading without a handler drains the line, so the talker's last
  // write can finish.
  stop = true;
  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  talker.join();
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

TEST(comport_close_test, threads_end_before_dtr_drops_the_timeouts_return_and_the_device_closes) {
  InstallFakeOs();
  const COMMTIMEOUTS kDeviceOwn = {7, 3, 50, 2, 9};
  ReportTimeouts(kDeviceOwn);
  OrvoCOMInitPorts();
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  const HANDLE device = port->hDevice;
  const HANDLE reader = port->hReaderThread;
  const HANDLE writer = port->hWriterThread;
  int from = LoggedCallCount();
  EXPECT_EQ(0, OrvoCOMClosePort(port));

  std::vector<int> closing;  // log positions of the closing thread's calls
  int lastThreadCall = -1;
  for (int i = from; i < LoggedCallCount(); ++i) {
    if (LoggedCallAt(i).role == Role::Opener) {
      closing.push_back(i);
    } else {
      lastThreadCall = i;
    }
  }
  ASSERT_GE(closing.size(), 6u);
  size_t n = closing.size();
  const LoggedCall& dtr = LoggedCallAt(closing[n - 4]);
  const LoggedCall& timeouts = LoggedCallAt(closing[n - 3]);
  const LoggedCall& purge = LoggedCallAt(closing[n - 2]);
  const LoggedCall& close = LoggedCallAt(closing[n - 1]);
  EXPECT_EQ(OsCall::EscapeCommFunction, dtr.call);
  EXPECT_EQ(device, dtr.handle);
  EXPECT_EQ(static_cast<uintptr_t>(CLRDTR), dtr.args[0]);
  EXPECT_EQ(OsCall::SetCommTimeouts, timeouts.call);
  EXPECT_EQ(device, timeouts.handle);
  EXPECT_EQ(kDeviceOwn.ReadIntervalTimeout, timeouts.timeouts.ReadIntervalTimeout);
  EXPECT_EQ(kDeviceOwn.ReadTotalTimeoutMultiplier, timeouts.timeouts.ReadTotalTimeoutMultiplier);
  EXPECT_EQ(kDeviceOwn.ReadTotalTimeoutConstant, timeouts.timeouts.ReadTotalTimeoutConstant);
  EXPECT_EQ(kDeviceOwn.WriteTotalTimeoutMultiplier, timeouts.timeouts.WriteTotalTimeoutMultiplier);
  EXPECT_EQ(kDeviceOwn.WriteTotalTimeoutConstant, timeouts.timeouts.WriteTotalTimeoutConstant);
  EXPECT_EQ(OsCall::PurgeComm, purge.call);
  EXPECT_EQ(device, purge.handle);
  EXPECT_EQ(15u, purge.args[0]);
  EXPECT_EQ(OsCall::CloseHandle, close.call);
  EXPECT_EQ(device, close.handle);

  // Before DTR drops, both threads are done and their handles released, and
  // the device has not been touched.
  EXPECT_LT(lastThreadCall, closing[n - 4]);
  bool readerReleased = false, writerReleased = false;
  for (size_t i = 0; i + 4 < n; ++i) {
    const LoggedCall& call = LoggedCallAt(closing[i]);
    EXPECT_NE(device, call.handle) << "call " << i << " of the close";
    if (call.call == OsCall::CloseHandle && call.handle == reader) readerReleased = true;
    if (call.call == OsCall::CloseHandle && call.handle == writer) writerReleased = true;
  }
  EXPECT_TRUE(readerReleased);
  EXPECT_TRUE(writerReleased);
  RestoreRealOs();
}

TEST(comport_close_test, only_a_failed_closehandle_makes_the_result_1_and_the_slot_is_closed) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  ComPort* port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  FailCall(OsCall::EscapeCommFunction, Role::Opener, 2, ERROR_NOT_SUPPORTED);  // 1 raised DTR
  FailCall(OsCall::SetCommTimeouts, Role::Opener, 2, ERROR_GEN_FAILURE);      // 1 was the open's
  FailCall(OsCall::PurgeComm, Role::Opener, 1, ERROR_GEN_FAILURE);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  EXPECT_EQ(2, RoleCallCount(OsCall::EscapeCommFunction, Role::Opener));
  EXPECT_EQ(2, RoleCallCount(OsCall::SetCommTimeouts, Role::Opener));
  EXPECT_EQ(1, RoleCallCount(OsCall::PurgeComm, Role::Opener));
  RestoreRealOs();

  InstallFakeOs();
  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  HANDLE device = port->hDevice;
  FailCloseOf(device, ERROR_INVALID_HANDLE);
  EXPECT_EQ(1, OrvoCOMClosePort(port));
  EXPECT_EQ(0, port->isOpen);
  EXPECT_EQ(1, OrvoCOMClosePort(port));
  RestoreRealOs();
  EXPECT_TRUE(CloseHandle(device));  // the failed close left it open

  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
}

TEST(comport_close_test, each_thread_makes_its_events_as_listed_and_closes_them_when_it_ends) {
  InstallFakeOs();
  OrvoCOMInitPorts();
  static ComPort* port;
  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  ASSERT_TRUE(WaitUntil([] { return port->ghWriterEvent != nullptr; }, 5000));
  HANDLE request = port->ghWriterEvent;
  EXPECT_EQ(0, OrvoCOMClosePort(port));

  std::vector<LoggedCall> made[3], closed[3];
  for (int i = 0; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    int role = static_cast<int>(call.role);
    if (call.call == OsCall::CreateEvent) made[role].push_back(call);
    if (call.call == OsCall::CloseHandle) closed[role].push_back(call);
  }
  const int kReader = static_cast<int>(Role::Reader), kWriter = static_cast<int>(Role::Writer);
  // args: security attributes, manual reset, initially signalled, name.
  ASSERT_EQ(1u, made[kReader].size());
  EXPECT_EQ(0u, made[kReader][0].args[0]);
  EXPECT_EQ(1u, made[kReader][0].args[1]) << "the read event resets by hand";
  EXPECT_EQ(0u, made[kReader][0].args[2]);
  EXPECT_EQ(0u, made[kReader][0].args[3]);
  ASSERT_EQ(2u, made[kWriter].size());
  EXPECT_EQ(request, made[kWriter][0].handle) << "ghWriterEvent comes first";
  EXPECT_EQ(0u, made[kWriter][0].args[1]) << "ghWriterEvent resets itself";
  EXPECT_EQ(1u, made[kWriter][1].args[1]) << "the write-completion event resets by hand";
  for (const LoggedCall& event : made[kWriter]) {
    EXPECT_EQ(0u, event.args[0]);
    EXPECT_EQ(0u, event.args[2]);
    EXPECT_EQ(0u, event.args[3]);
  }
  ASSERT_EQ(1u, closed[kReader].size());
  EXPECT_EQ(made[kReader][0].handle, closed[kReader][0].handle);
  ASSERT_EQ(2u, closed[kWriter].size());
  for (const LoggedCall& event : made[kWriter]) {
    EXPECT_TRUE(event.handle == closed[kWriter][0].handle ||
                event.handle == closed[kWriter][1].handle);
  }
  EXPECT_NE(closed[kWriter][0].handle, closed[kWriter][1].handle);
  RestoreRealOs();
}

HWND gWindow;
std::atomic<int> gHandlerEntered;
std::atomic<int> gServed;

void CountServed() { ++gServed; }

// Like the demo's fix callback: a cross-thread SendMessage that completes
// only when the window's thread serves it.
void SendingHandler(void*, const unsigned char*, int32_t) {
  ++gHandlerEntered;
  SendMessageA(gWindow, WM_APP, 0, 0);
}

// Opens pair 1 with SendingHandler and sends it one byte: the handler is then
// blocked in SendMessage until this thread serves the window.
ComPort* OpenWithHandlerBlocked(HANDLE cable) {
  gHandlerEntered = 0;
  gServed = 0;
  ComPort* port = OpenNear(kPair, SendingHandler);
  if (!port || !FarWrite(cable, "$", 1)) return port;
  // Not serving messages here leaves the handler blocked in SendMessage.
  (void)WaitUntil([] { return gHandlerEntered > 0; }, 5000);
  return port;
}

// Runs rescue on a thread of its own when Finish has not come within
// deadlineMs, so that a close that would wait for ever returns late and the
// test fails instead of hanging.
class Rescue {
 public:
  Rescue(DWORD deadlineMs, std::function<void()> rescue)
      : done_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
        thread_([this, deadlineMs, rescue] {
          if (WaitForSingleObject(done_, deadlineMs) == WAIT_TIMEOUT) {
            used_ = true;
            rescue();
          }
        }) {}
  ~Rescue() { Finish(); }
  // True when the rescue had to run.
  bool Finish() {
    if (thread_.joinable()) {
      SetEvent(done_);
      thread_.join();
      CloseHandle(done_);
    }
    return used_;
  }

 private:
  HANDLE done_;
  std::atomic<bool> used_{false};
  std::thread thread_;
};

// The window whose messages the blocked handler sends, and the cable's far
// end for the bytes that make it run.
void MakeWindowAndCable(HANDLE* cable) {
  gWindow = MakeMessageWindow(CountServed);
  ASSERT_NE(nullptr, gWindow) << "needs an X display: vnullmodem.sh up <dir> --display";
  OrvoCOMInitPorts();
  *cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, *cable);
}

TEST(comport_close_test, close_serves_a_handler_blocked_in_send_message_to_the_closing_thread) {
  HANDLE cable;
  ASSERT_NO_FATAL_FAILURE(MakeWindowAndCable(&cable));
  ULONGLONG slowest = 0;
  for (int i = 0; i < 50; ++i) {
    ComPort* port = OpenWithHandlerBlocked(cable);
    ASSERT_NE(nullptr, port) << i;
    ASSERT_EQ(1, gHandlerEntered.load()) << i;
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(0, OrvoCOMClosePort(port)) << i;
    ULONGLONG took = GetTickCount64() - start;
    if (took > slowest) slowest = took;
    EXPECT_LT(took, 2000u) << i;
    EXPECT_EQ(1, gServed.load()) << i;
  }
  printf("50 closes with the handler blocked in SendMessage: slowest %llu ms\n", slowest);
  CloseHandle(cable);
  DestroyMessageWindow(gWindow);
}

TEST(comport_close_test, close_serves_a_sent_message_that_the_caller_has_seen_already) {
  HANDLE cable;
  ASSERT_NO_FATAL_FAILURE(MakeWindowAndCable(&cable));
  ComPort* port = OpenWithHandlerBlocked(cable);
  ASSERT_NE(nullptr, port);
  ASSERT_EQ(1, gHandlerEntered.load());
  // A main loop woken by the handler's message, which looked at its queue
  // and closes before it peeks (the watchdog runs first): the message no
  // longer counts as new input.
  ASSERT_EQ(WAIT_OBJECT_0, MsgWaitForMultipleObjectsEx(0, nullptr, 5000, QS_SENDMESSAGE, 0));
  ASSERT_NE(0u, HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE);
  // New input wakes a wait that looks only for new input.
  Rescue rescue(5000, [] { SendNotifyMessageA(gWindow, WM_NULL, 0, 0); });
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  EXPECT_FALSE(rescue.Finish()) << "the close waited until something new was sent";
  EXPECT_EQ(1, gServed.load());
  CloseHandle(cable);
  DestroyMessageWindow(gWindow);
}

TEST(comport_close_test, read_whose_cancel_completes_only_on_purge_lets_the_close_return) {
  InstallFakeOs();
  CompleteCancelledIoOnlyOnPurge();
  OrvoCOMInitPorts();
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  // Nothing comes from the far end: the reader waits for its pending read.
  ASSERT_TRUE(
      WaitUntil([] { return RoleCallCount(OsCall::WaitForMultipleObjects, Role::Reader) >= 1; }, 5000));
  static HANDLE device;
  device = port->hDevice;
  int from = LoggedCallCount();
  {
    // What the purge does, done after a far longer wait than the close's.
    Rescue rescue(10000, [] { CancelIoEx(device, nullptr); });
    EXPECT_EQ(0, OrvoCOMClosePort(port));
    EXPECT_FALSE(rescue.Finish()) << "the reader's cancelled read ended only by the rescue";
  }
  // One purge aborting reads and writes, before the reader was done.
  int purges = 0, lastReaderCall = -1, purgeAt = -1;
  for (int i = from; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    if (call.role == Role::Reader) lastReaderCall = i;
    if (call.role == Role::Opener && call.call == OsCall::PurgeComm &&
        call.args[0] == (PURGE_RXABORT | PURGE_TXABORT)) {
      ++purges;
      purgeAt = i;
      EXPECT_EQ(device, call.handle);
    }
  }
  EXPECT_EQ(1, purges);
  EXPECT_LT(purgeAt, lastReaderCall);
  RestoreRealOs();
}

int32_t gNestedResult;
ComPort* gNestedPort;

// Served inside the close's wait: tries to open the closing slot again.
void OpenSlotAgain() {
  ++gServed;
  uint32_t error = 0;
  gNestedResult = OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, NOPARITY, ONESTOPBIT, 1, nullptr,
                                  &gNestedPort, nullptr, &error);
}

TEST(comport_close_test, open_from_inside_the_close_is_code_4_and_the_device_closes_once) {
  gWindow = MakeMessageWindow(OpenSlotAgain);
  ASSERT_NE(nullptr, gWindow) << "needs an X display: vnullmodem.sh up <dir> --display";
  InstallFakeOs();
  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  gNestedResult = -1;
  gNestedPort = nullptr;
  ComPort* port = OpenWithHandlerBlocked(cable);
  ASSERT_NE(nullptr, port);
  ASSERT_EQ(1, gHandlerEntered.load());
  const HANDLE device = port->hDevice;
  int from = LoggedCallCount();
  {
    // An open that got through would have put a stop event of its own in
    // the slot, which the closing threads never see set.
    static ComPort* slot;
    slot = port;
    Rescue rescue(10000, [] { SetEvent(slot->hStopEvent); });
    EXPECT_EQ(0, OrvoCOMClosePort(port));
    EXPECT_FALSE(rescue.Finish()) << "the threads ended only by the rescue";
  }
  EXPECT_EQ(1, gServed.load());
  EXPECT_EQ(4, gNestedResult);
  EXPECT_EQ(nullptr, gNestedPort);
  EXPECT_EQ(0, CountLoggedCalls(from, OsCall::CreateFile, nullptr)) << "a device was opened";
  EXPECT_EQ(1, CountLoggedCalls(from, OsCall::CloseHandle, device));
  EXPECT_EQ(0, port->isOpen);
  EXPECT_EQ(0, OrvoCOMIsPortClosing(port));
  RestoreRealOs();
  DestroyMessageWindow(gWindow);

  // Once the close is done the slot opens again.
  port = OpenNear(kPair, nullptr);
  ASSERT_NE(nullptr, port);
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

}  // namespace
