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

// The event readers and openers set when the search has something to look
// at.  An open may outlive the search that started it (a Bluetooth port's
// CreateFileA blocks for up to 30 s), so the event goes when its last
// holder lets go.
struct SharedWake {
  HANDLE event;
  std::atomic<int32_t> holders;
};

SharedWake* NewWake() {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!event) return nullptr;
  return new SharedWake{event, {1}};
}

void ReleaseWake(SharedWake* wake) {
  if (wake->holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  (void)CloseHandle(wake->event);  // our own event
  delete wake;
}

// A candidate's phase: its opener thread moves it from OPENING to OPEN or
// FAILED, unless the search has returned meanwhile and made it ABANDONED:
// the opener then closes what it opened and makes it IDLE.
enum : int32_t { IDLE = 0, OPENING = 1, OPEN = 2, FAILED = 3, ABANDONED = 4 };

struct Candidate {
  int32_t index;
  std::atomic<int32_t> phase;
  ComPort* port;  // set by the opener before OPEN
  SharedWake* wake;
  bool oneSpeed;  // the caller asked for one speed only
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

// One port's open, on a thread of its own: the search's clock and progress
// go on whatever it costs.
DWORD WINAPI OpenerProc(LPVOID arg) {
  Candidate* c = static_cast<Candidate*>(arg);
  ComPort* port = nullptr;
  uint32_t error = 0;
  int32_t code = 0;
  for (int32_t tried = 1;; ++tried) {
    const uint32_t baud = LineSearchNext(&c->search);
    HuntStart(&c->hunt, baud, true);
    code = OpenReceiverPort(c->index, baud, c, &port, FindRxBytes, &error);
    // A speed the driver refuses is passed over at once.
    if (code != COM_SPEED_REFUSED || c->oneSpeed || tried == LINE_SPEED_COUNT) break;
  }
  c->port = code == 0 ? port : nullptr;
  int32_t opening = OPENING;
  SharedWake* wake = c->wake;
  if (c->phase.compare_exchange_strong(opening, code == 0 ? OPEN : FAILED,
                                       std::memory_order_acq_rel)) {
    (void)SetEvent(wake->event);  // held until ReleaseWake
  } else {
    // The search has returned: nobody wants the port any more.
    if (code == 0) (void)OrvoCOMClosePort(port);
    c->port = nullptr;
    c->phase.store(IDLE, std::memory_order_release);
  }
  ReleaseWake(wake);
  return 0;
}

// Starts the opens of the ports to search; returns the bits of those whose
// open began and stores the bits of those passed over.
uint32_t StartOpens(const GpsFindOptions* o, SharedWake* wake, uint32_t* skipped) {
  uint32_t listed = 0;
  // A list that cannot be read leaves nothing to try.
  if (OrvoCOMListPorts(&listed) != 0) listed = 0;
  const uint32_t wanted = o->ports ? listed & o->ports : listed;
  uint32_t started = 0;
  *skipped = 0;
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    Candidate& c = gCandidates[i];
    if (!(wanted & 1u << i)) continue;
    // An open left by an earlier search still under way holds the slot too.
    if (CallersPort(i) || c.phase.load(std::memory_order_acquire) != IDLE) {
      *skipped |= 1u << i;
      continue;
    }
    c.index = i;
    c.port = nullptr;
    c.wake = wake;
    c.oneSpeed = o->baudRate != GPS_BAUD_AUTO;
    c.hunt.wake = wake->event;
    LineSearchStart(&c.search, o->baudRate ? o->baudRate : LastFoundBaud(i));
    c.phase.store(OPENING, std::memory_order_release);
    wake->holders.fetch_add(1, std::memory_order_relaxed);
    HANDLE thread = CreateThread(nullptr, 0, OpenerProc, &c, 0, nullptr);
    if (!thread) {
      wake->holders.fetch_sub(1, std::memory_order_relaxed);
      c.phase.store(IDLE, std::memory_order_release);
      *skipped |= 1u << i;
      continue;
    }
    (void)CloseHandle(thread);  // it ends by itself
    started |= 1u << i;
  }
  return started;
}

// Judges every open candidate; returns the one whose speed is taken, or
// null, and lowers *waitMs to when one needs a look again.  Keeps the bits
// of the ports listened to and of those that did not open.
Candidate* JudgeCandidates(const GpsFindOptions* o, uint32_t started, GpsFindStatus* status,
                           bool* opening, uint32_t* waitMs) {
  *opening = false;
  uint32_t open = 0;
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    if (!(started & 1u << i)) continue;
    const int32_t phase = gCandidates[i].phase.load(std::memory_order_acquire);
    if (phase == OPENING) *opening = true;
    if (phase == FAILED) status->portsSkipped |= 1u << i;
    if (phase == OPEN) open |= 1u << i;
  }
  status->portsTried = open;
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    if (!(open & 1u << i)) continue;
    Candidate& c = gCandidates[i];
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
        (void)HuntNextSpeed(&c.hunt, c.port, &c.search);
      }
    }
  }
  return nullptr;
}

int32_t Search(const GpsFindOptions* o, GpsFindResult* r, HANDLE wake, uint32_t startMs,
               uint32_t started, uint32_t skipped) {
  GpsFindStatus status = {};
  uint32_t progressAt = startMs;
  for (;;) {
    const uint32_t now = HuntNowMs();
    status.elapsedMs = now - startMs;
    status.portsSkipped = skipped;
    uint32_t waitMs = PROGRESS_EVERY_MS - (now - progressAt) % PROGRESS_EVERY_MS;
    bool opening = false;
    Candidate* found = JudgeCandidates(o, started, &status, &opening, &waitMs);
    if (found) {
      r->portIndex = found->index;
      r->baudRate = found->hunt.baudRate;
      RememberFoundBaud(found->index, found->hunt.baudRate);
    }
    const bool nothingLeft = !opening && status.portsTried == 0;
    const bool over = !found && (nothingLeft || status.elapsedMs >= o->timeLimitMs);
    if (o->progress && (found || over || now - progressAt >= PROGRESS_EVERY_MS)) {
      progressAt = now;
      if (o->progress(o->user, &status) != 0 && !found) return GPS_FIND_STOPPED;
    }
    if (found) return GPS_FIND_FOUND;
    if (over) return GPS_FIND_NOT_FOUND;
    const uint32_t left = o->timeLimitMs - status.elapsedMs;
    if (left < waitMs) waitMs = left;
    // Woken by a reader or an opener with news; a failed wait only shortens
    // the pause.
    (void)WaitForSingleObject(wake, waitMs);
  }
}

// Closes what the search opened; an open still under way is left to close
// its port itself.
void EndSearch(uint32_t started) {
  for (int32_t i = 0; i < COM_PORT_COUNT; ++i) {
    if (!(started & 1u << i)) continue;
    Candidate& c = gCandidates[i];
    int32_t opening = OPENING;
    if (c.phase.compare_exchange_strong(opening, ABANDONED, std::memory_order_acq_rel)) continue;
    // The slot is closed whatever CloseHandle says.
    if (c.port) (void)OrvoCOMClosePort(c.port);
    c.port = nullptr;
    c.phase.store(IDLE, std::memory_order_release);
  }
}

}  // namespace

int32_t OrvoGPSFindReceiver(const GpsFindOptions* options, GpsFindResult* result) {
  const uint32_t startMs = HuntNowMs();
  if (BadOptions(options, result)) return GPS_FIND_BAD_OPTIONS;
  if (gFinding.exchange(true)) return GPS_FIND_BUSY;
  result->portIndex = -1;
  result->baudRate = 0;
  int32_t code = GPS_FIND_NOT_FOUND;
  SharedWake* wake = NewWake();
  if (wake) {
    uint32_t skipped = 0;
    const uint32_t started = StartOpens(options, wake, &skipped);
    if (started == 0) {
      if (options->progress) {
        GpsFindStatus status = {HuntNowMs() - startMs, 0, skipped};
        (void)options->progress(options->user, &status);
      }
    } else {
      code = Search(options, result, wake->event, startMs, started, skipped);
      EndSearch(started);
    }
    ReleaseWake(wake);
  }
  gFinding.store(false);
  return code;
}
