#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea/nmea_internal.h"
#include "nmea_test_support.h"

namespace {

const std::string GGA = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F";
const std::string RMC = "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28";

std::string Padding(size_t n) { return std::string(n, 'x'); }

struct FramingCase {
  const char* legend;
  std::string bytes;
  std::vector<SentenceType> expected;
};

TEST(framer_test, frames_sentences_from_a_byte_stream) {
  // Bodies whose exclusive-or is 0x40 and 0x00, of the smallest dispatched length.
  const std::string xor40 = "$GPGGA,028*";
  const std::string xor00 = "$GPGGA,02x*";
  const std::string lostStar = "$GPGGA,125106,3854.5087,N\r\n";
  // The first sentence of an ST Teseo LIV4F capture: every line starts "$$".
  const std::string teseo = "$$GNGSA,A,3,44,34,25,11,19,23,38,,,,,,2.5,1.7,1.8,4*3E";
  const FramingCase cases[] = {
      {"one sentence with CR LF", GGA + "\r\n", {SENTENCE_GGA}},
      {"garbage before the first '$' is discarded", "\x01\xff garbage\r\n" + GGA + "\r\n", {SENTENCE_GGA}},
      {"two sentences back to back without line ends", GGA + RMC, {SENTENCE_GGA, SENTENCE_RMC}},
      {"NUL bytes between sentences", GGA + std::string(3, '\0') + RMC, {SENTENCE_GGA, SENTENCE_RMC}},
      {"lower-case checksum digits", "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7f",
       {SENTENCE_GGA}},
      {"wrong checksum is dropped", "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7E", {}},
      {"11 characters with a right checksum are dropped", FramedSentence("GPGGA,1"), {}},
      {"12 characters with a right checksum are dropped", FramedSentence("GPGGA,12"), {}},
      {"13 characters with a right checksum are dispatched", FramedSentence("GPGGA,123"), {SENTENCE_GGA}},
      {"the body whose exclusive-or is 0x40 verifies with 40", xor40 + "40", {SENTENCE_GGA}},
      {"a checksum character that is not a hexadecimal digit fails: 4G", xor40 + "4G", {}},
      {"a space as the second checksum character fails: \"4 \"", xor40 + "4 ", {}},
      {"a '/' as the second checksum character fails: 4/", xor40 + "4/", {}},
      {"G4 fails", xor40 + "G4", {}},
      {"the body whose exclusive-or is 0x00 verifies with 00", xor00 + "00", {SENTENCE_GGA}},
      {"a lower-case non-digit as the first checksum character fails: g0", xor00 + "g0", {}},
      {"\"$$\" before a sentence: the second '$' starts it", teseo, {SENTENCE_GSA}},
      {"a '$' inside a body starts a new sentence; the cut one is dropped", "$GPZZZ,1" + FramedSentence("GPGGA,123"),
       {SENTENCE_GGA}},
      {"a lost '*': the next sentence's '$' cuts it short and the next one decodes", lostStar + RMC,
       {SENTENCE_RMC}},
      {"a lost '*' costs nothing but its own sentence", lostStar + RMC + "\r\n" + GGA,
       {SENTENCE_RMC, SENTENCE_GGA}},
      {"a '$' as the first checksum character starts a new sentence", "$GPGGA,123*" + GGA, {SENTENCE_GGA}},
      {"a '$' as the second checksum character starts a new sentence", "$GPGGA,123*4" + GGA, {SENTENCE_GGA}},
      {"a sentence cut short before its checksum waits for more bytes", GGA.substr(0, 40), {}},
      {"unsupported formatter passes the framer but is not dispatched", FramedSentence("GPZDA,1,2,3"), {}},
      {"511 characters verify", FramedSentence("GPGGA," + Padding(511 - 3 - 7)), {SENTENCE_GGA}},
      {"the 512th character abandons; bytes up to the next '$' are discarded",
       FramedSentence("GPGGA," + Padding(512 - 3 - 7)) + "*00" + RMC, {SENTENCE_RMC}},
      {"a '*' in the last cell abandons", "$GPGGA," + Padding(504) + "*" + "00" + RMC, {SENTENCE_RMC}},
      {"a first checksum character in the last cell abandons", "$GPGGA," + Padding(503) + "*" + "00" + RMC,
       {SENTENCE_RMC}},
      {"a '$' in the 511th cell starts a new sentence", "$GPGGA," + Padding(503) + RMC, {SENTENCE_RMC}},
      {"a '$' as the 512th character starts a new sentence instead of being abandoned",
       "$GPGGA," + Padding(504) + RMC, {SENTENCE_RMC}},
      {"NUL, CR and LF inside a body are stored and checked", FramedSentence(std::string("GPGGA,1\0\r\n2", 11)),
       {SENTENCE_GGA}},
  };
  for (const FramingCase& c : cases) {
    GpsContext* context = FreshContext();
    FeedBytes(context, c.bytes);
    EXPECT_EQ(CalledTypes(), c.expected) << c.legend;
  }
}

TEST(framer_test, init_clears_the_context_and_returns_the_one_context) {
  GpsContext* first = FreshContext();
  FeedBytes(first, GGA + "\r\n$GPRMC,12");
  GpsContext* second = FreshContext();
  EXPECT_EQ(first, second);
  EXPECT_EQ(second, &gGpsContext);
  EXPECT_EQ(second->active, 1);
  EXPECT_EQ(second->callback, &RecordingCallback);
  EXPECT_EQ(second->port, nullptr);
  EXPECT_EQ(second->state, &FramerWaitStart);
  EXPECT_EQ(second->position, 0);
  for (int i = 0; i < GPS_SENTENCE_SIZE; ++i) ASSERT_EQ(second->sentence[i], 0) << "index " << i;
  EXPECT_EQ(second->gga.time.hours, 0);
  EXPECT_EQ(second->gga.hdop, 0.0f);
}

TEST(framer_test, init_in_the_middle_of_a_sentence_discards_it) {
  GpsContext* context = FreshContext();
  FeedBytes(context, GGA.substr(0, 30));
  FreshContext();
  FeedBytes(context, GGA.substr(30) + "\r\n");
  EXPECT_TRUE(gCallbackCalls.empty());
  FeedBytes(context, GGA);
  EXPECT_EQ(CalledTypes(), std::vector<SentenceType>{SENTENCE_GGA});
}

TEST(framer_test, feed_reports_only_a_missing_or_inactive_context) {
  EXPECT_EQ(GpsFeedByte(nullptr, '$'), 0);

  GpsContext never{};
  EXPECT_EQ(GpsFeedByte(&never, '$'), 0);

  GpsContext* context = FreshContext();
  context->active = 0;
  EXPECT_EQ(GpsFeedByte(context, '$'), 0);
  EXPECT_EQ(context->state, &FramerWaitStart);
  EXPECT_EQ(context->position, 0);
  context->active = 1;

  const std::string bytes = "x$" + GGA.substr(1) + "\r\n";
  for (char c : bytes) EXPECT_EQ(GpsFeedByte(context, static_cast<unsigned char>(c)), 1);
  EXPECT_EQ(gCallbackCalls.size(), 1u);
}

TEST(framer_test, feed_takes_the_low_eight_bits_of_the_byte) {
  GpsContext* context = FreshContext();
  EXPECT_EQ(GpsFeedByte(context, 0x100 + '$'), 1);
  EXPECT_EQ(context->state, &FramerBody);
  EXPECT_EQ(context->position, 1);
}

TEST(framer_test, sentence_and_checksum_characters_lie_in_the_buffer) {
  GpsContext* context = FreshContext();
  const std::string longer = FramedSentence("GPGLL," + Padding(100));
  FeedBytes(context, longer + "\r\n" + GGA + "\r\n");
  const size_t length = GGA.size();
  EXPECT_EQ(std::string(context->sentence, length), GGA);
  EXPECT_EQ(context->checksumChars[0], '7');
  EXPECT_EQ(context->checksumChars[1], 'F');
  // A shorter sentence overwrites only the start of the buffer.
  EXPECT_EQ(std::string(context->sentence + length, longer.size() - length), longer.substr(length));
  EXPECT_EQ(context->sentence[longer.size()], '\0');
  EXPECT_EQ(context->position, 0);
  EXPECT_EQ(context->state, &FramerWaitStart);
}

TEST(framer_test, handlers_pass_a_nonzero_status_through_untouched) {
  GpsContext* context = FreshContext();
  FeedBytes(context, "$GP");
  const FramerState handlers[] = {FramerWaitStart, FramerBody, FramerChecksum1, FramerChecksum2};
  for (FramerState handler : handlers) {
    EXPECT_EQ(handler(7, '*'), 7);
    EXPECT_EQ(handler(-1, '$'), -1);
  }
  EXPECT_EQ(context->position, 3);
  EXPECT_EQ(context->state, &FramerBody);
  EXPECT_EQ(context->sentence[3], '\0');
}

TEST(framer_test, handler_results) {
  FreshContext();
  EXPECT_EQ(FramerWaitStart(0, 'x'), '$');
  EXPECT_EQ(FramerWaitStart(0, '$'), 1);
  EXPECT_EQ(FramerBody(0, 'G'), 2);
  for (int i = 0; i < GPS_SENTENCE_SIZE - 3; ++i) FramerBody(0, 'x');
  EXPECT_EQ(gGpsContext.position, GPS_SENTENCE_SIZE - 1);
  EXPECT_EQ(FramerBody(0, 'x'), GPS_SENTENCE_SIZE);
  EXPECT_EQ(gGpsContext.position, 0);
  EXPECT_EQ(gGpsContext.state, &FramerWaitStart);
}

}  // namespace
