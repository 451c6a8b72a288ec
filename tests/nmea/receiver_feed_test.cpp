#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame_stream.h"
#include "nmea/receiver.h"
#include "nmea_test_support.h"

namespace {

// What a stream makes the framer do: each sentence told with its verdict and
// text, each record's type, and the counts at the end.
std::vector<std::string> gTold;
int32_t gRecordsBeforeStop;  // the record callback turns the context off after this many

void Tell(GpsContext*, const char* text, int32_t length, int32_t verdict) {
  gTold.push_back(std::to_string(verdict) + " " + std::string(text, static_cast<size_t>(length)));
}

int32_t TellRecord(GpsContext* context, SentenceType type, void*, int32_t) {
  gTold.push_back("record " + std::to_string(type));
  if (--gRecordsBeforeStop == 0) context->active = 0;
  return 0;
}

GpsContext* Telling(int32_t recordsBeforeStop) {
  gTold.clear();
  gRecordsBeforeStop = recordsBeforeStop;
  GpsContext* context = GpsContextInit(TellRecord);
  GpsSetSentenceCallback(context, Tell);
  return context;
}

void FeedBlock(GpsContext* context, const std::string& bytes, size_t from, size_t to) {
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(bytes.data()) + from, static_cast<int32_t>(to - from));
}

std::string Outcome(const GpsContext* context) {
  GpsStats stats = {};
  GpsGetStats(context, &stats);
  std::string outcome;
  for (const std::string& told : gTold) outcome += told + "\n";
  for (uint32_t count : {stats.bytes, stats.sentences, stats.ignored, stats.checksumErrors, stats.tooShort,
                         stats.tooLong, stats.cutShort, stats.frames})
    outcome += std::to_string(count) + " ";
  return outcome;
}

// A TXT sentence of exactly length characters, '$' to the checksum.
std::string TxtOfLength(size_t length) {
  const std::string head = "GPTXT,01,01,02,";
  return FramedSentence(head + std::string(length - 4 - head.size(), 'x'));
}

const std::string GGA = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F\r\n";

// Where a block may end or a sentence meet the end of the buffer: the
// longest sentence kept (511 characters) and those one to three longer, whose
// '*', checksum digits or '$' meet the buffer's end, sentences cut short,
// frames and stray sync bytes between sentences, and bytes after the last '*'.
const std::string kStream = TxtOfLength(511) + "\r\n" + TxtOfLength(512) + "\r\n" + GGA + TxtOfLength(513) +
                            GGA + TxtOfLength(514) + "\r\n" + GGA + "$" + std::string(510, 'y') + GGA + "$" +
                            std::string(511, 'z') + GGA + "$GPGGA,12$$" + GGA + std::string("\xB5\x62\x01", 3) +
                            GGA + UbxFrame(1, 7, NoisePayload(40, 3)) + Rtcm3Frame(NoisePayload(30, 4)) + GGA +
                            std::string("\xD3\x00", 2) + GGA + WithChecksum("GPGGA,1") + "*\r\n*" + GGA + "$GPR";

TEST(receiver_feed_test, blocks_split_anywhere_frame_as_the_bytes_fed_one_by_one) {
  // Stopping after the fifth record shows the rest of a block is dropped.
  for (int32_t stop : {0, 5}) {
    GpsContext* context = Telling(stop);
    FeedBytes(context, kStream);
    GpsRxBytes(context, nullptr, 0);  // counts the bytes of the sentence left open
    const std::string byByte = Outcome(context);
    ASSERT_NE(gTold.size(), 0u);
    for (size_t split = 0; split <= kStream.size(); ++split) {
      context = Telling(stop);
      FeedBlock(context, kStream, 0, split);
      FeedBlock(context, kStream, split, kStream.size());
      ASSERT_EQ(Outcome(context), byByte) << "split at " << split << ", stopping after " << stop;
    }
    for (size_t blockSize : {1u, 3u, 15u, 16u, 17u, 33u, 2048u}) {
      context = Telling(stop);
      for (size_t at = 0; at < kStream.size(); at += blockSize)
        FeedBlock(context, kStream, at, std::min(kStream.size(), at + blockSize));
      ASSERT_EQ(Outcome(context), byByte) << "blocks of " << blockSize << ", stopping after " << stop;
    }
  }
}

TEST(receiver_feed_test, feeds_every_byte_of_a_block_in_order) {
  GpsContext* context = FreshContext();
  const std::string block = "$GPGLL,3854.5087,N,07726.4523,W,125106,V,S*55\r\n$GPVTG,0.0,T,10.5,M,0.0,N,0.0,K*7A\r\n$GP";
  GpsRxBytes(context, reinterpret_cast<const unsigned char*>(block.data()), static_cast<int32_t>(block.size()));
  EXPECT_EQ(CalledTypes(), (std::vector<SentenceType>{SENTENCE_GLL, SENTENCE_VTG}));
  EXPECT_EQ(context->position, 3);
}

TEST(receiver_feed_test, empty_or_negative_count_feeds_nothing) {
  GpsContext* context = FreshContext();
  const unsigned char dollar[] = {'$'};
  GpsRxBytes(context, dollar, 0);
  GpsRxBytes(context, dollar, -1);
  EXPECT_EQ(context->position, 0);
}

TEST(receiver_feed_test, is_active) {
  EXPECT_EQ(OrvoGPSIsActive(nullptr), 0);
  GpsContext* context = FreshContext();
  EXPECT_EQ(OrvoGPSIsActive(context), 1);
  context->active = 0;
  EXPECT_EQ(OrvoGPSIsActive(context), 0);
  context->active = 1;
}

}  // namespace
