// The spotter that tells a receiver's speed: it must verify exactly what the
// framer verifies, since a search that takes garbage, or passes over good
// sentences, picks the wrong speed.
#include "nmea/sentence_spotter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "corpus_files.h"
#include "nmea/nmea.h"
#include "nmea/receiver.h"

namespace {

uint32_t Spot(const std::string& text, int32_t blockSize = 1 << 30) {
  SentenceSpotter spotter;
  SpotterReset(&spotter);
  uint32_t verified = 0;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (size_t at = 0; at < text.size(); at += blockSize) {
    const size_t n = std::min(text.size() - at, static_cast<size_t>(blockSize));
    verified += SpotterFeed(&spotter, bytes + at, static_cast<int32_t>(n));
  }
  return verified;
}

const std::string kGga = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

TEST(sentence_spotter_test, counts_what_verifies) {
  struct Row {
    const char* legend;
    std::string bytes;
    uint32_t verified;
  };
  const Row rows[] = {
      {"a GGA", kGga, 1},
      {"lower-case checksum digits", "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n", 1},
      {"a type the library does not decode verifies too", "$GPZDA,201530.00,04,07,2002,00,00*60\r\n", 1},
      {"a wrong checksum", "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48\r\n", 0},
      {"a checksum digit that is not hexadecimal", "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*3G\r\n", 0},
      {"too short: twelve characters", "$GPXX,1*" "00\r\n", 0},
      {"a '$' inside restarts: the Teseo's $$", "$" + kGga, 1},
      {"a sentence cut short by the next", "$GPGGA,1235" + kGga, 1},
      {"noise between sentences", kGga + "\x01\xff\x80 garbage" + kGga, 2},
      {"512 characters are too many",
       "$GPTXT," + std::string(501, 'A') + "*" + "00\r\n", 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.verified, Spot(r.bytes)) << r.legend;
    EXPECT_EQ(r.verified, Spot(r.bytes, 1)) << r.legend << ", a byte at a time";
  }
}

int32_t Ignore(GpsContext*, SentenceType, void*, int32_t) { return 0; }

TEST(sentence_spotter_test, verifies_what_the_framer_verifies_over_every_capture) {
  size_t files = 0;
  for (const CorpusFile& file : ReadCorpus()) {
    GpsContext* context = GpsContextInit(Ignore);
    GpsRxBytes(context, reinterpret_cast<const unsigned char*>(file.bytes.data()),
               static_cast<int32_t>(file.bytes.size()));
    GpsStats stats = {};
    ASSERT_EQ(0, GpsGetStats(context, &stats));
    EXPECT_EQ(stats.sentences + stats.ignored, Spot(file.bytes, 7)) << file.name;
    ++files;
  }
  EXPECT_GT(files, 70u);
}

}  // namespace
