// OrvoGPSOpenWith on a virtual cable whose far end plays a receiver at a
// chosen speed (the harness's shim garbles what a near end at another speed
// reads): the speed found, an explicit speed right and wrong, a receiver
// that changes speed, and the options refused.
#include <gtest/gtest.h>

#include <string>

#include "comport/comport.h"
#include "debug_capture.h"
#include "far_end.h"
#include "far_receiver.h"
#include "nmea/receiver.h"
#include "nmea/receiver_internal.h"
#include "nmea/sentence_spotter.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 2;

GpsLink Link(const GpsContext* context) {
  GpsLink link = {-1, -2, 1, 1};
  EXPECT_EQ(0, OrvoGPSGetLink(context, &link));
  return link;
}


// Every number delivered follows the one before it: none lost, none twice,
// none out of order, from the first delivered on.
std::string Gaps() {
  std::string gaps;
  for (size_t i = 1; i < DeliveredCount(); ++i) {
    if (DeliveredAt(i) != DeliveredAt(i - 1) + 1) {
      gaps += std::to_string(DeliveredAt(i - 1)) + " then " + std::to_string(DeliveredAt(i)) + "; ";
    }
  }
  return gaps;
}

TEST(receiver_speed_test, each_speed_is_found_and_every_sentence_after_it_delivered_in_order) {
  for (uint32_t baud : GPS_BAUD_RATES) {
    FarReceiver sim;
    ASSERT_TRUE(FarReceiverStart(&sim, kPair, baud)) << baud;
    DeliveredReset();
    GpsContext* context = nullptr;
    const GpsOpenOptions find = {GPS_BAUD_AUTO, 0};
    ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &find, RecordNumber, &context));
    const ULONGLONG opened = GetTickCount64();
    EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, baud, kAnyLink, 60000)) << baud;
    const ULONGLONG found = GetTickCount64() - opened;
    // A few cycles more, then the last number written must arrive.
    Sleep(1000);  // the receiver talks meanwhile; not a synchronisation
    ASSERT_TRUE(FarReceiverQuiet(&sim, 5000)) << baud;  // no burst on its way any more
    const uint32_t last = sim.nextNumber.load() - 1;
    EXPECT_TRUE(WaitDelivered(last, 10000)) << baud;
    EXPECT_EQ(0, OrvoGPSClose(context));
    FarReceiverStop(&sim);
    printf("%u baud found after %llu ms, %zu sentences delivered\n", baud, found,
           DeliveredCount());
    ASSERT_GT(DeliveredCount(), 6u) << baud;
    EXPECT_EQ(last, DeliveredAt(DeliveredCount() - 1)) << baud;
    EXPECT_EQ("", Gaps()) << baud;
    EXPECT_EQ(GPS_LINK_CLOSED, Link(context).state);
  }
}

TEST(receiver_speed_test, an_explicit_wrong_speed_delivers_nothing_and_says_so) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 38400));
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions wrong = {9600, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &wrong, RecordNumber, &context));
  Sleep(2000);  // eight cycles of the receiver talking at 38400
  const GpsLink link = Link(context);
  EXPECT_EQ(GPS_LINK_NO_SENTENCES, link.state);
  EXPECT_EQ(9600u, link.baudRate);
  EXPECT_EQ(NearIndex(kPair), link.portIndex);
  GpsStats stats = {};
  ASSERT_EQ(0, OrvoGPSGetStats(context, &stats, nullptr));
  EXPECT_GT(stats.bytes, 0u) << "garbage arrives";
  EXPECT_EQ(0u, stats.sentences + stats.ignored);
  EXPECT_EQ(0u, DeliveredCount());
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

TEST(receiver_speed_test, an_explicit_right_speed_delivers_at_once) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 115200));
  // Silent, and nothing of its own or of the tests before waiting in the
  // cable: the first sentence delivered is the first written after the open.
  ASSERT_TRUE(FarReceiverQuiet(&sim, 5000));
  ASSERT_TRUE(NearPurge(kPair));
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions right = {115200, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &right, RecordNumber, &context));
  EXPECT_EQ(GPS_LINK_NO_SENTENCES, Link(context).state) << "nothing has verified yet";
  const uint32_t first = sim.nextNumber.load();
  sim.quiet = false;
  EXPECT_TRUE(WaitDelivered(first, 2000)) << "the first sentence written";
  ASSERT_GT(DeliveredCount(), 0u);
  EXPECT_EQ(first, DeliveredAt(0));
  EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 115200, kAnyLink, 2000));
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

TEST(receiver_speed_test, a_receiver_that_changes_speed_is_found_again) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 9600));
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions find = {GPS_BAUD_AUTO, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &find, RecordNumber, &context));
  ASSERT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 9600, kAnyLink, 60000));
  ASSERT_TRUE(FarReceiverSetBaud(&sim, 57600));
  const uint32_t changedAt = sim.nextNumber.load();
  EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, 57600, kAnyLink, 60000));
  const uint32_t foundAt = sim.nextNumber.load();
  EXPECT_TRUE(WaitDelivered(foundAt + 12, 10000)) << "delivering again at 57600";
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
  size_t after = 0;
  for (size_t i = 0; i < DeliveredCount(); ++i) after += DeliveredAt(i) >= changedAt;
  EXPECT_GE(after, 12u);
}

TEST(receiver_speed_test, options_that_make_no_sense_are_refused_and_open_nothing) {
  struct Row {
    const char* scenario;
    const char* message;
  } const kRows[] = {
      {"open_with_baud_4801", "OrvoGPSOpenWith: baud rate 4801 is not supported\n"},
      {"open_with_baud_2400", "OrvoGPSOpenWith: baud rate 2400 is not supported\n"},
      {"open_with_reconnect_2", "OrvoGPSOpenWith: reconnect must be 0 or 1, not 2\n"},
  };
  for (const Row& r : kRows) {
    Capture capture = CaptureScenario(r.scenario);
    ASSERT_TRUE(capture.finished) << r.scenario;
    EXPECT_EQ(static_cast<DWORD>(GPS_OPEN_BAD_OPTIONS), capture.exitCode) << r.scenario;
    ASSERT_EQ(1u, capture.messages.size()) << r.scenario;
    EXPECT_EQ(r.message, capture.messages[0]) << r.scenario;
  }
  GpsContext* const kUntouched = reinterpret_cast<GpsContext*>(0x1234);
  GpsContext* context = kUntouched;
  const GpsOpenOptions bad = {14400, 0};
  EXPECT_EQ(GPS_OPEN_BAD_OPTIONS, OrvoGPSOpenWith(NearIndex(kPair), &bad, RecordNumber, &context));
  EXPECT_EQ(kUntouched, context);
  EXPECT_EQ(0, OrvoCOMGetPort(NearIndex(kPair))->isOpen.load());
}

TEST(receiver_speed_test, null_options_open_as_OrvoGPSOpen_does) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 4800));
  DeliveredReset();
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpenWith(NearIndex(kPair), nullptr, RecordNumber, &context));
  const ComPort* port = OrvoCOMGetPort(NearIndex(kPair));
  EXPECT_EQ(4800u, port->dcb.BaudRate);
  EXPECT_TRUE(WaitDelivered(sim.nextNumber.load() + 1, 5000));
  GpsLink link = Link(context);
  EXPECT_EQ(GPS_LINK_RECEIVING, link.state);
  EXPECT_EQ(4800u, link.baudRate);
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
  EXPECT_EQ(GPS_LINK_CLOSED, Link(context).state);
}

TEST(receiver_speed_test, an_open_without_options_ends_the_link_of_one_with_options_first) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 4800));
  // A silent port, nothing waiting in the cable: the link keeps searching.
  ASSERT_TRUE(FarReceiverQuiet(&sim, 5000));
  ASSERT_TRUE(NearPurge(kPair));
  GpsContext* context = nullptr;
  const GpsOpenOptions find = {GPS_BAUD_AUTO, 1};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &find, RecordNumber, &context));
  EXPECT_EQ(GPS_LINK_SEARCHING, Link(context).state);
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), RecordNumber, &context));
  Sleep(2000);  // a search still running would have moved on by now
  const GpsLink link = Link(context);
  EXPECT_EQ(GPS_LINK_NO_SENTENCES, link.state);
  EXPECT_EQ(4800u, link.baudRate);
  EXPECT_EQ(4800u, OrvoCOMGetPort(NearIndex(kPair))->dcb.BaudRate);
  EXPECT_EQ(0, OrvoGPSClose(context));
  FarReceiverStop(&sim);
}

// What the near end makes of bytes written at the far end: recorded until
// nothing more has come for 300 ms.
std::string ReadBack(HANDLE cable, const std::string& written) {
  RecorderReset();
  if (!FarWrite(cable, written.data(), static_cast<DWORD>(written.size()))) return "write failed";
  uint32_t seen = 0;
  ULONGLONG quietSince = GetTickCount64();
  const ULONGLONG deadline = quietSince + 10000;
  while (GetTickCount64() < deadline && (seen == 0 || GetTickCount64() - quietSince < 300)) {
    if (RecordedSize() != seen) {
      seen = RecordedSize();
      quietSince = GetTickCount64();
    }
    Sleep(5);  // polling the recorder, with the deadline above
  }
  return std::string(reinterpret_cast<const char*>(RecordedBytes()), RecordedSize());
}

TEST(receiver_speed_test, the_harness_garbles_a_wrong_speed_alike_every_time_and_passes_a_right_one) {
  const std::string sentences = NumberedGga(1) + NumberedGga(2) + NumberedGga(3);
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  ASSERT_TRUE(GetCommState(cable, &dcb));
  dcb.BaudRate = 38400;
  ASSERT_TRUE(SetCommState(cable, &dcb));
  ComPort* port = nullptr;
  uint32_t error = 0;
  ASSERT_EQ(0, OrvoCOMOpenPort(NearIndex(kPair), 9600, 8, NOPARITY, ONESTOPBIT, 1, nullptr, &port,
                               RecordRx, &error));
  const std::string first = ReadBack(cable, sentences);
  const std::string second = ReadBack(cable, sentences);
  EXPECT_FALSE(first.empty()) << "a UART at the wrong speed still delivers bytes";
  EXPECT_LT(first.size(), sentences.size()) << "a slower UART: fewer bytes";
  EXPECT_EQ(first, second) << "the same bytes garble alike";
  SentenceSpotter spotter;
  SpotterReset(&spotter);
  EXPECT_EQ(0u, SpotterFeed(&spotter, reinterpret_cast<const unsigned char*>(first.data()),
                            static_cast<int32_t>(first.size())));
  dcb.BaudRate = 9600;
  ASSERT_TRUE(SetCommState(cable, &dcb));
  EXPECT_EQ(sentences, ReadBack(cable, sentences)) << "equal speeds pass the bytes unchanged";
  EXPECT_EQ(0, OrvoCOMClosePort(port));
  CloseHandle(cable);
}

int OpenWith(uint32_t baud, int32_t reconnect) {
  GpsContext* context = nullptr;
  const GpsOpenOptions options = {baud, reconnect};
  return OrvoGPSOpenWith(NearIndex(kPair), &options, RecordNumber, &context);
}

// The driver refuses 9600 (a UART that cannot make it).  The search leaves
// the silent 4800 for 9600 just as the receiver starts talking at 4800: the
// port never left 4800, so a 9600 taken then would be a speed the port is
// not at, remembered for every open after.  Passed over at once instead, it
// is never shown, taken or remembered, and 4800 is found on the next round.
TEST(receiver_speed_test, a_speed_the_driver_refuses_is_passed_over_and_never_taken) {
  FarReceiver sim;
  ASSERT_TRUE(FarReceiverStart(&sim, kPair, 4800));
  ASSERT_TRUE(FarReceiverQuiet(&sim, 5000));
  ASSERT_TRUE(NearPurge(kPair));
  InstallFakeOs();
  RefuseSpeeds([](DWORD baud) { return baud == 9600; });
  RememberFoundBaud(NearIndex(kPair), 4800);  // the search goes 4800, 9600, 38400 ...
  DeliveredReset();
  GpsContext* context = nullptr;
  const GpsOpenOptions find = {GPS_BAUD_AUTO, 0};
  ASSERT_EQ(GPS_OPEN_OK, OrvoGPSOpenWith(NearIndex(kPair), &find, RecordNumber, &context));
  static const GpsContext* watched;
  watched = context;
  ASSERT_TRUE(WaitUntil([] { return Link(watched).baudRate != 4800; }, 10000));
  EXPECT_NE(9600u, Link(context).baudRate);
  sim.quiet = false;
  EXPECT_TRUE(WaitLink(context, GPS_LINK_RECEIVING, kAnyLink, kAnyLink, 60000));
  EXPECT_EQ(4800u, Link(context).baudRate);
  EXPECT_EQ(4800u, LastFoundBaud(NearIndex(kPair)));
  EXPECT_EQ(0, OrvoGPSClose(context));
  RestoreRealOs();
  FarReceiverStop(&sim);
}

}  // namespace

const Scenario kScenarios[] = {
    {"open_with_baud_4801", [] { return OpenWith(4801, 0); }},
    {"open_with_baud_2400", [] { return OpenWith(2400, 1); }},
    {"open_with_reconnect_2", [] { return OpenWith(9600, 2); }},
};
const int kScenarioCount = sizeof kScenarios / sizeof kScenarios[0];
