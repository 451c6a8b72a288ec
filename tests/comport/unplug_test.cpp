// A receiver unplugged mid-stream: the far end of the cable vanishes.  Run by
// unplug_test.sh, which pulls the cable when this test says it is streaming.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "comport/comport.h"
#include "far_end.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 3;
constexpr DWORD kWindowMs = 2000;

std::string SignalPath(const char* name) {
  return std::string("Z:") + getenv("ORVO_VNM_STATE") + "/" + name;
}

ULONGLONG CpuTime100ns(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return k.QuadPart + u.QuadPart;
}

TEST(comport_unplug_test, vanished_far_end_costs_no_busy_thread_and_close_returns) {
  if (!getenv("ORVO_UNPLUG_SIGNALS") || !getenv("ORVO_VNM_STATE")) {
    GTEST_SKIP() << "run through unplug_test.sh";
  }
  InstallFakeOs();  // counts the reader's reads
  OrvoCOMInitPorts();
  RecorderReset();
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  ComPort* port = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, port);
  std::thread talker([cable] {
    const char sentence[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    while (FarWrite(cable, sentence, sizeof sentence - 1)) {
    }
  });
  ASSERT_TRUE(WaitUntil([] { return RecordedSize() > 10000; }, 10000));

  std::string ready = SignalPath("unplug.ready");
  HANDLE signal = CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, signal) << ready;
  CloseHandle(signal);
  static std::string done;
  done = SignalPath("unplug.done");
  ASSERT_TRUE(WaitUntil([] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                        30000));
  talker.join();  // its writes fail once the cable is gone

  int reads0 = RoleCallCount(OsCall::ReadFile, Role::Reader);
  ULONGLONG reader0 = CpuTime100ns(port->hReaderThread);
  ULONGLONG writer0 = CpuTime100ns(port->hWriterThread);
  ULONGLONG start = GetTickCount64();
  Sleep(kWindowMs);  // the measurement window, not a synchronisation
  double wall = static_cast<double>(GetTickCount64() - start) * 10000.0;
  double readerShare = 100.0 * (CpuTime100ns(port->hReaderThread) - reader0) / wall;
  double writerShare = 100.0 * (CpuTime100ns(port->hWriterThread) - writer0) / wall;
  int reads = RoleCallCount(OsCall::ReadFile, Role::Reader) - reads0;
  printf("after unplug: reader %.2f%% of a core, writer %.2f%% of a core, %d reads over %lu ms\n",
         readerShare, writerShare, reads, kWindowMs);
  EXPECT_LE(reads, 10) << "reads that fail at once must be paced";
  EXPECT_LT(readerShare, 5.0);
  EXPECT_LT(writerShare, 5.0);

  start = GetTickCount64();
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  ULONGLONG took = GetTickCount64() - start;
  printf("close after unplug: %llu ms\n", took);
  EXPECT_LT(took, 2000u);
  RestoreRealOs();
  CloseHandle(cable);
}

}  // namespace
