// The sentences pane's history: the real framer's verdicts on a damaged
// stream, handed through the ring, add up to the framer's own counts; a
// reader thread that writes while the window takes loses nothing it was not
// told it lost, and never sees a sentence twice or out of order.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <nmea/nmea.h>

#include "monitor/sentence_log.h"

namespace {

unsigned char gStorage[1 << 14];
SentenceTap gTap;

void TellTap(GpsContext* context, const char* text, int32_t length, int32_t verdict) {
  GpsStats stats;
  GpsGetStats(context, &stats);
  SentenceTapTell(&gTap, text, length, verdict, stats.bytes);
}

TEST(sentence_log_test, lines_and_totals_are_what_the_framer_made_of_the_stream) {
  const char* const told[] = {
      "$GPGGA,1200",  // cut short by the next '$'
      "$GPGGA,120000.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*67",
      "$GPGSA,A,3,10,,,,,,,,,,,,1.5,0.9,1.2*00",  // its checksum is 3D
      "$GP*11",                                  // too short
      "$GNRMC,120000.00,A,4807.038,N,01131.000,E,000.0,000.0,091226,,,A*4F",
  };
  const std::string stream = std::string(told[0]) + told[1] + "\r\nnoise between\r\n" + told[2] + "\r\n" + told[3] +
                             "\r\n" + told[4] + "\n";
  SentenceTapInit(&gTap, gStorage, sizeof gStorage);
  GpsContext* context = GpsContextInit(nullptr);
  GpsSetSentenceCallback(context, TellTap);
  for (char c : stream) GpsFeedByte(context, static_cast<unsigned char>(c));
  static SentenceLog log;
  SentenceLogClear(&log);
  ASSERT_EQ(6, SentenceLogTake(&log, &gTap));
  const struct {
    int32_t kind;
    const char* text;
  } expected[] = {
      {GPS_SENTENCE_CUT_SHORT, "[cut short] $GPGGA,1200"},
      {GPS_SENTENCE_VERIFIED, "$GPGGA,120000.00,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*67"},
      {LINE_BETWEEN, "[17 bytes between sentences]"},  // the line end before it too
      {GPS_SENTENCE_CHECKSUM_ERROR, "[checksum error] $GPGSA,A,3,10,,,,,,,,,,,,1.5,0.9,1.2*00"},
      {GPS_SENTENCE_TOO_SHORT, "[too short] $GP*11"},
      {GPS_SENTENCE_VERIFIED, "$GNRMC,120000.00,A,4807.038,N,01131.000,E,000.0,000.0,091226,,,A*4F"},
  };
  ASSERT_EQ(6, log.count);
  for (int32_t i = 0; i < 6; ++i) {
    EXPECT_EQ(expected[i].kind, SentenceLogLine(log, i).kind) << i;
    EXPECT_STREQ(expected[i].text, SentenceLogLine(log, i).text) << i;
  }
  GpsStats stats;
  GpsGetStats(context, &stats);
  const SentenceTotals& t = log.totals;
  EXPECT_EQ(stats.sentences + stats.ignored, t.verdicts[GPS_SENTENCE_VERIFIED]);
  EXPECT_EQ(stats.checksumErrors, t.verdicts[GPS_SENTENCE_CHECKSUM_ERROR]);
  EXPECT_EQ(stats.tooShort, t.verdicts[GPS_SENTENCE_TOO_SHORT]);
  EXPECT_EQ(stats.cutShort, t.verdicts[GPS_SENTENCE_CUT_SHORT]);
  // Everything fed but the last line end is a sentence or lies between two.
  size_t lengths = 0;
  for (const char* s : told) lengths += std::strlen(s);
  EXPECT_EQ(stream.size() - 1, lengths + t.betweenBytes);
  char text[200];
  FormatSentenceTotals(t, text, sizeof text);
  EXPECT_STREQ("2 sentences, 1 checksum error, 1 too short, 0 too long, 1 cut short, 21 bytes between sentences", text);
}

TEST(sentence_log_test, a_long_or_binary_sentence_is_shown_escaped_and_cut) {
  SentenceTapInit(&gTap, gStorage, sizeof gStorage);
  const std::string binary = "$PUBX,00\r\n\x01\xB5*";
  SentenceTapTell(&gTap, binary.data(), static_cast<int32_t>(binary.size()), GPS_SENTENCE_CUT_SHORT,
                  static_cast<uint32_t>(binary.size()));
  const std::string longOne = "$PXYZ," + std::string(300, 'a') + "*00";
  SentenceTapTell(&gTap, longOne.data(), static_cast<int32_t>(longOne.size()), GPS_SENTENCE_VERIFIED,
                  static_cast<uint32_t>(binary.size() + longOne.size()));
  static SentenceLog log;
  SentenceLogClear(&log);
  ASSERT_EQ(2, SentenceLogTake(&log, &gTap));
  EXPECT_STREQ("[cut short] $PUBX,00\\r\\n\\x01\\xB5*", SentenceLogLine(log, 0).text);
  const std::string shown = SentenceLogLine(log, 1).text;
  EXPECT_EQ(static_cast<size_t>(SENTENCE_SHOWN) + 3, shown.size()) << shown;
  EXPECT_EQ("...", shown.substr(shown.size() - 3));
}

// A sentence whose text is its number, "$N0000042*".
std::string Numbered(uint32_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "$N%08u*00", static_cast<unsigned>(n));
  return text;
}

TEST(sentence_log_test, a_writing_reader_thread_and_a_taking_window_lose_only_what_they_count) {
  static unsigned char small[1 << 10];
  SentenceTapInit(&gTap, small, sizeof small);
  constexpr uint32_t COUNT = 200000;
  static std::atomic<bool> finished;
  finished = false;
  std::thread reader([] {
    for (uint32_t n = 0; n < COUNT; ++n) {
      const std::string text = Numbered(n);
      SentenceTapTell(&gTap, text.data(), static_cast<int32_t>(text.size()), GPS_SENTENCE_VERIFIED,
                      (n + 1) * static_cast<uint32_t>(text.size() + 2));
    }
    finished = true;
  });
  static SentenceLog log;
  SentenceLogClear(&log);
  long last = -1;
  bool ordered = true;
  for (bool more = true; more;) {
    more = !finished.load();  // one more take after the last write
    const int32_t added = SentenceLogTake(&log, &gTap);
    // What a take adds beyond the log's size is gone: the newest lines stay.
    for (int32_t i = std::max(0, log.count - added); i < log.count; ++i) {
      const long n = std::strtol(SentenceLogLine(log, i).text + 2, nullptr, 10);
      ordered = ordered && n > last;
      last = n;
    }
  }
  const uint32_t seen = log.totals.verdicts[GPS_SENTENCE_VERIFIED];
  reader.join();
  EXPECT_TRUE(ordered) << "a sentence came twice or out of order";
  EXPECT_EQ(COUNT, seen + gTap.lost.load());
  EXPECT_EQ(static_cast<uint32_t>(log.count), std::min<uint32_t>(seen, SENTENCE_LOG_LINES));
  EXPECT_EQ(seen, log.added);
  EXPECT_EQ(2 * seen, log.totals.betweenBytes) << "each sentence's line end";
  EXPECT_GT(seen, 0u);
}

}  // namespace
