// Figures for one speed, not a test: gps-sim talks once a second on pair 4's
// far end at that speed; this opens COM4 with the speed to be found and
// reconnection, and prints the time from OrvoGPSOpenWith to the first
// sentence delivered, then for each replug the time from asking for it to
// the first sentence after it, and the CPU of the whole process while the
// device is gone.  tools/measure-link.sh runs it and does the pulling.
//   link_bench.exe <baud> <replugs> <lost-seconds>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cable_request.h"
#include "far_end.h"
#include "nmea/receiver.h"

namespace {

constexpr int kPair = 4;
std::atomic<uint32_t> gDelivered;

int32_t Count(GpsContext*, SentenceType, void*, int32_t) {
  gDelivered.fetch_add(1, std::memory_order_release);
  return 0;
}

const GpsContext* gContext;
int32_t gState;

bool WaitState(int32_t state, DWORD deadlineMs) {
  gState = state;
  return WaitUntil([] {
    GpsLink link = {};
    return OrvoGPSGetLink(gContext, &link) == 0 && link.state == gState;
  }, deadlineMs);
}

// Ms until a sentence beyond those delivered so far arrives, or -1.
long long MsToNextSentence(DWORD deadlineMs) {
  static uint32_t from;
  from = gDelivered.load(std::memory_order_acquire);
  const ULONGLONG start = GetTickCount64();
  if (!WaitUntil([] { return gDelivered.load(std::memory_order_acquire) > from; }, deadlineMs))
    return -1;
  return static_cast<long long>(GetTickCount64() - start);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || !getenv("ORVO_VNM_STATE")) {
    printf("usage: link_bench.exe <baud> <replugs> <lost-seconds>, through tools/measure-link.sh\n");
    return 2;
  }
  const uint32_t baud = static_cast<uint32_t>(strtoul(argv[1], nullptr, 10));
  const int replugs = atoi(argv[2]);
  const DWORD lostMs = static_cast<DWORD>(atoi(argv[3])) * 1000;
  GpsContext* context = nullptr;
  const GpsOpenOptions options = {GPS_BAUD_AUTO, 1};
  const ULONGLONG opening = GetTickCount64();
  if (OrvoGPSOpenWith(NearIndex(kPair), &options, Count, &context) != GPS_OPEN_OK) return 1;
  gContext = context;
  const bool first = WaitUntil([] { return gDelivered.load() > 0; }, 60000);
  const ULONGLONG opened = GetTickCount64() - opening;
  GpsLink link = {};
  OrvoGPSGetLink(context, &link);
  printf("%u baud: open to first sentence %lld ms (link at %u baud)\n", baud,
         first ? static_cast<long long>(opened) : -1LL, link.baudRate);
  // Replugs of a receiver whose speed was taken.
  if (!WaitState(GPS_LINK_RECEIVING, 10000)) return 1;
  for (int i = 0; i < replugs; ++i) {
    if (!CableRequest("unplug") || !WaitState(GPS_LINK_DEVICE_LOST, 10000)) return 1;
    if (i == 0 && lostMs > 0) {
      const ULONGLONG cpu0 = ProcessCpu100ns();
      const ULONGLONG wall0 = GetTickCount64();
      Sleep(lostMs);  // the measurement window
      const double share = 100.0 * static_cast<double>(ProcessCpu100ns() - cpu0) /
                           (static_cast<double>(GetTickCount64() - wall0) * 10000.0);
      printf("%u baud: device lost, whole process %.3f%% of a core over %lu s (the clock counts "
             "in 10 ms steps)\n", baud, share, lostMs / 1000);
    }
    // From asking: the cable is back (and gps-sim restarted) when Cable
    // returns, up to 50 ms after the script saw the request.
    const ULONGLONG asked = GetTickCount64();
    if (!CableRequest("replug")) return 1;
    const ULONGLONG back = GetTickCount64() - asked;
    const long long toFirst = MsToNextSentence(10000);
    printf("%u baud: replug %d to first sentence %lld ms (the cable was back after %llu ms)\n",
           baud, i + 1, toFirst < 0 ? -1LL : toFirst + static_cast<long long>(back), back);
  }
  OrvoGPSClose(context);
  return first ? 0 : 1;
}
