// The navigation state pinned on every capture: a hash of the fix and the sky
// as published after each verified sentence, over the whole capture and over
// its pieces of eight lines each fed to a fresh context (the fuzzer's seeds).
// Any change in what the state makes of a capture changes its row: a change
// made on purpose updates the row, with the reason in its commit.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "state_hash.h"

namespace {

struct Pinned {
  const char* capture;
  uint64_t whole;
  uint64_t pieces;
};

const Pinned PINNED[] = {
#include "state_digests.inc"
};

uint64_t StateDigest(const std::string& bytes, Hash* h) {
  EachPublishedState(bytes, [&](const GpsFix& fix, const GpsSky& sky) {
    AddFix(h, fix);
    AddSky(h, sky);
  });
  return h->value;
}

// Pieces of eight lines, as the fuzzer's seeds are cut.
uint64_t PiecesDigest(const std::string& bytes) {
  Hash h;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = start;
    for (int32_t lines = 0; lines < 8 && end < bytes.size(); ++lines) {
      const size_t newline = bytes.find('\n', end);
      end = newline == std::string::npos ? bytes.size() : newline + 1;
    }
    StateDigest(bytes.substr(start, end - start), &h);
    start = end;
  }
  return h.value;
}

const Pinned* PinnedRow(const std::string& capture) {
  for (const Pinned& row : PINNED)
    if (capture == row.capture) return &row;
  return nullptr;
}

TEST(state_digest_test, every_capture_gives_the_pinned_state) {
  const std::vector<CorpusFile> corpus = ReadCorpus();
  EXPECT_EQ(corpus.size(), sizeof PINNED / sizeof PINNED[0]) << "captures in " << ORVO_CORPUS_DIR;
  std::string rows;
  for (const CorpusFile& capture : corpus) {
    Hash whole;
    const uint64_t wholeDigest = StateDigest(capture.bytes, &whole);
    const uint64_t piecesDigest = PiecesDigest(capture.bytes);
    char row[160];
    std::snprintf(row, sizeof row, "    {\"%s\", 0x%016" PRIx64 "u, 0x%016" PRIx64 "u},\n", capture.name.c_str(),
                  wholeDigest, piecesDigest);
    rows += row;
    const Pinned* pinned = PinnedRow(capture.name);
    if (pinned == nullptr) {
      ADD_FAILURE() << capture.name << " is not pinned";
      continue;
    }
    EXPECT_EQ(wholeDigest, pinned->whole) << capture.name << ": the whole capture";
    EXPECT_EQ(piecesDigest, pinned->pieces) << capture.name << ": its pieces of eight lines";
  }
  if (HasFailure()) std::printf("the state now gives these rows (state_digests.inc):\n%s", rows.c_str());
}

}  // namespace
