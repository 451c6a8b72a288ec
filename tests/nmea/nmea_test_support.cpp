#include "nmea_test_support.h"

#include <cstdio>

std::vector<CallbackCall> gCallbackCalls;

int32_t RecordingCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved) {
  gCallbackCalls.push_back({context, type, record, reserved});
  return 0;
}

GpsContext* FreshContext() {
  gCallbackCalls.clear();
  return GpsContextInit(RecordingCallback);
}

void FeedBytes(GpsContext* context, const std::string& bytes) {
  for (char c : bytes) GpsFeedByte(context, static_cast<unsigned char>(c));
}

std::string FramedSentence(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", sum);
  return "$" + body + "*" + digits;
}

std::string WithChecksum(const std::string& body) { return FramedSentence(body) + "\r\n"; }

std::vector<SentenceType> CalledTypes() {
  std::vector<SentenceType> types;
  for (const CallbackCall& call : gCallbackCalls) types.push_back(call.type);
  return types;
}
