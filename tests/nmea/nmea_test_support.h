// Helpers shared by the decoding core's tests: a callback that records each
// call, byte feeding, and sentences built with their checksum.
#ifndef ORVOGPS_TESTS_NMEA_TEST_SUPPORT_H
#define ORVOGPS_TESTS_NMEA_TEST_SUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "nmea/nmea.h"

struct CallbackCall {
  GpsContext* context;
  SentenceType type;
  void* record;
  int32_t reserved;
};

// Every call of RecordingCallback since the last FreshContext.
extern std::vector<CallbackCall> gCallbackCalls;

int32_t RecordingCallback(GpsContext* context, SentenceType type, void* record, int32_t reserved);

// GpsContextInit with RecordingCallback, the recorded calls cleared.
GpsContext* FreshContext();

void FeedBytes(GpsContext* context, const std::string& bytes);

// "$" body "*" two upper-case hexadecimal digits of its checksum, CR LF.
std::string WithChecksum(const std::string& body);

// The same without the line end.
std::string FramedSentence(const std::string& body);

std::vector<SentenceType> CalledTypes();

#endif
