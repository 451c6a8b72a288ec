// Figures for the receiver on a virtual cable (pair 4): latency from the last
// byte of a sentence written at the far end to the GpsCallback, the highest
// rate taken without losing a sentence, and the CPU of an idle open port.
//   tools/vnullmodem.sh run <state> --shim -- receiver_bench.exe
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "../nmea/corpus_files.h"
#include "cable_request.h"
#include "comport/comport.h"
#include "far_end.h"
#include "nmea/receiver.h"

namespace {

constexpr int kPair = 4;
constexpr int kLatencySentences = 2000;
constexpr int kRateRepeats = 10;
constexpr DWORD kIdleMs = 20000;  // the thread clock counts 10 ms ticks

LARGE_INTEGER gFrequency;
std::atomic<int64_t> gLastCallback;
std::atomic<size_t> gCallbacks;
HANDLE gCallbackEvent;

int64_t Now() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Ms(int64_t ticks) { return 1000.0 * static_cast<double>(ticks) / gFrequency.QuadPart; }

int32_t Stamp(GpsContext*, SentenceType, void*, int32_t) {
  gLastCallback.store(Now(), std::memory_order_release);
  gCallbacks.fetch_add(1, std::memory_order_release);
  SetEvent(gCallbackEvent);
  return 0;
}

int32_t Count(GpsContext*, SentenceType, void*, int32_t) {
  gCallbacks.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

ULONGLONG CpuTime100ns(HANDLE thread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(thread, &created, &exited, &kernel, &user)) return 0;
  ULARGE_INTEGER k = {{kernel.dwLowDateTime, kernel.dwHighDateTime}};
  ULARGE_INTEGER u = {{user.dwLowDateTime, user.dwHighDateTime}};
  return k.QuadPart + u.QuadPart;
}


bool MeasureLatency(HANDLE cable) {
  const char kFix[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  GpsContext* context = nullptr;
  if (OrvoGPSOpen(NearIndex(kPair), Stamp, &context) != 0) return false;
  std::vector<double> latencies;
  for (int i = 0; i < kLatencySentences; ++i) {
    ResetEvent(gCallbackEvent);
    // The line end goes first, so the '*hh' that completes the sentence is
    // the last byte written.
    if (i == 0 && !FarWrite(cable, "\r\n", 2)) return false;
    if (!FarWrite(cable, kFix, sizeof kFix - 3)) return false;
    int64_t written = Now();
    if (WaitForSingleObject(gCallbackEvent, 2000) != WAIT_OBJECT_0) {
      printf("sentence %d: no callback within 2 s\n", i);
      return false;
    }
    latencies.push_back(Ms(gLastCallback.load(std::memory_order_acquire) - written));
    if (!FarWrite(cable, "\r\n", 2)) return false;
  }
  OrvoGPSClose(context);
  std::sort(latencies.begin(), latencies.end());
  printf("latency, last byte written to GpsCallback, %d sentences: median %.3f ms, p99 %.3f ms, "
         "max %.3f ms\n",
         kLatencySentences, latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100],
         latencies.back());
  return true;
}

bool MeasureRate(HANDLE cable) {
  std::string capture;
  for (const CorpusFile& file : ReadCorpus()) capture += file.bytes;
  if (capture.empty()) return false;
  gCallbacks = 0;
  GpsContext* direct = GpsContextInit(Count);
  for (unsigned char byte : capture) GpsFeedByte(direct, byte);
  size_t perCapture = gCallbacks.load();

  gCallbacks = 0;
  GpsContext* context = nullptr;
  if (OrvoGPSOpen(NearIndex(kPair), Count, &context) != 0) return false;
  int64_t start = Now();
  for (int i = 0; i < kRateRepeats; ++i) {
    if (!FarWrite(cable, capture.data(), static_cast<DWORD>(capture.size()))) return false;
  }
  size_t want = perCapture * kRateRepeats;
  ULONGLONG deadline = GetTickCount64() + 60000;
  while (gCallbacks.load(std::memory_order_acquire) < want && GetTickCount64() < deadline) Sleep(1);
  double seconds = Ms(Now() - start) / 1000.0;
  size_t got = gCallbacks.load();
  OrvoGPSClose(context);
  double bytes = static_cast<double>(capture.size()) * kRateRepeats;
  printf("rate: %.1f MB of captures in %.3f s = %.0f bytes/s = %.0f baud equivalent (8-N-1), "
         "%zu of %zu sentences decoded (%zu lost)\n",
         bytes / 1e6, seconds, bytes / seconds, bytes * 10 / seconds, got, want,
         want > got ? want - got : 0);
  return true;
}

bool MeasureIdle() {
  GpsContext* context = nullptr;
  if (OrvoGPSOpen(NearIndex(kPair), Count, &context) != 0) return false;
  ComPort* port = context->port;
  ULONGLONG reader0 = CpuTime100ns(port->hReaderThread);
  ULONGLONG writer0 = CpuTime100ns(port->hWriterThread);
  ULONGLONG process0 = ProcessCpu100ns();
  ULONGLONG start = GetTickCount64();
  Sleep(kIdleMs);
  double wall = static_cast<double>(GetTickCount64() - start) * 10000.0;
  printf("idle open port over %lu ms: reader %.3f%%, writer %.3f%%, whole process %.3f%% of a "
         "core\n",
         kIdleMs, 100.0 * (CpuTime100ns(port->hReaderThread) - reader0) / wall,
         100.0 * (CpuTime100ns(port->hWriterThread) - writer0) / wall,
         100.0 * (ProcessCpu100ns() - process0) / wall);
  OrvoGPSClose(context);
  return true;
}

}  // namespace

int main() {
  QueryPerformanceFrequency(&gFrequency);
  gCallbackEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE cable = FarOpen(kPair);
  if (cable == INVALID_HANDLE_VALUE) {
    printf("pair %d's far end does not open: run through tools/vnullmodem.sh\n", kPair);
    return 1;
  }
  bool ok = MeasureLatency(cable) && MeasureRate(cable) && MeasureIdle();
  CloseHandle(cable);
  return ok ? 0 : 1;
}
