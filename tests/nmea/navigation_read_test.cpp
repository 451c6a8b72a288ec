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
#include "state_hash.h"

namespace {

std::string Concatenated(const std::vector<CorpusFile>& corpus) {
  std::string bytes;
  for (const CorpusFile& file : corpus) bytes += file.bytes;
  return bytes;
}

struct Published {
  std::unordered_set<uint64_t> fixes;
  std::unordered_set<uint64_t> skies;
};

// Every state the feeding thread publishes.
Published EveryState(const std::string& bytes) {
  Published published;
  EachPublishedState(bytes, [&](const GpsFix& fix, const GpsSky& sky) {
    published.fixes.insert(HashFix(fix));
    published.skies.insert(HashSky(sky));
  });
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
