// A receiver opened with reconnection whose cable is pulled and put back,
// several times: run by cable_test.sh, which does the pulling when asked.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "cable_request.h"
#include "comport/comport.h"
#include "debug_capture.h"
#include "far_end.h"
#include "far_receiver.h"
#include "handle_count.h"
#include "nmea/receiver.h"

namespace {

constexpr int kPair = 3;

bool Driven() { return getenv("ORVO_CABLE_PAIR") && getenv("ORVO_VNM_STATE"); }



DWORD CountThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  DWORD count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  CloseHandle(snapshot);
  return count;
}

// Nothing delivered twice or out of order, and every number from first on
// delivered.
std::string CheckDelivered(uint32_t first) {
  std::string trouble;
  bool seenFirst = false;
  for (size_t i = 0; i < DeliveredCount(); ++i) {
    const uint32_t n = DeliveredAt(i);
    if (i > 0 && n <= DeliveredAt(i - 1)) trouble += "twice or back: " + std::to_string(n) + "; ";
    if (n == first) seenFirst = true;
    if (i > 0 && n > first && DeliveredAt(i - 1) >= first && n != DeliveredAt(i - 1) + 1)
      trouble += "lost before " + std::to_string(n) + "; ";
  }
  if (!seenFirst) trouble += "the first after the replug, " + std::to_string(first) + ", missing";
  return trouble;
}

TEST(reconnect_test, deliveries_resume_after_every_replug_and_the_wait_costs_no_cpu) {
  if (!Driven()) GTEST_SKIP() << "run through cable_test.sh";
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 19200));
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions options = {GPS_BAUD_AUTO, 1};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, &context));
  ASSERT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, kAnyLink, 0, 60000));
  for (uint32_t round = 1; round <= 3; ++round) {
    GpsStats before = {};
    ASSERT_EQ(0, OrvoGPSGetStats(context, &before, nullptr));
    ASSERT_TRUE(CableRequest("unplug")) << round;
    ASSERT_TRUE(WaitLink(context, GPS_LINK_DEVICE_LOST, kAnyLink, round - 1, 10000)) << round;
    GpsLink lost = {};
    ASSERT_EQ(0, OrvoGPSGetLink(context, &lost));
    EXPECT_EQ(19200u, lost.baudRate) << "the speed it will reopen at";
    EXPECT_EQ(NearIndex(kPair), lost.portIndex);

    const ULONGLONG cpu0 = ProcessCpu100ns();
    const ULONGLONG wall0 = GetTickCount64();
    Sleep(3000);  // the measurement window, not a synchronisation
    const double share = 100.0 * static_cast<double>(ProcessCpu100ns() - cpu0) /
                         (static_cast<double>(GetTickCount64() - wall0) * 10000.0);
    printf("round %u: device lost, the whole process used %.3f%% of a core over 3 s\n", round,
           share);
    EXPECT_LT(share, 2.0) << "waiting must not spin";

    ASSERT_TRUE(CableRequest("replug")) << round;
    ASSERT_TRUE(FarReceiverReopen(&sim)) << round;
    const uint32_t firstAfter = sim.nextNumber.load();
    const ULONGLONG replugged = GetTickCount64();
    EXPECT_TRUE(WaitDelivered(firstAfter, 10000)) << round;
    printf("round %u: replug to the first sentence after it: %llu ms\n", round,
           GetTickCount64() - replugged);
    EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, kAnyLink, round, 10000)) << round;
    EXPECT_TRUE(WaitDelivered(firstAfter + 12, 10000)) << round;
    EXPECT_EQ("", CheckDelivered(firstAfter)) << round;
    GpsStats after = {};
    ASSERT_EQ(0, OrvoGPSGetStats(context, &after, nullptr));
    EXPECT_GT(after.sentences, before.sentences) << "the same context, counting on";
  }
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

// Closes within the close's bound and leaves the counts as they were.
void ExpectClosedClean(GpsContext* context, DWORD threads, DWORD handles, const char* phase) {
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, OrvoGPSClose(context)) << phase;
  const ULONGLONG took = GetTickCount64() - start;
  printf("close while %s: %llu ms\n", phase, took);
  EXPECT_LT(took, 2000u) << phase;
  GpsLink link = {};
  EXPECT_EQ(0, OrvoGPSGetLink(context, &link));
  EXPECT_EQ(GPS_LINK_CLOSED, link.state) << phase;
  EXPECT_EQ(threads, CountThreads()) << phase;
  EXPECT_EQ(handles, CountOpenHandles()) << phase;
}

// Opens with reconnection, waits until sentences verify, pulls the cable and
// waits until the receiver knows, and a failed reopen or two.
void OpenAndLoseTheDevice(GpsContext** context, FarReceiver* sim) {
  const GpsOpenOptions options = {GPS_BAUD_AUTO, 1};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, context));
  ASSERT_TRUE(WaitLink(*context, GPS_LINK_RECEIVING, kAnyLink, 0, 60000));
  ASSERT_TRUE(CableRequest("unplug"));
  ASSERT_TRUE(WaitLink(*context, GPS_LINK_DEVICE_LOST, kAnyLink, 0, 10000));
  Sleep(1500);  // through a failed reopen or two; not a synchronisation
  (void)sim;
}

void PutTheCableBack(FarReceiver* sim) {
  ASSERT_TRUE(CableRequest("replug"));
  ASSERT_TRUE(FarReceiverReopen(sim));
}

TEST(reconnect_test, close_while_searching_receiving_or_waiting_for_the_device_leaves_nothing) {
  if (!Driven()) GTEST_SKIP() << "run through cable_test.sh";
  const GpsOpenOptions options = {GPS_BAUD_AUTO, 1};
  GpsContext* context = nullptr;
  // The receiver's thread and cable count from the start.
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 57600));
  // A first cycle, a device lost included, lets the OS set up what it keeps
  // for the process (under Wine a thread and three handles of its own the
  // first time a device dies; later cycles add nothing).
  OpenAndLoseTheDevice(&context, &sim);
  EXPECT_EQ(0, OrvoGPSClose(context));
  PutTheCableBack(&sim);
  const DWORD threads = CountThreads();
  const DWORD handles = CountOpenHandles();

  // The search finds nothing: the receiver falls silent, and what it wrote
  // into the cable while the port was closed, which waits at the near end,
  // is thrown away.
  ASSERT_TRUE(FarReceiverQuiet(&sim, 5000));
  ASSERT_TRUE(NearPurge(kPair));
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, &context));
  Sleep(300);  // into the search; not a synchronisation
  GpsLink link = {};
  ASSERT_EQ(0, OrvoGPSGetLink(context, &link));
  EXPECT_EQ(GPS_LINK_SEARCHING, link.state);
  ExpectClosedClean(context, threads, handles, "searching");

  sim.quiet = false;
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, &context));
  ASSERT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, kAnyLink, 0, 60000));
  ExpectClosedClean(context, threads, handles, "receiving");

  for (int round = 1; round <= 2; ++round) {
    OpenAndLoseTheDevice(&context, &sim);
    ExpectClosedClean(context, threads, handles, "waiting for the device");
    PutTheCableBack(&sim);
  }
  FarReceiverStop(&sim);
}

}  // namespace

const Scenario kScenarios[] = {{"none", [] { return 0; }}};
const int kScenarioCount = 1;
