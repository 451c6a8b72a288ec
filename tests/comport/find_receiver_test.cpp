// OrvoGPSFindReceiver over the harness's four cables: their near ends COM1 to
// COM4 are the ports Windows lists (the far ends, COM11 to COM14, are the
// receivers' side, open by name only).
#include <gtest/gtest.h>

#include <cstring>

#include "comport/comport.h"
#include "debug_capture.h"
#include "far_end.h"
#include "far_receiver.h"
#include "handle_count.h"
#include "nmea/receiver.h"
#include "os_fakes.h"

namespace {

constexpr uint32_t kNearEnds = 0x0F;  // COM1 to COM4

struct Progress {
  int calls;
  GpsFindStatus last;
  int stopAfter;  // 0: never
};

int32_t Track(void* user, const GpsFindStatus* status) {
  Progress* p = static_cast<Progress*>(user);
  ++p->calls;
  p->last = *status;
  return p->stopAfter != 0 && p->calls >= p->stopAfter;
}

bool AllNearEndsClosed() {
  for (int pair = 1; pair <= 4; ++pair)
    if (OrvoCOMGetPort(NearIndex(pair))->isOpen || OrvoCOMIsPortClosing(OrvoCOMGetPort(NearIndex(pair))))
      return false;
  return true;
}

TEST(find_receiver_test, the_list_holds_the_ports_wine_maps) {
  uint32_t ports = 0;
  ASSERT_EQ(0, OrvoCOMListPorts(&ports));
  // COM1-4; the far ends are not listed, and Wine's COM17 and COM99 do not
  // fit the table.
  EXPECT_EQ(kNearEnds, ports);
  EXPECT_EQ(1, OrvoCOMListPorts(nullptr));
}

// The first search lets the OS set up what it keeps for the process (the
// thread's message queue, which the close's wait makes, and one more handle
// of Wine's own), so it is not counted as left behind.
DWORD HandlesAfterAFirstSearch() {
  static bool searched = false;
  if (!searched) {
    GpsFindOptions brief = {100, GPS_BAUD_AUTO, kNearEnds, nullptr, nullptr};
    GpsFindResult ignored = {};
    (void)OrvoGPSFindReceiver(&brief, &ignored);
    searched = true;
  }
  return CountOpenHandles();
}

TEST(find_receiver_test, no_receiver_is_not_found_within_the_time_limit_and_nothing_stays_open) {
  const DWORD handles = HandlesAfterAFirstSearch();
  Progress progress = {};
  GpsFindOptions options = {3000, GPS_BAUD_AUTO, kNearEnds, Track, &progress};
  GpsFindResult result = {7, 7};
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(GPS_FIND_NOT_FOUND, OrvoGPSFindReceiver(&options, &result));
  const ULONGLONG took = GetTickCount64() - start;
  EXPECT_GE(took, 2900u);
  EXPECT_LT(took, 6000u);
  EXPECT_EQ(-1, result.portIndex);
  EXPECT_EQ(0u, result.baudRate);
  EXPECT_EQ(kNearEnds, progress.last.portsTried);
  EXPECT_GE(progress.calls, 10) << "about every 100 ms";
  EXPECT_TRUE(AllNearEndsClosed());
  EXPECT_EQ(handles, CountOpenHandles());
}

TEST(find_receiver_test, one_receiver_on_COM2_at_38400_is_found) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, 2, 38400));
  const DWORD handles = HandlesAfterAFirstSearch();
  GpsFindOptions options = {30000, GPS_BAUD_AUTO, 0 /* every listed port */, nullptr, nullptr};
  GpsFindResult result = {};
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(GPS_FIND_FOUND, OrvoGPSFindReceiver(&options, &result));
  printf("found COM%d at %u baud after %llu ms\n", result.portIndex + 1, result.baudRate,
         GetTickCount64() - start);
  EXPECT_EQ(NearIndex(2), result.portIndex);
  EXPECT_EQ(38400u, result.baudRate);
  EXPECT_TRUE(AllNearEndsClosed());
  EXPECT_EQ(handles, CountOpenHandles());

  // The speed found is where an open of the port starts.
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions find = {GPS_BAUD_AUTO, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(result.portIndex, &find, RecordNumber, &context));
  GpsLink link = {};
  ASSERT_EQ(0, OrvoGPSGetLink(context, &link));
  EXPECT_EQ(38400u, link.baudRate);
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

TEST(find_receiver_test, of_two_receivers_one_is_reported_and_both_ports_closed) {
  FarReceiver first, second;
  ASSERT_TRUE(FarReceiverStart(&first, 1, 9600));
  ASSERT_TRUE(FarReceiverStart(&second, 3, 115200));
  const DWORD handles = HandlesAfterAFirstSearch();
  GpsFindOptions options = {30000, GPS_BAUD_AUTO, kNearEnds, nullptr, nullptr};
  GpsFindResult result = {};
  EXPECT_EQ(GPS_FIND_FOUND, OrvoGPSFindReceiver(&options, &result));
  const bool one = result.portIndex == NearIndex(1) && result.baudRate == 9600;
  const bool three = result.portIndex == NearIndex(3) && result.baudRate == 115200;
  EXPECT_TRUE(one || three) << "COM" << result.portIndex + 1 << " at " << result.baudRate;
  EXPECT_TRUE(AllNearEndsClosed());
  EXPECT_EQ(handles, CountOpenHandles());
  FarReceiverStop(&first);
  FarReceiverStop(&second);
}

TEST(find_receiver_test, a_port_that_does_not_open_and_a_port_the_caller_has_open_are_skipped) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, 2, 19200));
  OrvoCOMInitPorts();
  ComPort* callers = OpenNear(4, nullptr);  // the caller's own port
  ASSERT_NE(nullptr, callers);
  InstallFakeOs();
  FailOpenOf("\\\\.\\COM3", ERROR_ACCESS_DENIED);  // another program holds it
  Progress progress = {};
  GpsFindOptions options = {30000, GPS_BAUD_AUTO, kNearEnds, Track, &progress};
  GpsFindResult result = {};
  EXPECT_EQ(GPS_FIND_FOUND, OrvoGPSFindReceiver(&options, &result));
  EXPECT_EQ(NearIndex(2), result.portIndex);
  EXPECT_EQ(19200u, result.baudRate);
  EXPECT_EQ(0x1u << NearIndex(3) | 0x1u << NearIndex(4), progress.last.portsSkipped);
  EXPECT_EQ(0x1u << NearIndex(1) | 0x1u << NearIndex(2), progress.last.portsTried);
  int touchesOfCom4 = 0;
  for (int i = 0; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    if (call.call == OsCall::CreateFile && strcmp(call.path, "\\\\.\\COM4") == 0) ++touchesOfCom4;
    // COM4's own reader and writer read, write and wait on its handle; what
    // an open, a speed change or a close would do to it is the find's.
    const bool configures = call.call != OsCall::ReadFile && call.call != OsCall::WriteFile &&
                            call.call != OsCall::GetOverlappedResult &&
                            call.call != OsCall::ClearCommError && call.call != OsCall::CancelIo &&
                            call.call != OsCall::WaitForMultipleObjects;
    if (configures && call.handle == callers->hDevice) ++touchesOfCom4;
  }
  EXPECT_EQ(0, touchesOfCom4) << "the caller's port was touched";
  RestoreRealOs();
  EXPECT_EQ(1, callers->isOpen.load());
  EXPECT_EQ(0, OrvoCOMClosePort(callers));
  FarReceiverStop(&sim);
}

TEST(find_receiver_test, the_progress_callback_stops_the_search_and_bad_options_are_refused) {
  Progress progress = {};
  progress.stopAfter = 3;
  GpsFindOptions options = {30000, GPS_BAUD_AUTO, kNearEnds, Track, &progress};
  GpsFindResult result = {};
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(GPS_FIND_STOPPED, OrvoGPSFindReceiver(&options, &result));
  EXPECT_LT(GetTickCount64() - start, 2000u);
  EXPECT_TRUE(AllNearEndsClosed());

  struct Row {
    const char* legend;
    GpsFindOptions options;
  } const rows[] = {
      {"no time", {0, GPS_BAUD_AUTO, 0, nullptr, nullptr}},
      {"more than ten minutes", {600001, GPS_BAUD_AUTO, 0, nullptr, nullptr}},
      {"a speed not listed", {1000, 14400, 0, nullptr, nullptr}},
  };
  for (const Row& r : rows)
    EXPECT_EQ(GPS_FIND_BAD_OPTIONS, OrvoGPSFindReceiver(&r.options, &result)) << r.legend;
  EXPECT_EQ(GPS_FIND_BAD_OPTIONS, OrvoGPSFindReceiver(nullptr, &result));
  EXPECT_EQ(GPS_FIND_BAD_OPTIONS, OrvoGPSFindReceiver(&options, nullptr));
}

struct Timed {
  int calls;
  ULONGLONG start;
  ULONGLONG first;
  ULONGLONG longestGap;
  ULONGLONG last;
};

int32_t TimeProgress(void* user, const GpsFindStatus*) {
  Timed* t = static_cast<Timed*>(user);
  const ULONGLONG now = GetTickCount64() - t->start;
  if (t->calls++ == 0) t->first = now;
  else if (now - t->last > t->longestGap) t->longestGap = now - t->last;
  t->last = now;
  return 0;
}

// A Bluetooth port's CreateFileA blocks for seconds while the stack pages
// the device: the search opens every port on a thread of its own, so its
// clock, its progress and its time limit hold, the receiver on another port
// is found as fast as ever, and the late open closes its own port.
TEST(find_receiver_test, a_port_whose_open_blocks_holds_up_neither_progress_nor_the_time_limit) {
  const DWORD handles = HandlesAfterAFirstSearch();
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, 2, 9600));
  InstallFakeOs();
  constexpr DWORD kBlockMs = 8000;
  DelayOpenOf("\\\\.\\COM1", kBlockMs);
  Timed timed = {0, GetTickCount64(), 0, 0, 0};
  GpsFindOptions options = {5000, GPS_BAUD_AUTO, kNearEnds, TimeProgress, &timed};
  GpsFindResult result = {};
  EXPECT_EQ(GPS_FIND_FOUND, OrvoGPSFindReceiver(&options, &result));
  const ULONGLONG found = GetTickCount64() - timed.start;
  EXPECT_EQ(NearIndex(2), result.portIndex);
  printf("found in %llu ms beside a blocked open; first progress at %llu ms, longest gap %llu ms\n",
         found, timed.first, timed.longestGap);
  EXPECT_LT(timed.first, 400u);
  EXPECT_LT(timed.longestGap, 400u);
  FarReceiverStop(&sim);

  // A port whose open blocks, alone: nothing to find, the time limit holds.
  // (COM1's open from the first search is still under way: busy, skipped.)
  DelayOpenOf("\\\\.\\COM3", kBlockMs);
  Timed alone = {0, GetTickCount64(), 0, 0, 0};
  GpsFindOptions onlyBlocked = {1000, GPS_BAUD_AUTO, 1u << NearIndex(3), TimeProgress, &alone};
  EXPECT_EQ(GPS_FIND_NOT_FOUND, OrvoGPSFindReceiver(&onlyBlocked, &result));
  const ULONGLONG returned = GetTickCount64() - alone.start;
  printf("a search of a blocked port alone returned after %llu ms (limit 1000), %d progress calls\n",
         returned, alone.calls);
  EXPECT_GE(returned, 1000u);
  EXPECT_LT(returned, 1600u) << "the time limit, and 200 ms on an idle machine";
  EXPECT_GE(alone.calls, 8);
  static DWORD expected;
  expected = handles;
  EXPECT_TRUE(WaitUntil([] { return AllNearEndsClosed() && CountOpenHandles() == expected; },
                        kBlockMs + 5000))
      << "the late open closed its port";
  RestoreRealOs();
}

}  // namespace

const Scenario kScenarios[] = {{"none", [] { return 0; }}};
const int kScenarioCount = 1;
