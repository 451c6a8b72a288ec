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
#include "nmea/receiver.h"

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
  EXPECT_EQ(0, context->port->isOpen);
  EXPECT_EQ(0, OrvoGPSClose(context));
  EXPECT_EQ(1, OrvoGPSIsActive(context));
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

}  // namespace

const Scenario kScenarios[] = {
    {"open_index_16", [] { return OpenIndex(16); }},
    {"open_index_minus_1", [] { return OpenIndex(-1); }},
    {"open_missing_port", [] { return OpenIndex(4); }},
};
const int kScenarioCount = sizeof kScenarios / sizeof kScenarios[0];
