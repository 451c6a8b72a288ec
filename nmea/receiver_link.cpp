// The link of a receiver opened with OrvoGPSOpenWith: a thread of its own
// that searches the speed, tells whether sentences verify, and, when asked,
// opens the port again after its device went away.  From the open to the
// close it alone opens, reconfigures and closes the receiver's port.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "comport/comport.h"
#include "nmea/line_judge.h"
#include "nmea/link_silence.h"
#include "nmea/nmea_internal.h"
#include "nmea/port_hunt.h"
#include "nmea/receiver_internal.h"

namespace {

// A gone device is tried again this often.
constexpr DWORD REOPEN_EVERY_MS = 1000;

struct Link {
  GpsContext* context;
  int32_t portIndex;
  uint32_t fixedBaud;  // 0: search
  bool reconnect;
  HANDLE thread;
  HANDLE stop;
  PortHunt hunt;
  // The link thread's own.
  LineSearch search;
  bool searching;
  uint32_t takenBaud;    // the speed last taken by the search; 0: none
  uint32_t quietFromMs;  // when the port was last (re)opened
  // The thread that opens the port, or null.
  struct Opener* opener;
  HANDLE openerThread;
  // What OrvoGPSGetLink reports: state << 40 | (portIndex + 1) << 32 | baud.
  std::atomic<uint64_t> shown;
  std::atomic<uint32_t> reconnects;
  std::atomic<bool> closing;
};

Link gLink;

void Show(int32_t state, uint32_t baudRate) {
  const uint64_t port = state == GPS_LINK_CLOSED ? 0 : static_cast<uint64_t>(gLink.portIndex + 1);
  gLink.shown.store(static_cast<uint64_t>(state) << 40 | port << 32 | baudRate,
                    std::memory_order_release);
}

// The receive handler of a link's port, on its reader thread.
void LinkRxBytes(void* userData, const unsigned char* bytes, int32_t count) {
  GpsContext* context = static_cast<GpsContext*>(userData);
  if (HuntBlockBegins(&gLink.hunt)) GpsRestartFramer(context);
  const uint32_t before = GpsVerifiedCount(context);
  GpsRxBytes(context, bytes, count);
  HuntBlockEnds(&gLink.hunt, static_cast<uint32_t>(count), GpsVerifiedCount(context) - before,
                GpsHeldCount(context));
}

// The receiver's port is opened on a thread of its own, the opener, one for
// the whole link: a Bluetooth port's CreateFileA blocks for 3 to 30 s while
// the stack pages the device, and a close must not wait for it.  The opener
// sleeps on its request event between opens, so a gone device retried every
// second costs a wake and no thread.  The link adopts each port once it is
// open; a close that comes first abandons the opener, which closes the port
// itself when its open returns and ends.  The port's bytes reach the receiver
// only once it is adopted, so a late port never feeds the context.
enum : int32_t {
  OPENER_IDLE,
  OPENER_OPENING,
  OPENER_OPENED,
  OPENER_FAILED,
  OPENER_ADOPTED,
  OPENER_ABANDONED,  // also: asked to end while idle
};

struct Opener {
  std::atomic<int32_t> holders;  // the opener thread and the link
  std::atomic<int32_t> phase;
  HANDLE request;  // auto reset: the link asks for an open or the end
  HANDLE done;     // auto reset: the opener's open returned
  // Written by the link before a request, by the opener before done.
  int32_t portIndex;
  uint32_t baud;
  ComPort* port;
  int32_t code;
  uint32_t error;
};

// OpenSession's result when the link was told to stop while it waited.
constexpr int32_t OPEN_STOPPED = -1;
// OrvoCOMOpenPort's code for a failure to start a thread.
constexpr int32_t OPEN_NO_THREAD = 14;

void ReleaseOpener(Opener* opener) {
  if (opener->holders.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  (void)CloseHandle(opener->request);  // our own events
  (void)CloseHandle(opener->done);
  delete opener;
}

void OpenerRxBytes(void* userData, const unsigned char* bytes, int32_t count) {
  const Opener* opener = static_cast<const Opener*>(userData);
  if (opener->phase.load(std::memory_order_acquire) == OPENER_ADOPTED)
    LinkRxBytes(gLink.context, bytes, count);
}

DWORD WINAPI OpenerProc(LPVOID arg) {
  Opener* opener = static_cast<Opener*>(arg);
  // Only invalid handles fail the wait, and ours stay valid while we hold them.
  while (WaitForSingleObject(opener->request, INFINITE) == WAIT_OBJECT_0 &&
         opener->phase.load(std::memory_order_acquire) == OPENER_OPENING) {
    opener->code = OpenReceiverPort(opener->portIndex, opener->baud, opener, &opener->port,
                                    OpenerRxBytes, &opener->error);
    int32_t opening = OPENER_OPENING;
    if (!opener->phase.compare_exchange_strong(
            opening, opener->code == 0 ? OPENER_OPENED : OPENER_FAILED, std::memory_order_acq_rel)) {
      // Abandoned: nobody wants the port any more.
      if (opener->code == 0) (void)OrvoCOMClosePort(opener->port);
      break;
    }
    (void)SetEvent(opener->done);
  }
  ReleaseOpener(opener);
  return 0;
}

// Starts the link's opener; false, with the error, when it cannot.
bool StartOpener(uint32_t* error) {
  HANDLE request = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE done = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  Opener* opener = nullptr;
  HANDLE thread = nullptr;
  if (request && done) {
    opener = new Opener{{2}, {OPENER_IDLE}, request, done, gLink.portIndex, 0, nullptr, 0, 0};
    thread = CreateThread(nullptr, 0, OpenerProc, opener, 0, nullptr);
  }
  if (!thread) {
    *error = GetLastError();
    if (request) (void)CloseHandle(request);
    if (done) (void)CloseHandle(done);
    delete opener;
    return false;
  }
  gLink.opener = opener;
  gLink.openerThread = thread;
  return true;
}

// Ends the link's opener: at once and waited for when it is idle; when it
// was abandoned inside an open it ends by itself once the open returns.
void EndOpener() {
  if (!gLink.opener) return;
  int32_t idle = OPENER_IDLE;
  const bool wasIdle = gLink.opener->phase.compare_exchange_strong(idle, OPENER_ABANDONED,
                                                                   std::memory_order_acq_rel);
  if (wasIdle) (void)SetEvent(gLink.opener->request);
  ReleaseOpener(gLink.opener);
  if (wasIdle) (void)WaitForSingleObject(gLink.openerThread, INFINITE);
  (void)CloseHandle(gLink.openerThread);
  gLink.opener = nullptr;
  gLink.openerThread = nullptr;
}

// Opens the receiver's port at baud on the opener and waits for it, or for
// the link's stop; returns OrvoCOMOpenPort's result or OPEN_STOPPED.
int32_t OpenSession(uint32_t baud, uint32_t* error) {
  if (!gLink.opener && !StartOpener(error)) return OPEN_NO_THREAD;
  Opener* opener = gLink.opener;
  opener->baud = baud;
  opener->phase.store(OPENER_OPENING, std::memory_order_release);
  (void)SetEvent(opener->request);  // alive while we hold the opener
  HANDLE waits[2] = {opener->done, gLink.stop};
  if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
    int32_t opening = OPENER_OPENING;
    if (opener->phase.compare_exchange_strong(opening, OPENER_ABANDONED,
                                              std::memory_order_acq_rel)) {
      EndOpener();
      return OPEN_STOPPED;
    }
    // The open returned meanwhile: taken as it came, the stop follows.
    (void)WaitForSingleObject(opener->done, INFINITE);  // set right after the phase
  }
  if (opener->phase.load(std::memory_order_acquire) == OPENER_FAILED) {
    *error = opener->error;
    opener->phase.store(OPENER_IDLE, std::memory_order_release);
    return opener->code;
  }
  opener->phase.store(OPENER_ADOPTED, std::memory_order_release);
  gLink.context->port = opener->port;
  return 0;
}

// Where a (re)open starts: at the caller's speed; at the speed last taken,
// kept while the receiver is silent (it most likely talks at it still when
// it comes back); else the search goes on where it was.  The first open
// searches from first.
uint32_t SpeedToOpenAt(bool firstOpen, uint32_t first) {
  if (gLink.fixedBaud != 0) return gLink.fixedBaud;
  if (gLink.takenBaud != 0) {
    gLink.searching = false;
    return gLink.takenBaud;
  }
  if (firstOpen) LineSearchStart(&gLink.search, first);
  gLink.searching = true;
  return LineSearchNext(&gLink.search);
}

// Opens the port (context->port); returns OrvoCOMOpenPort's result.
int32_t OpenPort(bool firstOpen, uint32_t first, uint32_t* error) {
  uint32_t baud = SpeedToOpenAt(firstOpen, first);
  int32_t code = 0;
  for (int32_t tried = 1;; ++tried) {
    // The generation before the port: its reader may deliver at once.
    HuntStart(&gLink.hunt, baud, gLink.searching);
    code = OpenSession(baud, error);
    // A speed the driver refuses is passed over at once while searching.
    if (code != COM_SPEED_REFUSED || !gLink.searching || tried == LINE_SPEED_COUNT) break;
    baud = LineSearchNext(&gLink.search);
  }
  if (code != 0) return code;
  gLink.quietFromMs = HuntNowMs();
  PublishReceiverPort(gLink.context->port);
  OrvoCOMWatchDevice(gLink.context->port, gLink.hunt.wake);
  Show(gLink.searching ? GPS_LINK_SEARCHING : GPS_LINK_NO_SENTENCES, baud);
  return 0;
}

void ClosePort() {
  // Returns 1 for a device whose CloseHandle failed; the slot is closed all
  // the same, and a gone device is the usual case.
  PublishReceiverPort(nullptr);
  (void)OrvoCOMClosePort(gLink.context->port);
  gLink.context->port = nullptr;
  // The port's reader has ended: the opener may take the next request.
  gLink.opener->phase.store(OPENER_IDLE, std::memory_order_release);
}

// Closes the port and opens it again at once; true when it opened.
bool Reopen() {
  ClosePort();
  uint32_t error = 0;
  if (OpenPort(false, 0, &error) != 0) return false;
  gLink.reconnects.fetch_add(1, std::memory_order_relaxed);
  return true;
}

// How long nothing verified: since the last sentence or frame, or since the
// port was (re)opened if that is later.  With wake, asks first to be woken
// by the next block that verifies.
LinkSilence Silence(bool wake) {
  if (wake) HuntWakeOnHeard(&gLink.hunt);
  const uint64_t heard = HuntHeard(&gLink.hunt);
  const uint32_t since = LaterMs(LinkHeardLastMs(heard), gLink.quietFromMs);
  return JudgeSilence(HuntNowMs() - since, LinkHeardCycleMs(heard), gLink.reconnect);
}

DWORD Sooner(DWORD a, uint32_t b) { return b < a ? b : a; }

// While searching: moves the search on or takes a speed.
DWORD SteerSearch(ComPort* port) {
  PortHunt& hunt = gLink.hunt;
  uint32_t waitMs = INFINITE;
  for (;;) {
    const LineVerdict verdict = HuntJudge(&hunt, &waitMs);
    if (verdict == LINE_WAIT) return waitMs;
    if (verdict == LINE_TAKE) {
      gLink.searching = false;
      gLink.takenBaud = hunt.baudRate;
      hunt.searching.store(0, std::memory_order_relaxed);
      RememberFoundBaud(gLink.portIndex, hunt.baudRate);
      Show(GPS_LINK_RECEIVING, hunt.baudRate);
      return 0;  // from now on silence is timed
    }
    Show(GPS_LINK_SEARCHING, HuntNextSpeed(&hunt, port, &gLink.search));
  }
}

// Moves the search on, takes or gives up a speed, tells silence from
// sentences and reopens a silent port; returns how long the thread may sleep
// before it has to look again.
DWORD Steer(ComPort* port) {
  PortHunt& hunt = gLink.hunt;
  if (gLink.searching) {
    // The search itself leaves a silent speed; the port is reopened when it
    // stays silent at every speed.
    const LinkSilence silence =
        gLink.reconnect ? Silence(false) : LinkSilence{false, false, INFINITE};
    if (silence.reopen) return Reopen() ? 0 : REOPEN_EVERY_MS;
    const DWORD waitMs = SteerSearch(port);
    return gLink.searching ? Sooner(waitMs, silence.waitMs) : 0;
  }
  uint32_t flags = HuntFlags(&hunt);
  if (flags & LINE_GARBAGE) {
    if (gLink.fixedBaud == 0) {
      // The receiver was reconfigured or restarted at another speed.
      gLink.takenBaud = 0;
      LineSearchStart(&gLink.search, 0);
      gLink.searching = true;
      Show(GPS_LINK_SEARCHING, HuntNextSpeed(&hunt, port, &gLink.search));
      return 0;
    }
    // The caller's speed stays; a new generation may take it again.
    HuntStart(&hunt, hunt.baudRate, false);
    flags = 0;
  }
  LinkSilence silence = Silence(false);
  // Not receiving: the first block that verifies wakes the thread.
  if (!(flags & LINE_SENTENCES) || silence.silent) silence = Silence(true);
  if (silence.reopen) return Reopen() ? 0 : REOPEN_EVERY_MS;
  if ((flags & LINE_SENTENCES) && !silence.silent) {
    RememberFoundBaud(gLink.portIndex, hunt.baudRate);
    if (gLink.fixedBaud == 0) gLink.takenBaud = hunt.baudRate;
    Show(GPS_LINK_RECEIVING, hunt.baudRate);
  } else {
    Show(GPS_LINK_NO_SENTENCES, hunt.baudRate);
  }
  return silence.waitMs;
}

DWORD WINAPI LinkProc(LPVOID) {
  for (;;) {
    DWORD waitMs;
    ComPort* port = gLink.context->port;
    if (port && OrvoCOMIsDeviceGone(port)) {
      Show(GPS_LINK_DEVICE_LOST, gLink.hunt.baudRate);
      if (gLink.reconnect) {
        ClosePort();
        waitMs = REOPEN_EVERY_MS;
      } else {
        // The port stays as it is; a block that verifies wakes the link, and
        // a read that delivers makes the device present again.
        HuntWakeOnHeard(&gLink.hunt);
        waitMs = INFINITE;
      }
    } else if (port) {
      waitMs = Steer(port);
    } else {
      uint32_t error = 0;
      const int32_t code = OpenPort(false, 0, &error);
      if (code == OPEN_STOPPED) break;
      if (code == 0) {
        gLink.reconnects.fetch_add(1, std::memory_order_relaxed);
        continue;
      }
      Show(GPS_LINK_DEVICE_LOST, gLink.hunt.baudRate);
      waitMs = REOPEN_EVERY_MS;
    }
    if (waitMs == 0) continue;
    HANDLE waits[2] = {gLink.stop, gLink.hunt.wake};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, waitMs);
    if (woken == WAIT_OBJECT_0) break;
    // Only invalid handles fail a wait; pause so that a retry cannot spin.
    if (woken == WAIT_FAILED) Sleep(REOPEN_EVERY_MS);
  }
  if (gLink.context->port) ClosePort();
  EndOpener();
  return 0;
}

// Waits until thread has ended, serving messages sent to this thread
// meanwhile: the port's close inside it waits for a reader that may be in a
// callback sending to this thread's windows.
void WaitServingMessages(HANDLE thread) {
  for (;;) {
    MSG msg;
    (void)PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    const DWORD result =
        MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
    if (result == WAIT_OBJECT_0) return;
    if (result == WAIT_FAILED) {
      (void)WaitForSingleObject(thread, INFINITE);
      return;
    }
  }
}

void ReportThreadFailure(DWORD error) {
  char message[100] = {};
  snprintf(message, sizeof message, "OrvoGPSOpenWith: cannot start the link thread err=0x%x\n",
           static_cast<unsigned>(error));
  OutputDebugStringA(message);
}

void CloseEvents() {
  if (gLink.stop) (void)CloseHandle(gLink.stop);  // events of our own
  if (gLink.hunt.wake) (void)CloseHandle(gLink.hunt.wake);
  gLink.stop = nullptr;
  gLink.hunt.wake = nullptr;
}

}  // namespace

int32_t LinkOpen(int32_t portIndex, const GpsOpenOptions* options, GpsContext* context) {
  gLink.context = context;
  gLink.portIndex = portIndex;
  gLink.fixedBaud = options->baudRate;
  gLink.reconnect = options->reconnect != 0;
  gLink.searching = false;
  gLink.takenBaud = 0;
  // A new receiver: nothing heard of it yet, its cycle unknown.
  LinkHeardStart(&gLink.hunt.heardTrack);
  gLink.hunt.heard.store(0);
  gLink.reconnects.store(0, std::memory_order_relaxed);
  gLink.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gLink.hunt.wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!gLink.stop || !gLink.hunt.wake) {
    ReportThreadFailure(GetLastError());
    CloseEvents();
    return 1;
  }
  // The serial layer stores no error for a bad index, so it must read as 0.
  uint32_t error = 0;
  const int32_t code = OpenPort(true, LastFoundBaud(portIndex), &error);
  if (code != 0) {
    ReportOpenFailure(code, error);
    EndOpener();
    CloseEvents();
    Show(GPS_LINK_CLOSED, 0);
    return 1;
  }
  gLink.thread = CreateThread(nullptr, 0, LinkProc, nullptr, 0, nullptr);
  if (!gLink.thread) {
    ReportThreadFailure(GetLastError());
    ClosePort();
    EndOpener();
    CloseEvents();
    Show(GPS_LINK_CLOSED, 0);
    return 1;
  }
  return 0;
}

void LinkClose() {
  if (!gLink.thread) return;
  gLink.closing.store(true, std::memory_order_relaxed);
  (void)SetEvent(gLink.stop);  // our own event, valid while the thread runs
  WaitServingMessages(gLink.thread);
  (void)CloseHandle(gLink.thread);
  gLink.thread = nullptr;
  CloseEvents();
  Show(GPS_LINK_CLOSED, 0);
  gLink.closing.store(false, std::memory_order_relaxed);
}

bool LinkClosing() { return gLink.closing.load(std::memory_order_relaxed); }

int32_t LinkPortIndex() {
  const uint64_t shown = gLink.shown.load(std::memory_order_acquire);
  return static_cast<int32_t>(shown >> 32 & 0xFF) - 1;
}

bool LinkReport(GpsLink* link) {
  const uint64_t shown = gLink.shown.load(std::memory_order_acquire);
  const int32_t state = static_cast<int32_t>(shown >> 40);
  if (state == GPS_LINK_CLOSED) return false;
  link->state = state;
  link->portIndex = static_cast<int32_t>(shown >> 32 & 0xFF) - 1;
  link->baudRate = static_cast<uint32_t>(shown);
  link->reconnects = gLink.reconnects.load(std::memory_order_relaxed);
  return true;
}
