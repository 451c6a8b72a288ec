// Finding the port a receiver is on: every listed port that is not the
// caller's is opened at once and searched at the receiver speeds, each with
// a sentence spotter of its own on its reader thread, while the calling
// thread judges them all and changes their speeds.
#include <windows.h>

#include <atomic>

#include "comport/comport.h"
#include "nmea/line_judge.h"
#include "nmea/port_hunt.h"
#include "nmea/receiver_internal.h"
#include "nmea/sentence_spotter.h"

namespace {

constexpr uint32_t PROGRESS_EVERY_MS = 100;
constexpr uint32_t LONGEST_SEARCH_MS = 600000;

struct Candidate {
  int32_t index;
  ComPort* port;  // null: not opened
  PortHunt hunt;
  SentenceSpotter spotter;
  LineSearch search;
};

Candidate gCandidates[COM_PORT_COUNT];
std::atomic<bool> gFinding{false};

// The receive handler of a searched port, on its reader thread.
void FindRxBytes(void* userData, const unsigned char* bytes, int32_t count) {
  Candidate* c = static_cast<Candidate*>(userData);
  if (HuntBlockBegins(&c->hunt)) SpotterReset(&c->spotter);
  const uint32_t verified = SpotterFeed(&c->spotter, bytes, count);
  HuntBlockEnds(&c->hunt, static_cast<uint32_t>(count), verified, SpotterHeld(&c->spotter));
}

bool BadOptions(const GpsFindOptions* o, const GpsFindResult* r) {
  return !o || !r || o->timeLimitMs < 1 || o->timeLimitMs > LONGEST_SEARCH_MS ||
         (o->baudRate != GPS_BAUD_AUTO && !IsLineSpeed(o->baudRate));
}

// A port the caller holds: a slot of the serial layer in use, or the one the
// receiver's link holds or waits for.
bool CallersPort(int32_t index) {
  const ComPort* slot = OrvoCOMGetPort(index);
  return slot->isOpen || OrvoCOMIsPortClosing(slot) || LinkPortIndex() == index;
}

// Opens the ports to search; returns the bits of those opened and stores the
// bits of those passed over.
uint32_t OpenCandidates(const GpsFindOptions* o, HANDLE wake, uint32_t* skipped) {
  uint32_t listed = 0;
  // A list that cannot be read leaves nothing to try.
  if (OrvoCOMListPorts(&listed) != 0) listed = 0;
  const uint32_t wanted = o->ports ? listed & o->ports : listed;
  uint32_t opened = 0;
  *skipped = 0;
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    Candidate& c = gCandidates[i];
    c.port = nullptr;
    if (!(wanted & 1u << i)) continue;
    if (CallersPort(i)) {
      *skipped |= 1u << i;
      continue;
    }
    c.index = i;
    c.hunt.wake = wake;
    LineSearchStart(&c.search, o->baudRate ? o->baudRate : LastFoundBaud(i));
    const uint32_t baud = LineSearchNext(&c.search);
    HuntStart(&c.hunt, baud, true);
    uint32_t error = 0;
    if (OpenReceiverPort(i, baud, &c, &c.port, FindRxBytes, &error) != 0) {
      c.port = nullptr;
      *skipped |= 1u << i;
      continue;
    }
    opened |= 1u << i;
  }
  return opened;
}

// Judges every open candidate; returns the one whose speed is taken, or
// null, and lowers *waitMs to when one needs a look again.
Candidate* JudgeCandidates(const GpsFindOptions* o, uint32_t* waitMs) {
  for (Candidate& c : gCandidates) {
    if (!c.port) continue;
    for (;;) {
      uint32_t wait = INFINITE;
      const LineVerdict verdict = HuntJudge(&c.hunt, &wait);
      if (verdict == LINE_TAKE) return &c;
      if (verdict == LINE_WAIT) {
        if (wait < *waitMs) *waitMs = wait;
        break;
      }
      if (o->baudRate) {
        HuntStart(&c.hunt, o->baudRate, true);  // the one speed asked for: listen on
      } else {
        // A speed the driver refuses is left after LINE_SILENT_MS like a
        // silent one.
        (void)HuntSwitch(&c.hunt, c.port, LineSearchNext(&c.search), true);
      }
    }
  }
  return nullptr;
}

int32_t Search(const GpsFindOptions* o, GpsFindResult* r, HANDLE wake) {
  GpsFindStatus status = {};
  const uint32_t tried = OpenCandidates(o, wake, &status.portsSkipped);
  status.portsTried = tried;
  const uint32_t startMs = HuntNowMs();
  uint32_t progressAt = startMs;
  for (;;) {
    const uint32_t now = HuntNowMs();
    status.elapsedMs = now - startMs;
    uint32_t waitMs = PROGRESS_EVERY_MS;
    Candidate* found = tried ? JudgeCandidates(o, &waitMs) : nullptr;
    if (found) {
      r->portIndex = found->index;
      r->baudRate = found->hunt.baudRate;
      RememberFoundBaud(found->index, found->hunt.baudRate);
    }
    const bool over = !found && (tried == 0 || status.elapsedMs >= o->timeLimitMs);
    if (o->progress && (found || over || now - progressAt >= PROGRESS_EVERY_MS)) {
      progressAt = now;
      if (o->progress(o->user, &status) != 0 && !found) return GPS_FIND_STOPPED;
    }
    if (found) return GPS_FIND_FOUND;
    if (over) return GPS_FIND_NOT_FOUND;
    const uint32_t left = o->timeLimitMs - status.elapsedMs;
    if (left < waitMs) waitMs = left;
    // Woken by a reader with news; a failed wait only shortens the pause.
    (void)WaitForSingleObject(wake, waitMs);
  }
}

}  // namespace

int32_t OrvoGPSFindReceiver(const GpsFindOptions* options, GpsFindResult* result) {
  if (BadOptions(options, result)) return GPS_FIND_BAD_OPTIONS;
  if (gFinding.exchange(true)) return GPS_FIND_BUSY;
  result->portIndex = -1;
  result->baudRate = 0;
  int32_t code = GPS_FIND_NOT_FOUND;
  HANDLE wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (wake) {
    code = Search(options, result, wake);
    for (Candidate& c : gCandidates) {
      // The slot is closed whatever CloseHandle says.
      if (c.port) (void)OrvoCOMClosePort(c.port);
      c.port = nullptr;
    }
    (void)CloseHandle(wake);  // our own event
  }
  gFinding.store(false);
  return code;
}
