// UBX and RTCM 3 frames between sentences: skipped whole when their checksum
// verifies, counted, never passed on; a false candidate gives its bytes back
// to the framer, so that no sentence is lost or reordered.
#include "nmea/binary_frame.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "frame_stream.h"
#include "nmea/line_judge.h"
#include "nmea/nmea_internal.h"
#include "nmea/receiver.h"
#include "nmea/sentence_spotter.h"
#include "nmea_test_support.h"

namespace {

int32_t Judge(const std::string& frame) {
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(frame.data());
  int32_t judged = FRAME_MORE;
  for (int32_t n = 2; n <= static_cast<int32_t>(frame.size()) && judged == FRAME_MORE; ++n)
    judged = FrameJudge(bytes, n);
  return judged;
}

TEST(binary_frame_test, judges_frames_as_receivers_send_them) {
  struct Row {
    const char* legend;
    std::string bytes;
    int32_t judged;
  };
  // A u-blox MON-VER poll and the RTCM 3 standard's example 1005 message,
  // with the checksums as published.
  const std::string monVerPoll("\xB5\x62\x0A\x04\x00\x00\x0E\x34", 8);
  const std::string rtcm1005(
      "\xD3\x00\x13\x3E\xD7\xD3\x02\x02\x98\x0E\xDE\xEF\x34\xB4\xBD\x62\xAC\x09\x41\x98\x6F\x33\x36\x0B\x98",
      25);
  std::string badCkB = monVerPoll;
  badCkB[7] = 0x35;
  std::string badCrc = rtcm1005;
  badCrc[10] ^= 0x01;
  const Row rows[] = {
      {"UBX MON-VER poll", monVerPoll, FRAME_VERIFIED},
      {"RTCM 3 message 1005", rtcm1005, FRAME_VERIFIED},
      {"UBX with its second checksum byte wrong", badCkB, FRAME_FALSE},
      {"RTCM 3 with one payload bit changed", badCrc, FRAME_FALSE},
      {"NAV-PVT as built here", NavPvt(1), FRAME_VERIFIED},
      {"RXM-RAWX as built here", RxmRawx(2), FRAME_VERIFIED},
      {"RTCM 1077 as built here", Rtcm1077(3), FRAME_VERIFIED},
      {"0xB5 not followed by 0x62", "\xB5$GPGGA", FRAME_FALSE},
      {"0xD3 whose next byte has a reserved bit set", "\xD3\x04\x00", FRAME_FALSE},
      {"a UBX length over 4 KiB is no frame", std::string("\xB5\x62\x02\x15\x01\x10", 6), FRAME_FALSE},
      {"the largest UBX payload taken",
       UbxFrame(0x02, 0x15, NoisePayload(UBX_MAX_PAYLOAD, 4)), FRAME_VERIFIED},
  };
  for (const Row& r : rows) EXPECT_EQ(r.judged, Judge(r.bytes)) << r.legend;
}

const std::string GGA = "$GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,*7F\r\n";
const std::string RMC = "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28\r\n";

TEST(binary_frame_test, frames_between_sentences_are_skipped_and_sentences_kept_in_order) {
  struct Row {
    const char* legend;
    std::string bytes;
    std::vector<SentenceType> sentences;
    uint32_t frames;
  };
  const std::string pvt = NavPvt(7);
  // Its length promises 60 bytes more; no '$' in it starts a sentence.
  const std::string cutPvt = UbxFrame(0x01, 0x07, std::string(92, '\0')).substr(0, 40);
  const Row rows[] = {
      {"a NAV-PVT whose payload holds '$' and '*' between two sentences", GGA + pvt + RMC,
       {SENTENCE_GGA, SENTENCE_RMC}, 1},
      {"an RTCM 1077 and an RXM-RAWX back to back", GGA + Rtcm1077(8) + RxmRawx(9) + RMC,
       {SENTENCE_GGA, SENTENCE_RMC}, 2},
      {"a frame cut short swallows the next sentence, which is framed again", cutPvt + GGA + RMC,
       {SENTENCE_GGA, SENTENCE_RMC}, 0},
      {"a whole frame inside a false candidate still counts", cutPvt + Rtcm1077(10) + GGA,
       {SENTENCE_GGA}, 1},
      {"a stray 0xD3 before a sentence", "\xD3" + GGA, {SENTENCE_GGA}, 0},
      {"a stray 0xB5 0x62 and a length over 4 KiB", std::string("\xB5\x62\x01\x07\xFF\xFF", 6) + GGA,
       {SENTENCE_GGA}, 0},
      {"a damaged frame's bytes go to the framer, the sentence after it decodes",
       GGA + pvt.substr(0, 50) + "x" + pvt.substr(51) + RMC, {SENTENCE_GGA, SENTENCE_RMC}, 0},
      {"inside a sentence a sync byte is a body character", "$GPGGA,1\xB5\x62" + GGA, {SENTENCE_GGA}, 0},
  };
  for (const Row& r : rows) {
    for (int32_t block : {1, 7, 1 << 20}) {
      GpsContext* context = FreshContext();
      for (size_t at = 0; at < r.bytes.size(); at += block) {
        const std::string part = r.bytes.substr(at, block);
        GpsRxBytes(context, reinterpret_cast<const unsigned char*>(part.data()),
                   static_cast<int32_t>(part.size()));
      }
      GpsStats stats = {};
      ASSERT_EQ(0, GpsGetStats(context, &stats));
      EXPECT_EQ(r.sentences, CalledTypes()) << r.legend << ", blocks of " << block;
      EXPECT_EQ(r.frames, stats.frames) << r.legend << ", blocks of " << block;
      EXPECT_EQ(r.bytes.size(), stats.bytes) << r.legend << ", blocks of " << block;
    }
  }
}

std::vector<std::string> gVerified;

void KeepVerified(GpsContext*, const char* text, int32_t length, int32_t verdict) {
  if (verdict == GPS_SENTENCE_VERIFIED) gVerified.emplace_back(text, length);
}

// The sentences that verify in bytes fed in blocks of 61, and the frames.
std::vector<std::string> VerifiedSentences(const std::string& bytes, uint32_t* frames) {
  gVerified.clear();
  GpsContext* context = FreshContext();
  (void)GpsSetSentenceCallback(context, KeepVerified);
  for (size_t at = 0; at < bytes.size(); at += 61) {
    const std::string part = bytes.substr(at, 61);
    GpsRxBytes(context, reinterpret_cast<const unsigned char*>(part.data()),
               static_cast<int32_t>(part.size()));
  }
  GpsStats stats = {};
  (void)GpsGetStats(context, &stats);
  *frames = stats.frames;
  return gVerified;
}

TEST(binary_frame_test, captures_with_frames_between_lines_deliver_every_sentence) {
  size_t files = 0;
  for (const CorpusFile& file : ReadCorpus()) {
    uint32_t none = 0;
    const std::vector<std::string> plain = VerifiedSentences(file.bytes, &none);
    for (int damage : {0, 1, 2}) {
      const MixedStream mixed = MixFrames(file.bytes, damage);
      uint32_t frames = 0;
      EXPECT_EQ(plain, VerifiedSentences(mixed.bytes, &frames)) << file.name << ", damage " << damage;
      EXPECT_EQ(mixed.frames, frames) << file.name << ", damage " << damage;
      SentenceSpotter spotter;
      SpotterReset(&spotter);
      const uint32_t spotted = SpotterFeed(&spotter, reinterpret_cast<const unsigned char*>(mixed.bytes.data()),
                                           static_cast<int32_t>(mixed.bytes.size()));
      EXPECT_EQ(plain.size() + mixed.frames, spotted) << file.name << ", damage " << damage;
    }
    ++files;
  }
  EXPECT_GT(files, 70u);
}

struct Burst {
  uint32_t atMs;  // into the second
  std::string bytes;
};

struct Replayed {
  uint32_t takenAtMs;  // when two had verified (0: never)
  uint32_t garbageAtMs;
  uint32_t sentences;
  uint32_t frames;
};

// Ten minutes of a receiver's seconds at 115200 (11.5 bytes a millisecond),
// as its reader delivers them (blocks of up to 64 bytes), through the framer
// and the line's tally on a simulated clock.
Replayed ReplayTenMinutes(const std::vector<Burst>& second) {
  GpsContext* context = FreshContext();
  LineTally tally;
  LineTallyStart(&tally, 0);
  Replayed r = {0, 0, 0, 0};
  for (uint32_t s = 0; s < 600; ++s) {
    for (const Burst& burst : second) {
      for (size_t at = 0; at < burst.bytes.size(); at += 64) {
        const uint32_t nowMs = s * 1000 + burst.atMs + static_cast<uint32_t>(at * 10 / 115) + 1;
        const std::string part = burst.bytes.substr(at, 64);
        const uint32_t before = GpsVerifiedCount(context);
        GpsRxBytes(context, reinterpret_cast<const unsigned char*>(part.data()), static_cast<int32_t>(part.size()));
        bool began = false;
        const uint32_t flags = LineTallyBlock(&tally, nowMs, static_cast<uint32_t>(part.size()),
                                              GpsVerifiedCount(context) - before, GpsHeldCount(context), &began);
        if ((flags & LINE_GARBAGE) && r.garbageAtMs == 0) r.garbageAtMs = nowMs;
        if ((flags & LINE_SENTENCES) && r.takenAtMs == 0) r.takenAtMs = nowMs;
      }
    }
  }
  GpsStats stats = {};
  (void)GpsGetStats(context, &stats);
  r.sentences = stats.sentences;
  r.frames = stats.frames;
  return r;
}

// Receivers that mix binary frames with NMEA, replayed for 10 simulated
// minutes: the speed is evidenced within the first second, as for NMEA
// alone, never taken for garbage, and every sentence and frame counted.
TEST(binary_frame_test, frames_beside_nmea_are_evidence_of_the_speed_never_garbage) {
  struct Row {
    const char* legend;
    std::vector<Burst> second;
    uint32_t sentences;  // a second
    uint32_t frames;
  };
  // An RXM-RAWX of 55 signals is 1784 bytes: more than the 1024 bytes that
  // are garbage without a sentence.
  const Row rows[] = {
      {"1 Hz NMEA alone", {{100, GGA + RMC}}, 2, 0},
      {"1 Hz NMEA and 2 KB of UBX a cycle", {{100, GGA + RMC + RxmRawx(1, 55) + NavPvt(2)}}, 2, 2},
      {"5 Hz NAV-PVT and 1 Hz NMEA",
       {{100, GGA + RMC + NavPvt(3)}, {300, NavPvt(4)}, {500, NavPvt(5)}, {700, NavPvt(6)}, {900, NavPvt(7)}},
       2, 5},
      {"RTCM 3 between the sentences", {{100, Rtcm1077(8) + GGA + Rtcm1077(9) + RMC + Rtcm1077(10)}}, 2, 3},
  };
  for (const Row& row : rows) {
    const Replayed r = ReplayTenMinutes(row.second);
    printf("%s: speed evidenced %u ms after the first byte; garbage %s; %u sentences, %u frames\n",
           row.legend, r.takenAtMs > 100 ? r.takenAtMs - 100 : 0, r.garbageAtMs ? "once" : "never",
           r.sentences, r.frames);
    EXPECT_EQ(0u, r.garbageAtMs) << row.legend;
    EXPECT_GT(r.takenAtMs, 0u) << row.legend;
    EXPECT_LT(r.takenAtMs, 1000u) << row.legend;
    EXPECT_EQ(600u * row.sentences, r.sentences) << row.legend;
    EXPECT_EQ(600u * row.frames, r.frames) << row.legend;
  }
}

}  // namespace
