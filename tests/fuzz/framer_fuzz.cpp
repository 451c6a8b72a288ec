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

int32_t CheckingCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved) {
  if (record == nullptr || record != RecordOf(context, type) || reserved != 0) std::abort();
  if (context->sentence[0] != '$') std::abort();
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
