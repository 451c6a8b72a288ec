// Recording the receiver's stream: every block the port delivers, unchanged,
// after a first comment line that says where it came from.  The reader
// thread hands the blocks over through a ring (RecorderFeed) and never waits
// for the disk; the window writes what waits (RecorderDrain) through a sink,
// the file on Windows, and stops at the first failed write, keeping its error
// to say so.
#ifndef ORVOGPS_MONITOR_RECORDING_H
#define ORVOGPS_MONITOR_RECORDING_H

#include <atomic>
#include <cstdint>

#include "monitor/byte_ring.h"

constexpr int32_t RECORDING_PATH_SIZE = 260;
constexpr int32_t RECORDING_NAME_SIZE = 32;

struct UtcStamp {
  int32_t year, month, day, hour, minute, second;
};

// "orvogps-20261211-032500.nmea"
void RecordingName(const UtcStamp& start, char* name, int32_t size);
// "# orvogps-monitor recording of COM1 at 38400 baud, started 2026-12-11T03:25:00Z\r\n";
// baudRate 0 when the speed is not known yet.
void RecordingHeader(const char* source, uint32_t baudRate, const UtcStamp& start, char* text, int32_t size);

// Writes count bytes; false with the system's error when they did not all go.
typedef bool (*RecordSink)(void* file, const unsigned char* bytes, uint32_t count, uint32_t* error);

struct Recorder {
  ByteRing ring;
  std::atomic<int32_t> on;  // the reader thread's bytes go into the ring
  uint64_t written;         // bytes in the file, the header's too
  uint32_t error;           // the error that stopped it, 0 for none
  char path[RECORDING_PATH_SIZE];
};

void RecorderInit(Recorder* recorder, unsigned char* storage, uint32_t capacity);
// Window: from now on the reader thread's bytes are kept for path's file,
// whose header the sink takes first.  False when the header did not go.
bool RecorderStart(Recorder* recorder, const char* path, const char* header, RecordSink sink, void* file);
// Reader thread: a block as the port delivered it.
void RecorderFeed(Recorder* recorder, const unsigned char* bytes, int32_t count);
// Window: writes what waits; false when a write failed (the recorder is off
// then, with the error kept).
bool RecorderDrain(Recorder* recorder, RecordSink sink, void* file);
// Window: no more bytes are kept; what waits is written.  False as for drain.
bool RecorderStop(Recorder* recorder, RecordSink sink, void* file);

// For the link line: "recording orvogps-...nmea: 52 kB", "recording stopped:
// the disk is full (error 112) after 52 kB, 3 kB lost", "" when not recording
// and no error.
void FormatRecording(const Recorder& recorder, char* text, int32_t size);

#endif
