// A receive handler that keeps everything it is given, for comparison.
#ifndef ORVOGPS_TESTS_RX_RECORDER_H
#define ORVOGPS_TESTS_RX_RECORDER_H

#include <cstdint>

constexpr uint32_t kRecorderCapacity = 1u << 20;

void RecorderReset();
void RecordRx(void* userData, const unsigned char* bytes, int32_t count);
uint32_t RecordedSize();
const unsigned char* RecordedBytes();
int32_t RecordedCalls();
int32_t LargestBlock();
int32_t SmallestBlock();
void* LastUserData();

#endif
