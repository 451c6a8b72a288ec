// Closing a port: its results, a fresh start after it, no handle lost over
// many cycles, and no deadlock with a handler waiting for the closing thread.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "comport/comport.h"
#include "far_end.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 1;

ComPort* OpenNear(RxHandler handler) {
  ComPort* port = nullptr;
  uint32_t error = 0;
  int32_t code = OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, NOPARITY, ONESTOPBIT, 1, nullptr, &port,
                                 handler, &error);
  return code == 0 ? port : nullptr;
}

DWORD HandleCount() {
  DWORD count = 0;
  GetProcessHandleCount(GetCurrentProcess(), &count);
  return count;
}

TEST(comport_close_test, closing_twice_gives_0_then_1_and_nothing_open_makes_no_os_call) {
  OrvoCOMInitPorts();
  ComPort* port = OpenNear(nullptr);
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
  ComPort* port = OpenNear(nullptr);
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

  port = OpenNear(nullptr);
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
  ComPort* port = OpenNear(RecordRx);
  ASSERT_NE(nullptr, port);
  ASSERT_EQ(0, OrvoCOMClosePort(port));
  DWORD handles = HandleCount();
  ULONGLONG start = GetTickCount64();
  const int kCycles = 200;
  for (int i = 0; i < kCycles; ++i) {
    port = OpenNear(RecordRx);
    ASSERT_NE(nullptr, port) << i;
    ASSERT_EQ(0, OrvoCOMClosePort(port)) << i;
  }
  ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_EQ(handles, HandleCount());
  EXPECT_GT(RecordedCalls(), 0);
  printf("%d open/close cycles with data flowing: %llu ms, %.2f ms per cycle\n", kCycles,
         elapsed, static_cast<double>(elapsed) / kCycles);

  // A port reading without a handler drains the line, so the talker's last
  // write can finish.
  stop = true;
  port = OpenNear(nullptr);
  ASSERT_NE(nullptr, port);
  talker.join();
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

HWND gWindow;
std::atomic<int> gHandlerEntered;
std::atomic<int> gServed;

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) {
    ++gServed;
    return 0;
  }
  return DefWindowProcA(window, message, w, l);
}

// Like the demo's fix callback: a cross-thread SendMessage that completes
// only when the window's thread serves it.
void SendingHandler(void*, const unsigned char*, int32_t) {
  ++gHandlerEntered;
  SendMessageA(gWindow, WM_APP, 0, 0);
}

TEST(comport_close_test, close_serves_a_handler_blocked_in_send_message_to_the_closing_thread) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = CountingProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "COMPORTCLOSETEST";
  ASSERT_TRUE(RegisterClassA(&windowClass));
  gWindow = CreateWindowExA(0, "COMPORTCLOSETEST", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            windowClass.hInstance, nullptr);
  ASSERT_NE(nullptr, gWindow) << "needs an X display: vnullmodem.sh up <dir> --display";

  OrvoCOMInitPorts();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ULONGLONG slowest = 0;
  for (int i = 0; i < 50; ++i) {
    gHandlerEntered = 0;
    gServed = 0;
    ComPort* port = OpenNear(SendingHandler);
    ASSERT_NE(nullptr, port) << i;
    ASSERT_TRUE(FarWrite(cable, "$", 1));
    // Not serving messages here leaves the handler blocked in SendMessage.
    ASSERT_TRUE(WaitUntil([] { return gHandlerEntered > 0; }, 5000)) << i;
    ULONGLONG start = GetTickCount64();
    EXPECT_EQ(0, OrvoCOMClosePort(port)) << i;
    ULONGLONG took = GetTickCount64() - start;
    if (took > slowest) slowest = took;
    EXPECT_LT(took, 2000u) << i;
    EXPECT_EQ(1, gServed.load()) << i;
  }
  printf("50 closes with the handler blocked in SendMessage: slowest %llu ms\n", slowest);
  CloseHandle(cable);
  DestroyWindow(gWindow);
  UnregisterClassA("COMPORTCLOSETEST", GetModuleHandleA(nullptr));
}

}  // namespace
