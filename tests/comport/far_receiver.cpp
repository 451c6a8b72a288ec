#include "far_receiver.h"

#include <cstdio>

#include "far_end.h"
#include "nmea/receiver.h"

namespace {

constexpr size_t kMaxDelivered = 1 << 16;
uint32_t gDelivered[kMaxDelivered];
std::atomic<size_t> gDeliveredCount;

bool SetFarBaud(HANDLE cable, uint32_t baud) {
  DCB dcb = {};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(cable, &dcb)) return false;
  dcb.BaudRate = baud;
  return SetCommState(cable, &dcb) != 0;
}

void Talk(FarReceiver* r) {
  while (!r->stop.load()) {
    r->cycles.fetch_add(1);
    if (!r->quiet.load()) {
      std::string burst;
      const uint32_t first = r->nextNumber.load();
      for (int i = 0; i < r->perCycle; ++i) burst += NumberedGga(first + i);
      // A write to a cable that was pulled fails; its numbers are not sent.
      if (FarWrite(r->cable.load(), burst.data(), static_cast<DWORD>(burst.size())))
        r->nextNumber.store(first + r->perCycle);
    }
    Sleep(r->cycleMs);  // the receiver's cycle, not a synchronisation
  }
}

}  // namespace

std::string NumberedGga(uint32_t number) {
  char body[96];
  snprintf(body, sizeof body, "GPGGA,%02u%02u%02u,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
           number / 3600 % 24, number / 60 % 60, number % 60);
  unsigned sum = 0;
  for (const char* c = body; *c; ++c) sum ^= static_cast<unsigned char>(*c);
  char sentence[128];
  snprintf(sentence, sizeof sentence, "$%s*%02X\r\n", body, sum);
  return sentence;
}

uint32_t NumberOf(const GgaRecord* fix) {
  return static_cast<uint32_t>(fix->time.hours * 3600 + fix->time.minutes * 60 + fix->time.seconds);
}

bool FarReceiverStart(FarReceiver* r, int pair, uint32_t baud, uint32_t cycleMs, int perCycle,
                      uint32_t first) {
  r->pair = pair;
  r->cycleMs = cycleMs;
  r->perCycle = perCycle;
  r->baud = baud;
  r->nextNumber = first;
  r->stop = false;
  r->quiet = false;
  r->cycles = 0;
  HANDLE cable = FarOpen(pair);
  if (cable == INVALID_HANDLE_VALUE || !SetFarBaud(cable, baud)) return false;
  r->cable = cable;
  r->thread = std::thread(Talk, r);
  return true;
}

void FarReceiverStop(FarReceiver* r) {
  r->stop = true;
  if (r->thread.joinable()) r->thread.join();
  CloseHandle(r->cable.load());
}

bool FarReceiverQuiet(FarReceiver* r, DWORD deadlineMs) {
  r->quiet = true;
  // The cycle under way may have looked at quiet before it was set; the one
  // after it begins quiet and ends before the next begins.
  const uint32_t seen = r->cycles.load();
  const ULONGLONG end = GetTickCount64() + deadlineMs;
  while (r->cycles.load() - seen < 2) {
    if (GetTickCount64() >= end) return false;
    Sleep(1);
  }
  return true;
}

bool FarReceiverSetBaud(FarReceiver* r, uint32_t baud) {
  r->baud = baud;
  return SetFarBaud(r->cable.load(), baud);
}

bool FarReceiverReopen(FarReceiver* r) {
  HANDLE cable = FarOpen(r->pair);
  if (cable == INVALID_HANDLE_VALUE || !SetFarBaud(cable, r->baud)) return false;
  HANDLE dead = r->cable.exchange(cable);
  CloseHandle(dead);
  return true;
}

void DeliveredReset() { gDeliveredCount = 0; }

int32_t RecordNumber(GpsContext*, SentenceType type, void* record, int32_t) {
  if (type != SENTENCE_GGA) return 0;
  const size_t n = gDeliveredCount.load(std::memory_order_relaxed);
  if (n < kMaxDelivered) {
    gDelivered[n] = NumberOf(static_cast<const GgaRecord*>(record));
    gDeliveredCount.store(n + 1, std::memory_order_release);
  }
  return 0;
}

size_t DeliveredCount() { return gDeliveredCount.load(std::memory_order_acquire); }

uint32_t DeliveredAt(size_t i) { return gDelivered[i]; }

bool WaitDelivered(uint32_t number, DWORD deadlineMs) {
  static uint32_t want;
  want = number;
  return WaitUntil([] {
    const size_t n = DeliveredCount();
    return n > 0 && DeliveredAt(n - 1) >= want;
  }, deadlineMs);
}

bool WaitLink(const GpsContext* context, int32_t state, uint32_t baud, uint32_t reconnects,
              DWORD deadlineMs) {
  static const GpsContext* watched;
  static GpsLink want;
  watched = context;
  want = GpsLink{state, 0, baud, reconnects};
  return WaitUntil([] {
    GpsLink now = {};
    return OrvoGPSGetLink(watched, &now) == 0 && now.state == want.state &&
           (want.baudRate == kAnyLink || now.baudRate == want.baudRate) &&
           (want.reconnects == kAnyLink || now.reconnects == want.reconnects);
  }, deadlineMs);
}
