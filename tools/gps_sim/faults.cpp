#include "faults.h"

#include <cctype>
#include <cstdio>

namespace {

bool Chance(double probability, std::mt19937_64& random) {
  return std::uniform_real_distribution<double>(0.0, 1.0)(random) < probability;
}

// Index of the '*' that precedes two hex digits, or npos.
size_t ChecksumStar(const std::string& line) {
  const size_t star = line.rfind('*');
  if (star == std::string::npos || star + 2 >= line.size()) return std::string::npos;
  if (!std::isxdigit(static_cast<unsigned char>(line[star + 1])) ||
      !std::isxdigit(static_cast<unsigned char>(line[star + 2]))) {
    return std::string::npos;
  }
  return star;
}

std::string Noise(std::mt19937_64& random) {
  const int length = std::uniform_int_distribution<int>(1, 16)(random);
  std::string noise;
  while (static_cast<int>(noise.size()) < length) {
    const char byte = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
    if (byte != '$') noise.push_back(byte);
  }
  return noise;
}

}  // namespace

FaultedSentence ApplyFaults(const std::string& line, const FaultRates& rates,
                            std::mt19937_64& random) {
  FaultedSentence out{"", false, false, 0};
  if (Chance(rates.garbage, random)) {
    out.bytes = Noise(random);
    out.garbageBytes = out.bytes.size();
  }
  std::string sentence = line;
  const size_t star = ChecksumStar(sentence);
  if (star != std::string::npos && Chance(rates.badChecksum, random)) {
    unsigned sent = 0;
    // Two hex digits were checked just above, so the scan cannot fail.
    (void)std::sscanf(sentence.c_str() + star + 1, "%2x", &sent);
    const unsigned wrong = sent ^ std::uniform_int_distribution<unsigned>(1, 255)(random);
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", wrong);
    sentence[star + 1] = digits[0];
    sentence[star + 2] = digits[1];
    out.checksumBroken = true;
  }
  if (star != std::string::npos && Chance(rates.dropAsterisk, random)) {
    sentence.erase(star, 1);
    out.asteriskDropped = true;
  }
  out.bytes += sentence;
  return out;
}
