#include "monitor/recording.h"

#include <cstdio>
#include <cstring>

namespace {

// The system's errors a user meets when a recording fails, in words.
const char* ErrorWords(uint32_t error, const char* otherwise) {
  switch (error) {
    case 3: return "no such folder";
    case 5: return "access denied";
    case 32: return "the file is in use";
    case 39:  // ERROR_HANDLE_DISK_FULL
    case 112: return "the disk is full";
    default: return otherwise;
  }
}

const char* BaseName(const char* path) {
  const char* name = path;
  for (const char* c = path; *c; ++c)
    if (*c == '\\' || *c == '/') name = c + 1;
  return name;
}

}  // namespace

void RecordingName(const UtcStamp& s, char* name, int32_t size) {
  std::snprintf(name, static_cast<size_t>(size), "orvogps-%04d%02d%02d-%02d%02d%02d.nmea", static_cast<int>(s.year),
                static_cast<int>(s.month), static_cast<int>(s.day), static_cast<int>(s.hour),
                static_cast<int>(s.minute), static_cast<int>(s.second));
}

void RecordingHeader(const char* source, uint32_t baudRate, const UtcStamp& s, char* text, int32_t size) {
  char speed[32] = "";
  if (baudRate != 0) std::snprintf(speed, sizeof speed, " at %u baud", static_cast<unsigned>(baudRate));
  std::snprintf(text, static_cast<size_t>(size),
                "# orvogps-monitor recording of %s%s, started %04d-%02d-%02dT%02d:%02d:%02dZ\r\n", source, speed,
                static_cast<int>(s.year), static_cast<int>(s.month), static_cast<int>(s.day),
                static_cast<int>(s.hour), static_cast<int>(s.minute), static_cast<int>(s.second));
}

void RecorderInit(Recorder* recorder, unsigned char* storage, uint32_t capacity) {
  RingInit(&recorder->ring, storage, capacity);
  recorder->on.store(0, std::memory_order_relaxed);
  recorder->written = 0;
  recorder->error = 0;
  recorder->path[0] = '\0';
}

bool RecorderStart(Recorder* recorder, const char* path, const char* header, RecordSink sink, void* file) {
  (void)RingTake(&recorder->ring, nullptr, RingWaiting(&recorder->ring));
  recorder->ring.refused.store(0, std::memory_order_relaxed);
  std::snprintf(recorder->path, sizeof recorder->path, "%s", path);
  recorder->written = 0;
  recorder->error = 0;
  const uint32_t length = static_cast<uint32_t>(std::strlen(header));
  if (!sink(file, reinterpret_cast<const unsigned char*>(header), length, &recorder->error)) return false;
  recorder->written = length;
  recorder->on.store(1, std::memory_order_release);
  return true;
}

void RecorderFeed(Recorder* recorder, const unsigned char* bytes, int32_t count) {
  if (count <= 0 || recorder->on.load(std::memory_order_acquire) == 0) return;
  (void)RingWrite(&recorder->ring, bytes, static_cast<uint32_t>(count));  // a refused block is counted
}

bool RecorderDrain(Recorder* recorder, RecordSink sink, void* file) {
  unsigned char chunk[4096];
  for (uint32_t waiting = RingWaiting(&recorder->ring); waiting > 0;) {
    const uint32_t count = RingTake(&recorder->ring, chunk, waiting < sizeof chunk ? waiting : sizeof chunk);
    waiting -= count;
    if (!sink(file, chunk, count, &recorder->error)) {
      recorder->on.store(0, std::memory_order_release);
      return false;
    }
    recorder->written += count;
  }
  return true;
}

bool RecorderStop(Recorder* recorder, RecordSink sink, void* file) {
  recorder->on.store(0, std::memory_order_release);
  return RecorderDrain(recorder, sink, file);
}

void FormatRecording(const Recorder& recorder, char* text, int32_t size) {
  text[0] = '\0';
  const bool on = recorder.on.load(std::memory_order_relaxed) != 0;
  if (!on && recorder.error == 0) return;
  const char* name = BaseName(recorder.path);
  const unsigned kb = static_cast<unsigned>((recorder.written + 512) / 1024);
  int used;
  if (on) {
    used = std::snprintf(text, static_cast<size_t>(size), "recording %s: %u kB", name, kb);
  } else if (recorder.written == 0) {
    used = std::snprintf(text, static_cast<size_t>(size), "cannot record to %s: %s (error %u)", name,
                         ErrorWords(recorder.error, "it cannot be written"), static_cast<unsigned>(recorder.error));
  } else {
    used = std::snprintf(text, static_cast<size_t>(size), "recording to %s stopped: %s (error %u) after %u kB", name,
                         ErrorWords(recorder.error, "a write failed"),
                         static_cast<unsigned>(recorder.error), kb);
  }
  const uint32_t lost = recorder.ring.refused.load(std::memory_order_relaxed);
  if (lost > 0 && used > 0 && used < size)
    std::snprintf(text + used, static_cast<size_t>(size - used), ", %u bytes lost", static_cast<unsigned>(lost));
}
