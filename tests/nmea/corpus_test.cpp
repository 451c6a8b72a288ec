// Every capture of tests/data/captures fed byte by byte.  The expected
// sentences are counted here independently of the framer: line by line, and
// for the captures whose defects the framer reads differently from a line
// reader, by a stream splitter that follows the framer's own rules.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "corpus_files.h"
#include "nmea_test_support.h"

namespace {

int HexNibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // the framer takes an invalid digit as 0
}

// The type of a sentence text from '$' through its second checksum
// character, or -1 when it is too short or long, fails its checksum or is of
// another type.
SentenceType VerifiedType(const std::string& s) {
  if (s.size() < 13 || s.size() > 511) return -1;
  unsigned sum = 0;
  for (size_t i = 1; i + 3 < s.size(); ++i) sum ^= static_cast<unsigned char>(s[i]);
  const unsigned received = static_cast<unsigned>(HexNibble(s[s.size() - 2]) << 4 | HexNibble(s[s.size() - 1]));
  if (sum != received) return -1;
  static const std::map<std::string, SentenceType> types = {
      {"GGA", SENTENCE_GGA}, {"GSA", SENTENCE_GSA}, {"GSV", SENTENCE_GSV},
      {"RMC", SENTENCE_RMC}, {"GLL", SENTENCE_GLL}, {"VTG", SENTENCE_VTG}};
  const auto found = types.find(s.substr(3, 3));
  return found == types.end() ? -1 : found->second;
}

// One sentence per line: from the line's first '$' through the two
// characters after the first '*' that follows it.  Taking the first '$'
// matches the framer on st-teseo-liv4f.log, whose "$$" prefixes put a '$'
// into each body, so that none of its sentences verifies.
std::vector<SentenceType> LineByLine(const std::string& bytes) {
  std::vector<SentenceType> types;
  size_t lineStart = 0;
  while (lineStart < bytes.size()) {
    size_t lineEnd = bytes.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = bytes.size();
    const std::string line = bytes.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    const size_t dollar = line.find('$');
    if (dollar == std::string::npos) continue;
    const size_t star = line.find('*', dollar);
    if (star == std::string::npos || star + 2 >= line.size()) continue;
    const SentenceType type = VerifiedType(line.substr(dollar, star + 3 - dollar));
    if (type >= 0) types.push_back(type);
  }
  return types;
}

// The framer's rules over the whole stream: a sentence runs from a '$' to
// the first '*' after it, whatever lies between, and two more characters; a
// sentence reaching 512 characters is abandoned at its 512th.
std::vector<SentenceType> AsFramed(const std::string& bytes) {
  std::vector<SentenceType> types;
  size_t from = 0;
  for (;;) {
    const size_t dollar = bytes.find('$', from);
    if (dollar == std::string::npos) break;
    const size_t star = bytes.find('*', dollar + 1);
    if (star == std::string::npos || star + 2 >= bytes.size()) break;
    if (star + 3 - dollar >= 512) {
      from = dollar + 512;
      continue;
    }
    const SentenceType type = VerifiedType(bytes.substr(dollar, star + 3 - dollar));
    if (type >= 0) types.push_back(type);
    from = star + 3;
  }
  return types;
}

// Captures that a line reader and the framer see differently, and why.
// In each a '$' without a '*' runs on into the next sentence, which the
// framer then checks with that sentence's checksum and drops.
const std::map<std::string, std::string> FRAMED_DIFFERENTLY = {
    {"furuno_gl_ga.log", "the header's \"$PERD\" takes the first GNRMC with it"},
    {"gp-320fw-2019-04-07-coldboot.log", "truncated and spliced sentences take their successors with them"},
    {"meinberg-gps164.log", "a '$' in the JSON header line takes the first GPRMC with it"},
    {"mtk-3301.log", "$POLYN lines without a checksum take a GPGGA with them"},
    {"neo-m8n.log", "the header's \"$GLGSV\" takes the first GLGSV with it"},
    {"quectel-eg25-g-2.log", "the header's \"$PQGSV and $PQGSA\" takes the first GPGGA with it"},
    {"sl869.log", "$GPTXT without a checksum takes the first GPRMC with it"},
    {"st-teseo-liv3f.log", "a '$' in the JSON header line takes the first GLGSV with it"},
    {"unicore-um621.log", "a '$' in the JSON header line takes the first GNRMC with it"},
    {"venus634lp.log", "the $Kernel and $ver banner lines take the first GPVTG with them"},
};

TEST(corpus_test, every_verified_sentence_of_the_six_types_reaches_the_callback) {
  const std::vector<CorpusFile> corpus = ReadCorpus();
  ASSERT_GE(corpus.size(), 70u) << "captures not found in " << ORVO_CORPUS_DIR;
  size_t total = 0;
  for (const CorpusFile& file : corpus) {
    GpsContext* context = FreshContext();
    FeedBytes(context, file.bytes);
    const std::vector<SentenceType> called = CalledTypes();
    total += called.size();
    const auto differing = FRAMED_DIFFERENTLY.find(file.name);
    if (differing == FRAMED_DIFFERENTLY.end()) {
      EXPECT_EQ(called, LineByLine(file.bytes)) << file.name;
    } else {
      EXPECT_EQ(called, AsFramed(file.bytes)) << file.name << ": " << differing->second;
      EXPECT_NE(called, LineByLine(file.bytes)) << file.name << " no longer differs: " << differing->second;
    }
    for (const CallbackCall& call : gCallbackCalls) {
      EXPECT_EQ(call.context, context) << file.name;
      EXPECT_EQ(call.reserved, 0) << file.name;
    }
  }
  std::printf("%zu captures, %zu decoded sentences\n", corpus.size(), total);
}

}  // namespace
