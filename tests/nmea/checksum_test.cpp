#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "nmea/nmea_internal.h"

namespace {

uint8_t ByteByByteXor(const char* text, int32_t count) {
  uint8_t sum = 0;
  for (int32_t i = 0; i < count; ++i) sum ^= static_cast<uint8_t>(text[i]);
  return sum;
}

TEST(checksum_test, xor_of_real_sentence_bodies) {
  struct Case {
    const char* body;
    uint8_t expected;
  } cases[] = {
      {"GPGGA,125106,3854.5087,N,07726.4523,W,8,10,2.0,268.8,M,-33.9,M,,", 0x7F},
      {"GPGSV,3,3,10,24,06,166,35,28,09,271,36", 0x7D},
      {"GPVTG,0.0,T,10.5,M,0.0,N,0.0,K", 0x7A},
      {"GPRTE,1,1,c,", 0x37},
  };
  for (const Case& c : cases) {
    const int32_t count = static_cast<int32_t>(std::string(c.body).size());
    EXPECT_EQ(NmeaChecksum(c.body, count), c.expected) << c.body;
  }
}

TEST(checksum_test, empty_or_negative_count_is_zero) {
  EXPECT_EQ(NmeaChecksum("GPGGA", 0), 0);
  EXPECT_EQ(NmeaChecksum("GPGGA", -5), 0);
}

TEST(checksum_test, every_length_and_alignment_matches_a_byte_by_byte_xor) {
  char text[600];
  for (int i = 0; i < 600; ++i) text[i] = static_cast<char>((i * 151 + 7) & 0xFF);
  for (int32_t offset = 0; offset < 8; ++offset)
    for (int32_t count = 0; count <= 520; ++count)
      ASSERT_EQ(NmeaChecksum(text + offset, count), ByteByByteXor(text + offset, count))
          << "offset " << offset << " count " << count;
}

// Each text in a buffer of exactly its length: a read past the count shows
// under AddressSanitizer.
TEST(checksum_test, reads_nothing_past_the_count) {
  for (int32_t count = 1; count <= 40; ++count) {
    std::vector<char> text(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) text[static_cast<size_t>(i)] = static_cast<char>(i * 37 + count);
    ASSERT_EQ(NmeaChecksum(text.data(), count), ByteByByteXor(text.data(), count)) << "count " << count;
  }
}

TEST(checksum_test, hex_pair_decoding) {
  struct Case {
    const char* legend;
    char pair[2];
    int32_t expected;
  } cases[] = {
      {"upper case", {'4', 'A'}, 0x4A},
      {"lower case", {'4', 'a'}, 0x4A},
      {"mixed case", {'f', 'F'}, 0xFF},
      {"digits", {'0', '9'}, 0x09},
      {"invalid low digit", {'4', 'G'}, -1},
      {"invalid high digit", {'G', '4'}, -1},
      {"two invalid digits", {'G', 'g'}, -1},
      {"space", {'4', ' '}, -1},
      {"'/' just before '0'", {'/', '0'}, -1},
      {"':' just after '9'", {'9', ':'}, -1},
      {"'@' just before 'A'", {'@', '0'}, -1},
      {"'`' just before 'a'", {'0', '`'}, -1},
      {"'g' just after 'f'", {'g', '0'}, -1},
      {"CR as the second digit (truncated checksum)", {'7', '\r'}, -1},
      {"NUL bytes", {'\0', '\0'}, -1},
      {"byte above 127", {'\xC1', 'B'}, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(HexPairToByte(c.pair), c.expected) << c.legend;
}

}  // namespace
