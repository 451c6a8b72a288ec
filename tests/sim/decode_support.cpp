#include "decode_support.h"

#include <algorithm>

namespace {

std::vector<DecodedSentence>* gSink = nullptr;

int32_t Collect(GpsContext*, SentenceType type, void* record, int32_t) {
  DecodedSentence d{};
  d.type = type;
  switch (type) {
    case SENTENCE_GGA: d.gga = *static_cast<GgaRecord*>(record); break;
    case SENTENCE_GSA: d.gsa = *static_cast<GsaRecord*>(record); break;
    case SENTENCE_GSV: d.gsv = *static_cast<GsvRecord*>(record); break;
    case SENTENCE_RMC: d.rmc = *static_cast<RmcRecord*>(record); break;
    case SENTENCE_GLL: d.gll = *static_cast<GllRecord*>(record); break;
    case SENTENCE_VTG: d.vtg = *static_cast<VtgRecord*>(record); break;
  }
  gSink->push_back(d);
  return 0;
}

}  // namespace

std::vector<DecodedSentence> DecodeStream(const std::string& bytes) {
  std::vector<DecodedSentence> decoded;
  gSink = &decoded;
  GpsContext* context = GpsContextInit(Collect);
  for (char c : bytes) GpsFeedByte(context, static_cast<unsigned char>(c));
  gSink = nullptr;
  return decoded;
}

int CountOfType(const std::vector<DecodedSentence>& decoded, SentenceType type) {
  return static_cast<int>(std::count_if(decoded.begin(), decoded.end(),
                                        [type](const DecodedSentence& d) { return d.type == type; }));
}
