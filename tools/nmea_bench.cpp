// nmea-bench: the framer, dispatch and parsers over the concatenated receiver
// captures, with a callback that does nothing.
//   nmea-bench [benchmark options]   Google Benchmark, bytes per second
//   nmea-bench --one-pass            one pass only, for counting instructions
//                                    (tools/count-instructions.sh)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "nmea/compiler_support.h"
#include "nmea/nmea.h"
#include "nmea/receiver.h"

namespace {

std::string ReadConcatenatedCorpus() {
  std::vector<std::filesystem::path> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ORVO_CORPUS_DIR, error))
    if (entry.path().extension() == ".log") paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::string bytes;
  for (const auto& path : paths) {
    std::ifstream in(path, std::ios::binary);
    bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return bytes;
}

int32_t IgnoreRecord(GpsContext*, SentenceType, void*, int32_t) { return 0; }

// The bytes in the serial layer's blocks of up to 2048 bytes, the way the
// receiver feeds them.  Kept out of line so that callgrind can count exactly
// this.
ORVO_NOINLINE void FeedOnce(GpsContext* context, const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (size_t at = 0; at < bytes.size(); at += 2048)
    GpsRxBytes(context, data + at, static_cast<int32_t>(std::min<size_t>(2048, bytes.size() - at)));
}

// The same bytes one call of GpsFeedByte each.
ORVO_NOINLINE void FeedByteByByte(GpsContext* context, const std::string& bytes) {
  for (char c : bytes) GpsFeedByte(context, static_cast<unsigned char>(c));
}

void BM_GpsFeedByte(benchmark::State& state) {
  const std::string bytes = ReadConcatenatedCorpus();
  GpsContext* context = GpsContextInit(IgnoreRecord);
  for (auto _ : state) FeedByteByByte(context, bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_GpsFeedByte);

void BM_GpsRxBytes(benchmark::State& state) {
  const std::string bytes = ReadConcatenatedCorpus();
  GpsContext* context = GpsContextInit(IgnoreRecord);
  for (auto _ : state) FeedOnce(context, bytes);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_GpsRxBytes);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--one-pass") == 0) {
    const std::string bytes = ReadConcatenatedCorpus();
    if (bytes.empty()) {
      std::fprintf(stderr, "nmea-bench: no captures in %s\n", ORVO_CORPUS_DIR);
      return 2;
    }
    FeedOnce(GpsContextInit(IgnoreRecord), bytes);
    std::printf("%zu bytes\n", bytes.size());
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
