// Feeding the whole corpus allocates nothing, navigation state, its epoch
// callback and its readers included: every global operator new is counted,
// and natively also malloc and its relatives.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "nmea/nmea.h"

namespace {

bool gCounting = false;
long gAllocations = 0;

void* CountedNew(std::size_t size) {
  if (gCounting) ++gAllocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

int32_t DecodedSentences = 0;

GpsFix gFix;
GpsSky gSky;
int32_t Epochs = 0;

int32_t CountingCallback(GpsContext* context, SentenceType, void*, int32_t) {
  ++DecodedSentences;
  GpsGetFix(context, &gFix);
  GpsGetSky(context, &gSky);
  return 0;
}

void CountingEpochCallback(GpsContext*, const GpsFix*, const GpsSky*) { ++Epochs; }

}  // namespace

void* operator new(std::size_t size) { return CountedNew(size); }
void* operator new[](std::size_t size) { return CountedNew(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  if (gCounting) ++gAllocations;
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  if (gCounting) ++gAllocations;
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

#ifdef ORVO_COUNT_MALLOC
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* p);

void* malloc(std::size_t size) {
  if (gCounting) ++gAllocations;
  return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
  if (gCounting) ++gAllocations;
  return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
  if (gCounting) ++gAllocations;
  return __libc_realloc(p, size);
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  if (gCounting) ++gAllocations;
  return __libc_memalign(alignment, size);
}
void free(void* p) { __libc_free(p); }
}
#endif

namespace {

TEST(allocation_test, the_counters_see_allocations) {
  gAllocations = 0;
  gCounting = true;
  // Kept in a volatile, or Clang drops the new and delete pair altogether.
  int* volatile one = new int(1);
  gCounting = false;
  delete one;
  EXPECT_GE(gAllocations, 1);
#ifdef ORVO_COUNT_MALLOC
  void* (*volatile allocate)(std::size_t) = std::malloc;
  gAllocations = 0;
  gCounting = true;
  void* block = allocate(16);
  gCounting = false;
  std::free(block);
  EXPECT_GE(gAllocations, 1);
#endif
}

TEST(allocation_test, feeding_the_whole_corpus_allocates_nothing) {
  const std::vector<CorpusFile> corpus = ReadCorpus();
  ASSERT_GE(corpus.size(), 70u) << "captures not found in " << ORVO_CORPUS_DIR;
  DecodedSentences = 0;
  Epochs = 0;
  gAllocations = 0;
  gCounting = true;
  GpsContext* context = GpsContextInit(CountingCallback);
  GpsSetEpochCallback(context, CountingEpochCallback);
  for (const CorpusFile& file : corpus)
    for (char c : file.bytes) GpsFeedByte(context, static_cast<unsigned char>(c));
  gCounting = false;
  EXPECT_EQ(gAllocations, 0);
  EXPECT_GT(DecodedSentences, 10000);
  EXPECT_GT(Epochs, 1000);
}

}  // namespace
