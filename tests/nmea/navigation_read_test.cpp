// A reader on another thread copies the fix and the sky while the feeding
// thread decodes every capture at full speed: each copy must be a state that
// the feeding thread published whole, never half of one sentence's state and
// half of another's (a time from one epoch with a position from another).
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "corpus_files.h"
#include "nmea/nmea.h"

namespace {

// FNV-1a over values, field by field (no padding bytes).
struct Hash {
  uint64_t value = 14695981039346656037u;
  template <typename T>
  void Add(const T& field) {
    unsigned char bytes[sizeof field];
    std::memcpy(bytes, &field, sizeof field);
    for (unsigned char byte : bytes) value = (value ^ byte) * 1099511628211u;
  }
};

uint64_t HashFix(const GpsFix& f) {
  Hash h;
  for (int32_t v : {f.year, f.month, f.day, f.hours, f.minutes, f.seconds, f.milliseconds, f.mode, f.quality,
                    f.satellitesUsed, f.usedSetSize})
    h.Add(v);
  for (double v : {f.latitude, f.longitude, f.altitudeMsl, f.geoidSeparation, f.altitudeHae, f.speed, f.track,
                   f.pdop, f.hdop, f.vdop})
    h.Add(v);
  return h.value;
}

uint64_t HashSky(const GpsSky& sky) {
  Hash h;
  h.Add(sky.signalCount);
  h.Add(sky.usedCount);
  h.Add(sky.notShown);
  for (int32_t i = 0; i < sky.signalCount && i < GPS_SKY_SIZE; ++i) {
    const GpsSignal& s = sky.signals[i];
    for (int32_t v : {s.constellation, s.svid, s.signalId, s.used}) h.Add(v);
    for (float v : {s.elevation, s.azimuth, s.snr}) h.Add(v);
  }
  return h.value;
}

std::string Concatenated(const std::vector<CorpusFile>& corpus) {
  std::string bytes;
  for (const CorpusFile& file : corpus) bytes += file.bytes;
  return bytes;
}

struct Published {
  std::unordered_set<uint64_t> fixes;
  std::unordered_set<uint64_t> skies;
};

uint32_t Verified(const GpsContext* context) {
  GpsStats stats = {};
  GpsGetStats(context, &stats);
  return stats.sentences + stats.ignored;
}

// Every state the feeding thread publishes: after the init and after each
// verified sentence, the only times the state changes.
Published EveryState(const std::string& bytes) {
  Published published;
  static GpsFix fix;
  static GpsSky sky;
  GpsContext* context = GpsContextInit(nullptr);
  uint32_t verified = 0;
  for (size_t i = 0; i <= bytes.size(); ++i) {
    if (i > 0) {
      GpsFeedByte(context, static_cast<unsigned char>(bytes[i - 1]));
      if (Verified(context) == verified) continue;
      verified = Verified(context);
    }
    GpsGetFix(context, &fix);
    GpsGetSky(context, &sky);
    published.fixes.insert(HashFix(fix));
    published.skies.insert(HashSky(sky));
  }
  return published;
}

// Kept by the reader thread; the feeding thread reads only the atomics.
struct ReaderCounts {
  long fixes = 0, skies = 0, tornFixes = 0, tornSkies = 0;
  std::unordered_set<uint64_t> fixesSeen;
  std::atomic<size_t> differentFixes{0};
};

TEST(navigation_read_test, a_reader_never_sees_a_torn_fix_or_sky) {
  const std::string bytes = Concatenated(ReadCorpus());
  ASSERT_GT(bytes.size(), 1000000u) << "captures not found in " << ORVO_CORPUS_DIR;
  const Published published = EveryState(bytes);
  ASSERT_GT(published.fixes.size(), 1000u);

  GpsContext* context = GpsContextInit(nullptr);
  std::atomic<bool> done(false);
  ReaderCounts counts;
  std::thread reader([&] {
    static GpsFix fix;
    static GpsSky sky;
    while (!done.load()) {
      GpsGetFix(context, &fix);
      ++counts.fixes;
      const uint64_t fixHash = HashFix(fix);
      if (published.fixes.count(fixHash) == 0) ++counts.tornFixes;
      else if (counts.fixesSeen.insert(fixHash).second) counts.differentFixes.store(counts.fixesSeen.size());
      GpsGetSky(context, &sky);
      ++counts.skies;
      if (published.skies.count(HashSky(sky)) == 0) ++counts.tornSkies;
    }
  });
  // Feed the captures again and again until the reader has copied many
  // different states, so that reading and writing overlapped; a pass takes
  // milliseconds, the bound only stops a reader that never runs.
  int32_t passes = 0;
  for (; passes < 500; ++passes) {
    GpsContextInit(nullptr);
    for (char byte : bytes) GpsFeedByte(context, static_cast<unsigned char>(byte));
    if (passes >= 3 && counts.differentFixes.load() >= 500) break;
  }
  done.store(true);
  reader.join();
  std::printf("%d passes; %ld fixes and %ld skies copied, %zu different fixes\n", passes + 1, counts.fixes,
              counts.skies, counts.fixesSeen.size());
  EXPECT_EQ(counts.tornFixes, 0);
  EXPECT_EQ(counts.tornSkies, 0);
  EXPECT_GE(counts.fixesSeen.size(), 500u);
}

}  // namespace
