// The receiver's open and close on a virtual cable: results, debug messages,
// and a whole capture through the port giving what the framer gives.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "../nmea/corpus_files.h"
#include "comport/comport.h"
#include "debug_capture.h"
#include "far_end.h"
#include "message_window.h"
#include "nmea/receiver.h"
#include "os_fakes.h"
#include "rx_recorder.h"

namespace {

constexpr int kPair = 2;

struct Decoded {
  SentenceType type;
  std::vector<unsigned char> record;
};

const size_t kRecordSizes[SENTENCE_TYPE_COUNT] = {
    sizeof(GgaRecord), sizeof(GsaRecord), sizeof(GsvRecord),
    sizeof(RmcRecord), sizeof(GllRecord), sizeof(VtgRecord),
};

std::vector<Decoded> gDecoded;
std::atomic<size_t> gDecodedCount;

int32_t Keep(GpsContext*, SentenceType type, void* record, int32_t) {
  const unsigned char* bytes = static_cast<const unsigned char*>(record);
  gDecoded.push_back({type, std::vector<unsigned char>(bytes, bytes + kRecordSizes[type])});
  gDecodedCount.store(gDecoded.size(), std::memory_order_release);
  return 0;
}

std::string WholeCorpus() {
  std::string all;
  for (const CorpusFile& file : ReadCorpus()) all += file.bytes;
  return all;
}

TEST(receiver_open_test, bad_index_or_missing_port_gives_1_and_leaves_the_context_variable) {
  GpsContext* const kUntouched = reinterpret_cast<GpsContext*>(0x1234);
  for (int32_t index : {16, -1, 4}) {  // 4 is COM5, which maps to nothing
    GpsContext* context = kUntouched;
    EXPECT_EQ(1, OrvoGPSOpen(index, Keep, &context)) << index;
    EXPECT_EQ(kUntouched, context) << index;
  }
}

TEST(receiver_open_test, null_context_variable_gives_1_and_opens_nothing) {
  EXPECT_EQ(1, OrvoGPSOpen(kPair - 1, Keep, nullptr));
  EXPECT_EQ(0, OrvoCOMGetPort(kPair - 1)->isOpen);
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(kPair - 1, Keep, &context));
  EXPECT_EQ(0, OrvoGPSClose(context));
}

TEST(receiver_open_test, failed_open_names_the_code_and_error_in_the_debug_output) {
  struct {
    const char* scenario;
    const char* message;
  } const kCases[] = {
      {"open_index_16", "OrvoCOMOpenPort rc=0x1 err=0x0\n"},
      {"open_index_minus_1", "OrvoCOMOpenPort rc=0x1 err=0x0\n"},
      {"open_missing_port", "OrvoCOMOpenPort rc=0x2 err=0x2\n"},
      {"open_inside_close", "OrvoCOMOpenPort rc=0x4 err=0x0\n"},
  };
  for (const auto& c : kCases) {
    Capture capture = CaptureScenario(c.scenario);
    ASSERT_TRUE(capture.finished) << c.scenario;
    EXPECT_EQ(1u, capture.exitCode) << c.scenario;
    ASSERT_EQ(1u, capture.messages.size()) << c.scenario;
    EXPECT_EQ(c.message, capture.messages[0]) << c.scenario;
  }
}

TEST(receiver_open_test, capture_through_the_port_gives_the_framers_callbacks_in_order) {
  std::string capture = WholeCorpus();
  ASSERT_FALSE(capture.empty()) << "no captures in " ORVO_CORPUS_DIR;

  gDecoded.clear();
  GpsContext* direct = GpsContextInit(Keep);
  for (unsigned char byte : capture) GpsFeedByte(direct, byte);
  std::vector<Decoded> expected;
  expected.swap(gDecoded);
  ASSERT_GT(expected.size(), 1000u);

  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  gDecodedCount = 0;
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  EXPECT_EQ(direct, context);
  ASSERT_TRUE(FarWrite(cable, capture.data(), static_cast<DWORD>(capture.size())));
  static size_t want;
  want = expected.size();
  EXPECT_TRUE(WaitUntil([] { return gDecodedCount.load(std::memory_order_acquire) >= want; },
                        30000));
  EXPECT_EQ(0, OrvoGPSClose(context));
  CloseHandle(cable);

  ASSERT_EQ(expected.size(), gDecoded.size()) << "sentences lost or added";
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(expected[i].type, gDecoded[i].type) << "callback " << i;
    ASSERT_TRUE(expected[i].record == gDecoded[i].record) << "record of callback " << i;
  }
}

TEST(receiver_close_test, close_results_and_activity) {
  EXPECT_EQ(3, OrvoGPSClose(nullptr));
  EXPECT_EQ(0, OrvoGPSIsActive(nullptr));
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  EXPECT_EQ(1, OrvoGPSIsActive(context));
  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(0, OrvoCOMGetPort(NearIndex(kPair))->isOpen);
  EXPECT_EQ(nullptr, context->port) << "the close forgets the port it closed";
  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(1, OrvoGPSIsActive(context));
}

TEST(receiver_close_test, second_close_leaves_alone_whoever_opened_the_slot_since) {
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  EXPECT_EQ(0, OrvoGPSClose(context));
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  RecorderReset();
  ComPort* other = OpenNear(kPair, RecordRx);
  ASSERT_NE(nullptr, other);
  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(1, other->isOpen);
  ASSERT_TRUE(FarWrite(cable, "still read", 10));
  EXPECT_TRUE(WaitUntil([] { return RecordedSize() >= 10; }, 5000));
  EXPECT_EQ(0, OrvoCOMClosePort(other));
  CloseHandle(cable);
}

HWND gWindow;
std::atomic<int> gCallbacksEntered;
GpsContext* gNestedContext;
std::atomic<int32_t> gNestedResult;

// Like the demo's fix callback: a SendMessage to the thread that closes.
int32_t SendToWindow(GpsContext* context, SentenceType type, void* record, int32_t reserved) {
  Keep(context, type, record, reserved);
  ++gCallbacksEntered;
  SendMessageA(gWindow, WM_APP, 0, 0);
  return 0;
}

GpsContext* gClosingContext;
std::atomic<int32_t> gNestedStatsResult;

// Served inside the close's wait: asks for the closing receiver's counts and
// opens a receiver again.
void OpenReceiverAgain() {
  GpsStats link = {};
  gNestedStatsResult = OrvoGPSGetStats(gClosingContext, &link, nullptr);
  gNestedResult = OrvoGPSOpen(NearIndex(kPair), Keep, &gNestedContext);
}

GpsContext* const kNotStored = reinterpret_cast<GpsContext*>(0x1234);

// Opens a receiver on pair 2 whose callback is blocked in SendMessage to a
// window that opens a receiver again once it is served; null on failure.
GpsContext* OpenWithCallbackBlocked(HANDLE cable) {
  const char kFix[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  gDecoded.clear();
  gCallbacksEntered = 0;
  gNestedResult = -1;
  gNestedStatsResult = -1;
  gNestedContext = kNotStored;
  GpsContext* context = nullptr;
  if (OrvoGPSOpen(NearIndex(kPair), SendToWindow, &context) != 0) return nullptr;
  gClosingContext = context;
  if (!FarWrite(cable, kFix, sizeof kFix - 1) ||
      !WaitUntil([] { return gCallbacksEntered > 0; }, 5000)) {
    return nullptr;
  }
  return context;
}

TEST(receiver_close_test, open_from_inside_the_close_gives_1_and_changes_nothing) {
  gWindow = MakeMessageWindow(OpenReceiverAgain);
  ASSERT_NE(nullptr, gWindow) << "needs an X display: vnullmodem.sh up <dir> --display";
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  InstallFakeOs();
  GpsContext* context = OpenWithCallbackBlocked(cable);
  ASSERT_NE(nullptr, context);
  ComPort* port = context->port;
  const HANDLE device = port->hDevice;
  int from = LoggedCallCount();
  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(1, gNestedResult.load());
  EXPECT_EQ(kNotStored, gNestedContext);
  EXPECT_EQ(1, gNestedStatsResult.load()) << "a closing receiver is not open";
  EXPECT_EQ(12, context->gga.time.hours) << "the context was cleared under the reader";
  EXPECT_EQ(SendToWindow, context->callback);
  EXPECT_EQ(0, CountLoggedCalls(from, OsCall::CreateFile, nullptr)) << "a device was opened";
  EXPECT_EQ(1, CountLoggedCalls(from, OsCall::CloseHandle, device));
  EXPECT_EQ(0, port->isOpen);
  RestoreRealOs();
  DestroyMessageWindow(gWindow);

  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  EXPECT_EQ(0, OrvoGPSClose(context));
  CloseHandle(cable);
}

void ExpectSameLink(const GpsStats& want, const GpsStats& got) {
  EXPECT_EQ(want.sentences, got.sentences);
  EXPECT_EQ(want.ignored, got.ignored);
  EXPECT_EQ(want.checksumErrors, got.checksumErrors);
  EXPECT_EQ(want.tooShort, got.tooShort);
  EXPECT_EQ(want.tooLong, got.tooLong);
  EXPECT_EQ(want.cutShort, got.cutShort);
}

int32_t Ignore(GpsContext*, SentenceType, void*, int32_t) { return 0; }

TEST(receiver_stats_test, bytes_written_at_the_far_end_are_the_bytes_counted) {
  // Every capture, then a sentence cut short: its bytes count too.
  std::string stream = WholeCorpus() + "$GPGGA,123519,4807";
  ASSERT_GT(stream.size(), 100000u) << "no captures in " ORVO_CORPUS_DIR;
  GpsContext* direct = GpsContextInit(Ignore);
  GpsRxBytes(direct, reinterpret_cast<const unsigned char*>(stream.data()),
             static_cast<int32_t>(stream.size()));
  GpsStats expected = {};
  ASSERT_EQ(0, GpsGetStats(direct, &expected));
  ASSERT_GT(expected.sentences, 1000u);

  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  static GpsContext* context;
  context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Ignore, &context));
  GpsStats link = {};
  ComPortStats line = {};
  ASSERT_EQ(0, OrvoGPSGetStats(context, &link, &line));
  EXPECT_EQ(0u, link.bytes);
  EXPECT_EQ(0u, line.reads);
  ASSERT_TRUE(FarWrite(cable, stream.data(), static_cast<DWORD>(stream.size())));
  static uint32_t written;
  written = static_cast<uint32_t>(stream.size());
  EXPECT_TRUE(WaitUntil([] {
    GpsStats now = {};
    return OrvoGPSGetStats(context, &now, nullptr) == 0 && now.bytes >= written;
  }, 30000));
  ASSERT_EQ(0, OrvoGPSGetStats(context, &link, nullptr));
  ASSERT_EQ(0, OrvoGPSGetStats(context, nullptr, &line));
  EXPECT_EQ(0, OrvoGPSGetStats(context, nullptr, nullptr));
  EXPECT_EQ(written, link.bytes);
  ExpectSameLink(expected, link);
  EXPECT_GT(line.reads, 0u);
  EXPECT_EQ(0u, line.readErrors);
  EXPECT_EQ(0u, line.framingErrors + line.parityErrors + line.overrunErrors + line.bufferOverflows);

  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(1, OrvoGPSGetStats(context, &link, &line)) << "nothing is open";
  EXPECT_EQ(1, OrvoGPSGetStats(nullptr, &link, &line));
  CloseHandle(cable);
}

TEST(receiver_close_test, open_after_close_starts_with_cleared_records) {
  const char kFix[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  HANDLE cable = FarOpen(kPair);
  ASSERT_NE(INVALID_HANDLE_VALUE, cable);
  gDecoded.clear();
  gDecodedCount = 0;
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  ASSERT_TRUE(FarWrite(cable, kFix, sizeof kFix - 1));
  ASSERT_TRUE(WaitUntil([] { return gDecodedCount.load() >= 1; }, 5000));
  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(12, context->gga.time.hours);
  EXPECT_EQ(8, context->gga.satellitesUsed);

  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  EXPECT_EQ(0, context->gga.time.hours);
  EXPECT_EQ(0, context->gga.satellitesUsed);
  EXPECT_EQ(0, context->gga.latitude.degrees);
  EXPECT_EQ(0, context->gga.fixQuality);
  EXPECT_EQ(0, OrvoGPSClose(context));
  CloseHandle(cable);
}

TEST(receiver_close_test, open_while_open_ends_the_earlier_ports_threads_first) {
  GpsContext* context = nullptr;
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  HANDLE earlier[2];
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), context->port->hReaderThread,
                              GetCurrentProcess(), &earlier[0], SYNCHRONIZE, FALSE, 0));
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), context->port->hWriterThread,
                              GetCurrentProcess(), &earlier[1], SYNCHRONIZE, FALSE, 0));
  ASSERT_EQ(0, OrvoGPSOpen(NearIndex(kPair), Keep, &context));
  EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForMultipleObjects(2, earlier, TRUE, 0));
  EXPECT_EQ(1, context->port->isOpen);
  EXPECT_EQ(0, OrvoGPSClose(context));
  CloseHandle(earlier[0]);
  CloseHandle(earlier[1]);
}

int OpenIndex(int32_t index) {
  GpsContext* context = nullptr;
  return OrvoGPSOpen(index, Keep, &context);
}

// The open from inside a close, in a process of its own: exits with the
// nested open's result.
int OpenInsideClose() {
  gWindow = MakeMessageWindow(OpenReceiverAgain);
  HANDLE cable = FarOpen(kPair);
  if (!gWindow || cable == INVALID_HANDLE_VALUE) return 90;
  GpsContext* context = OpenWithCallbackBlocked(cable);
  if (!context) return 91;
  (void)OrvoGPSClose(context);
  CloseHandle(cable);
  DestroyMessageWindow(gWindow);
  return gNestedResult;
}

}  // namespace

const Scenario kScenarios[] = {
    {"open_index_16", [] { return OpenIndex(16); }},
    {"open_index_minus_1", [] { return OpenIndex(-1); }},
    {"open_missing_port", [] { return OpenIndex(4); }},
    {"open_inside_close", OpenInsideClose},
};
const int kScenarioCount = sizeof kScenarios / sizeof kScenarios[0];
