#include "faults.h"

#include <gtest/gtest.h>

#include <string>

#include "decode_support.h"
#include "synth_receiver.h"

namespace {

// A few hundred cycles of synthesized sentences, the way the simulator sends them.
std::vector<std::string> Sentences(int cycles) {
  std::vector<std::string> all;
  for (int t = 0; t < cycles; ++t) {
    for (std::string& s : SynthesizeCycle(48.1173, 11.516667, t, 1419995239 + t)) {
      all.push_back(std::move(s));
    }
  }
  return all;
}

struct Outcome {
  size_t sent = 0;
  size_t broken = 0;
  size_t dropped = 0;
  size_t garbageBytes = 0;
  size_t decoded = 0;
  std::string bytes;
};

Outcome Inject(const FaultRates& rates, uint64_t seed, int cycles = 400) {
  std::mt19937_64 random(seed);
  Outcome o;
  for (const std::string& s : Sentences(cycles)) {
    const FaultedSentence f = ApplyFaults(s, rates, random);
    ++o.sent;
    o.broken += f.checksumBroken;
    o.dropped += f.asteriskDropped;
    o.garbageBytes += f.garbageBytes;
    o.bytes += f.bytes;
  }
  o.decoded = DecodeStream(o.bytes).size();
  return o;
}

}  // namespace

TEST(faults_test, no_faults_leave_every_byte_as_it_was) {
  const Outcome o = Inject({0, 0, 0}, 1, 50);
  std::string plain;
  for (const std::string& s : Sentences(50)) plain += s;
  EXPECT_EQ(o.bytes, plain);
  EXPECT_EQ(o.decoded, o.sent);
}

TEST(faults_test, bad_checksums_are_rejected_by_the_framer_at_the_given_rate) {
  const Outcome o = Inject({0.1, 0, 0}, 42);
  const double rate = static_cast<double>(o.broken) / o.sent;
  EXPECT_NEAR(rate, 0.1, 0.02) << o.broken << " of " << o.sent;
  EXPECT_EQ(o.decoded, o.sent - o.broken) << "each broken checksum costs exactly its sentence";
}

TEST(faults_test, a_seed_repeats_a_run_and_another_seed_differs) {
  const FaultRates rates{0.2, 0.2, 0.05};
  EXPECT_EQ(Inject(rates, 7, 50).bytes, Inject(rates, 7, 50).bytes);
  EXPECT_NE(Inject(rates, 7, 50).bytes, Inject(rates, 8, 50).bytes);
}

TEST(faults_test, garbage_between_sentences_costs_no_sentence) {
  const Outcome o = Inject({0, 1.0, 0}, 3);
  EXPECT_GE(o.garbageBytes, o.sent);
  EXPECT_LE(o.garbageBytes, 16 * o.sent);
  EXPECT_EQ(o.decoded, o.sent);
  size_t dollars = 0;
  for (char c : o.bytes) dollars += c == '$';
  EXPECT_EQ(dollars, o.sent) << "noise must never contain '$'";
}

TEST(faults_test, a_dropped_asterisk_loses_its_sentence) {
  const Outcome o = Inject({0, 0, 0.1}, 5);
  EXPECT_NEAR(static_cast<double>(o.dropped) / o.sent, 0.1, 0.02);
  // Without its '*' a sentence runs into the next one, which is lost with it
  // unless a later '*' happens to match; never more than two per drop.
  EXPECT_LE(o.decoded, o.sent - o.dropped);
  EXPECT_GE(o.decoded, o.sent - 2 * o.dropped);
}

TEST(faults_test, lines_without_a_checksum_are_left_alone) {
  std::mt19937_64 random(1);
  for (const char* line : {"$GPTXT,no checksum\r\n", "garbage line\n", "$GPGGA,1*4\n", "*"}) {
    const FaultedSentence f = ApplyFaults(line, {1.0, 0, 1.0}, random);
    EXPECT_EQ(f.bytes, line);
    EXPECT_FALSE(f.checksumBroken);
    EXPECT_FALSE(f.asteriskDropped);
  }
}
