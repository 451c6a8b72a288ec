// libFuzzer target: arbitrary bytes through the framer, dispatch and the six
// parsers.  Besides the sanitizers' checks it asserts what must hold after
// every byte and at every callback.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "nmea/nmea.h"

namespace {

const void* RecordOf(GpsContext* context, SentenceType type) {
  const void* records[SENTENCE_TYPE_COUNT] = {&context->gga, &context->gsa, &context->gsv,
                                              &context->rmc, &context->gll, &context->vtg};
  return type >= 0 && type < SENTENCE_TYPE_COUNT ? records[type] : nullptr;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// A '$' only ever starts a sentence, and a verified sentence ends in '*' and
// two hexadecimal digits.
bool WellFramed(const char* sentence) {
  if (sentence[0] != '$') return false;
  int32_t i = 1;
  for (; i < GPS_SENTENCE_SIZE - 2 && sentence[i] != '*'; ++i)
    if (sentence[i] == '$') return false;
  return i < GPS_SENTENCE_SIZE - 2 && IsHexDigit(sentence[i + 1]) && IsHexDigit(sentence[i + 2]);
}

int32_t CheckingCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved) {
  if (record == nullptr || record != RecordOf(context, type) || reserved != 0) std::abort();
  if (!WellFramed(context->sentence)) std::abort();
  if (type == SENTENCE_GSV && (context->gsv.satelliteCount < 0 || context->gsv.satelliteCount > 4))
    std::abort();
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GpsContext* context = GpsContextInit(CheckingCallback);
  for (size_t i = 0; i < size; ++i) {
    if (GpsFeedByte(context, data[i]) != 1) std::abort();
    if (context->position < 0 || context->position >= GPS_SENTENCE_SIZE) std::abort();
  }
  return 0;
}
