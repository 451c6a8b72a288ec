// Calls from the wrong place: a receiver's open while another user holds a
// slot, two opens of one slot at once, and a close or an open from inside
// a receiver callback.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "comport/comport.h"
#include "far_end.h"
#include "far_receiver.h"
#include "nmea/receiver.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 2;
constexpr int32_t kAbsentPort = 15;  // COM16: no such device in the harness

// A port search or a program holds a slot of its own; a receiver's open on
// another port, even one that fails, leaves it open with its threads.
TEST(wrong_place_test, a_receiver_open_leaves_a_slot_held_elsewhere_open) {
  OrvoCOMInitPorts();
  ComPort* held = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, held);
  GpsContext* context = nullptr;
  EXPECT_EQ(1, OrvoGPSOpen(kAbsentPort, RecordNumber, &context));
  EXPECT_EQ(1, held->isOpen.load());
  ComPort* again = nullptr;
  uint32_t error = 0;
  EXPECT_EQ(4, OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, 0, 0, 1, nullptr, &again, RecordRx, &error));
  EXPECT_EQ(0, OrvoCOMClosePort(held));
}

// Two threads open one slot at once, the first held inside a slow
// CreateFileA: the second is refused with 4 at once and the first's device
// is its own.
TEST(wrong_place_test, of_two_opens_of_one_slot_exactly_one_wins) {
  OrvoCOMInitPorts();
  InstallFakeOs();
  DelayOpens(500);
  std::atomic<int32_t> firstCode{-1};
  ComPort* first = nullptr;
  std::thread opener([&] {
    uint32_t error = 0;
    firstCode = OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, 0, 0, 1, nullptr, &first, RecordRx, &error);
  });
  ASSERT_TRUE(WaitOpenEntered(5000));
  ComPort* second = nullptr;
  uint32_t error = 0;
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(4, OrvoCOMOpenPort(NearIndex(kPair), 4800, 8, 0, 0, 1, nullptr, &second, RecordRx, &error));
  EXPECT_LT(GetTickCount64() - start, 250u) << "refused at once, not after an open of its own";
  opener.join();
  EXPECT_EQ(0, firstCode.load());
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(1, CountLoggedCalls(0, OsCall::CreateFile, nullptr));
  EXPECT_EQ(0, OrvoCOMClosePort(first));
  RestoreRealOs();
}

std::atomic<int32_t> gCloseInCallback{-1};
std::atomic<int32_t> gOpenInCallback{-1};
GpsContext* gOpened;

int32_t CloseAndOpenFromCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved) {
  (void)RecordNumber(context, type, record, reserved);
  if (gCloseInCallback.load() == -1) {
    gCloseInCallback = OrvoGPSClose(context);
    GpsContext* other = nullptr;
    const GpsOpenOptions options = {GPS_BAUD_AUTO, 0};
    gOpenInCallback = OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, &other);
  }
  return 0;
}

// A close or an open from a callback would wait for the very thread it runs
// on: both are refused at once, and the receiver goes on.
TEST(wrong_place_test, close_and_open_from_a_callback_are_refused_instead_of_hanging) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 4800));
  DeliveredReset();
  gCloseInCallback = -1;
  gOpenInCallback = -1;
  const GpsOpenOptions fixed = {4800, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &fixed, CloseAndOpenFromCallback, &gOpened));
  EXPECT_TRUE(WaitUntil([] { return gOpenInCallback.load() != -1; }, 10000));
  EXPECT_EQ(GPS_CLOSE_IN_CALLBACK, gCloseInCallback.load());
  EXPECT_EQ(GPS_OPEN_FAILED, gOpenInCallback.load());
  const uint32_t next = sim.nextNumber.load();
  EXPECT_TRUE(WaitDelivered(next, 5000)) << "the receiver goes on";
  EXPECT_EQ(GPS_CLOSE_OK, OrvoGPSClose(gOpened));
  FarReceiverStop(&sim);
}

}  // namespace
