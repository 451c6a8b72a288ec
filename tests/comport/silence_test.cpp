// A receiver that stops talking while its port stays (a Bluetooth receiver
// switched off: its reads simply stay pending), and one whose device goes
// away without reconnection: what the link shows, and the reopens.
#include <gtest/gtest.h>

#include "comport/comport.h"
#include "debug_capture.h"
#include "far_end.h"
#include "far_receiver.h"
#include "nmea/receiver.h"
#include "os_fakes.h"

namespace {

constexpr int kPair = 2;

GpsLink Link(const GpsContext* context) {
  GpsLink link = {-1, -2, 1, 1};
  EXPECT_EQ(0, OrvoGPSGetLink(context, &link));
  return link;
}

// Milliseconds until the link shows state, or 0 after deadlineMs.
ULONGLONG MsUntil(const GpsContext* context, int32_t state, uint32_t reconnects, DWORD deadlineMs) {
  const ULONGLONG start = GetTickCount64();
  if (!WaitLink(context, state, kAnyLink, reconnects, deadlineMs)) return 0;
  return GetTickCount64() - start;
}

// Opens the receiver at 9600 through the fake OS, with or without
// reconnection; null unless it shows sentences.
GpsContext* OpenReceivingAt9600(FarReceiver* sim, int32_t reconnect) {
  GpsContext* context = nullptr;
  if (!FarReceiverStart(sim, kPair, 9600)) return nullptr;
  InstallFakeOs();
  const GpsOpenOptions options = {9600, reconnect};
  if (OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, &context) != GPS_OPEN_OK)
    return nullptr;
  return WaitLink(context, GPS_LINK_RECEIVING, 9600, 0, 10000) ? context : nullptr;
}

// The device goes away, as after an unplug: reads and ClearCommError refused.
void LoseTheDevice() {
  FailCallsFrom(OsCall::ReadFile, Role::Reader, RoleCallCount(OsCall::ReadFile, Role::Reader) + 1,
                ERROR_ACCESS_DENIED);
  FailCallsFrom(OsCall::ClearCommError, Role::Reader, 1, ERROR_ACCESS_DENIED);
}

TEST(silence_test, a_receiver_that_stops_talking_shows_no_sentences_and_back) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 38400));
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions find = {GPS_BAUD_AUTO, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &find, RecordNumber, &context));
  ASSERT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 38400, 0, 60000));
  ASSERT_TRUE(FarReceiverQuiet(&sim, 5000));
  const ULONGLONG silentAfter = MsUntil(context, GPS_LINK_NO_SENTENCES, 0, 10000);
  printf("no sentences shown %llu ms after the last burst\n", silentAfter);
  EXPECT_GE(silentAfter, 2000u) << "3 s after the last sentence, less the quiet cycle waited";
  EXPECT_EQ(38400u, Link(context).baudRate) << "silence is no reason to leave the speed";
  sim.quiet = false;
  const ULONGLONG backAfter = MsUntil(context, GPS_LINK_RECEIVING, 0, 5000);
  printf("receiving again %llu ms after the receiver talks\n", backAfter);
  EXPECT_GT(backAfter, 0u);
  EXPECT_EQ(38400u, Link(context).baudRate);
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

// With reconnection the silent port is closed and opened again 5 s after the
// last sentence, then every 5 s, at the speed taken; the receiver is heard
// again within a cycle or two of talking.
TEST(silence_test, a_silent_port_with_reconnect_is_reopened_every_five_seconds) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 57600));
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions find = {GPS_BAUD_AUTO, 1};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &find, RecordNumber, &context));
  ASSERT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 57600, 0, 60000));
  ASSERT_TRUE(FarReceiverQuiet(&sim, 5000));
  const ULONGLONG first = MsUntil(context, GPS_LINK_NO_SENTENCES, 1, 15000);
  const ULONGLONG second = MsUntil(context, GPS_LINK_NO_SENTENCES, 2, 15000);
  printf("reopened %llu ms after the quiet cycle, again %llu ms later\n", first, second);
  EXPECT_GT(first, 0u);
  EXPECT_GE(second, 4000u);
  EXPECT_LE(second, 8000u);
  EXPECT_EQ(57600u, Link(context).baudRate);
  const uint32_t next = sim.nextNumber.load();
  sim.quiet = false;
  const ULONGLONG backAfter = MsUntil(context, GPS_LINK_RECEIVING, kAnyLink, 5000);
  printf("receiving again %llu ms after the receiver talks\n", backAfter);
  EXPECT_GT(backAfter, 0u);
  EXPECT_TRUE(WaitDelivered(next + 12, 5000));
  EXPECT_EQ(57600u, Link(context).baudRate);
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

// The device goes away (reads and ClearCommError refused, as after an
// unplug) on a link without reconnection: shown as lost, the port kept;
// when the device answers again, sentences are shown again.
TEST(silence_test, a_device_lost_without_reconnect_is_shown_and_comes_back) {
  FarReceiver sim;
  GpsContext* context = OpenReceivingAt9600(&sim, 0);
  ASSERT_NE(nullptr, context);
  LoseTheDevice();
  EXPECT_TRUE(WaitLink(context, GPS_LINK_DEVICE_LOST, 9600, 0, 10000));
  RestoreRealOs();  // the device answers again
  EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 9600, 0, 10000));
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

// The device went away and the link's reopen blocks in CreateFileA (a
// Bluetooth port paging its device): the close returns at once, and the open
// that finishes after it closes its own port.
TEST(silence_test, a_close_while_a_reopen_blocks_returns_at_once) {
  FarReceiver sim;
  GpsContext* context = OpenReceivingAt9600(&sim, 1);
  ASSERT_NE(nullptr, context);
  constexpr DWORD kBlockMs = 8000;
  DelayOpens(kBlockMs);
  LoseTheDevice();
  ASSERT_TRUE(WaitOpenEntered(10000)) << "the reopen began";
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(0, OrvoGPSClose(context));
  const ULONGLONG took = GetTickCount64() - start;
  printf("closed in %llu ms while the reopen blocks for %lu ms\n", took, kBlockMs);
  EXPECT_LT(took, 500u) << "100 ms on an idle machine";
  EXPECT_EQ(GPS_LINK_CLOSED, Link(context).state);
  static const ComPort* slot;
  slot = OrvoCOMGetPort(NearIndex(kPair));
  EXPECT_TRUE(WaitUntil([] { return slot->claimed.load() == 0; }, kBlockMs + 5000))
      << "the late open closed its port";
  RestoreRealOs();
  FarReceiverStop(&sim);
}

// While the device is gone the link tries it every second on one opener
// thread, the same for every try and for the open before: nothing is started
// per try, so waiting for a device costs no CPU.
TEST(silence_test, a_gone_device_is_tried_again_on_one_thread) {
  FarReceiver sim;
  GpsContext* context = OpenReceivingAt9600(&sim, 1);
  ASSERT_NE(nullptr, context);
  char path[16] = {};
  snprintf(path, sizeof path, "\\\\.\\COM%d", NearIndex(kPair) + 1);
  FailOpenOf(path, ERROR_FILE_NOT_FOUND);
  LoseTheDevice();
  ASSERT_TRUE(WaitLink(context, GPS_LINK_DEVICE_LOST, 9600, 0, 10000));
  EXPECT_TRUE(WaitUntil([] { return CountLoggedCalls(0, OsCall::CreateFile, nullptr) >= 4; },
                        10000))
      << "the first open and three tries";
  int opens = 0;
  DWORD opener = 0;
  for (int i = 0; i < LoggedCallCount(); ++i) {
    const LoggedCall& call = LoggedCallAt(i);
    if (call.call != OsCall::CreateFile) continue;
    if (opens++ == 0) opener = call.threadId;
    EXPECT_EQ(opener, call.threadId) << "open " << opens << " on a thread of its own";
  }
  RestoreRealOs();  // the device is back
  EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 9600, 1, 10000));
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

}  // namespace

// This program captures no debug output.
const Scenario kScenarios[] = {{"none", [] { return 0; }}};
const int kScenarioCount = 1;
