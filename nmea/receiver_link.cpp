// The link of a receiver opened with OrvoGPSOpenWith: a thread of its own
// that searches the speed, tells whether sentences verify, and, when asked,
// opens the port again after its device went away.  From the open to the
// close it alone opens, reconfigures and closes the receiver's port.
#include <windows.h>

#include <atomic>
#include <cstdio>

#include "comport/comport.h"
#include "nmea/line_judge.h"
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

// The speed to open at: the caller's, or the first of a search that starts
// at first.
uint32_t SpeedToOpenAt(uint32_t first) {
  if (gLink.fixedBaud != 0) return gLink.fixedBaud;
  LineSearchStart(&gLink.search, first);
  gLink.searching = true;
  return LineSearchNext(&gLink.search);
}

// Opens the port (context->port), searching from first; returns
// OrvoCOMOpenPort's result.
int32_t OpenPort(uint32_t first, uint32_t* error) {
  const uint32_t baud = SpeedToOpenAt(first);
  // The generation before the port: its reader may deliver at once.
  HuntStart(&gLink.hunt, baud, gLink.searching);
  const int32_t code = OpenReceiverPort(gLink.portIndex, baud, gLink.context, &gLink.context->port,
                                        LinkRxBytes, error);
  if (code != 0) return code;
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
}

// Moves the search on, or takes or gives up a speed; returns how long the
// thread may sleep before it has to look again.
DWORD Steer(ComPort* port) {
  PortHunt& hunt = gLink.hunt;
  if (gLink.searching) {
    uint32_t waitMs = INFINITE;
    for (;;) {
      const LineVerdict verdict = HuntJudge(&hunt, &waitMs);
      if (verdict == LINE_WAIT) return waitMs;
      if (verdict == LINE_TAKE) {
        gLink.searching = false;
        hunt.searching.store(0, std::memory_order_relaxed);
        RememberFoundBaud(gLink.portIndex, hunt.baudRate);
        Show(GPS_LINK_RECEIVING, hunt.baudRate);
        return INFINITE;
      }
      const uint32_t next = LineSearchNext(&gLink.search);
      // A speed the driver refuses is passed over: its generation starts all
      // the same and is left after LINE_SILENT_MS at most.
      (void)HuntSwitch(&hunt, port, next, true);
      Show(GPS_LINK_SEARCHING, next);
    }
  }
  const uint32_t flags = HuntFlags(&hunt);
  if (flags & LINE_GARBAGE) {
    if (gLink.fixedBaud == 0) {
      // The receiver was reconfigured or restarted at another speed.
      LineSearchStart(&gLink.search, 0);
      gLink.searching = true;
      const uint32_t next = LineSearchNext(&gLink.search);
      (void)HuntSwitch(&hunt, port, next, true);
      Show(GPS_LINK_SEARCHING, next);
      return Steer(port);
    }
    // The caller's speed stays; a new generation may take it again.
    HuntStart(&hunt, hunt.baudRate, false);
    Show(GPS_LINK_NO_SENTENCES, hunt.baudRate);
  } else if (flags & LINE_SENTENCES) {
    RememberFoundBaud(gLink.portIndex, hunt.baudRate);
    Show(GPS_LINK_RECEIVING, hunt.baudRate);
  }
  return INFINITE;
}

DWORD WINAPI LinkProc(LPVOID) {
  for (;;) {
    DWORD waitMs;
    ComPort* port = gLink.context->port;
    if (port && gLink.reconnect && OrvoCOMIsDeviceGone(port)) {
      ClosePort();
      Show(GPS_LINK_DEVICE_LOST, gLink.hunt.baudRate);
      waitMs = REOPEN_EVERY_MS;
    } else if (port) {
      waitMs = Steer(port);
    } else {
      uint32_t error = 0;
      // The speed in use when the device went away, taken or being tried:
      // the receiver most likely talks at it still.
      if (OpenPort(gLink.hunt.baudRate, &error) == 0) {
        gLink.reconnects.fetch_add(1, std::memory_order_relaxed);
        continue;
      }
      waitMs = REOPEN_EVERY_MS;
    }
    HANDLE waits[2] = {gLink.stop, gLink.hunt.wake};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, waitMs);
    if (woken == WAIT_OBJECT_0) break;
    // Only invalid handles fail a wait; pause so that a retry cannot spin.
    if (woken == WAIT_FAILED) Sleep(REOPEN_EVERY_MS);
  }
  if (gLink.context->port) ClosePort();
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
  const int32_t code = OpenPort(LastFoundBaud(portIndex), &error);
  if (code != 0) {
    ReportOpenFailure(code, error);
    CloseEvents();
    Show(GPS_LINK_CLOSED, 0);
    return 1;
  }
  gLink.thread = CreateThread(nullptr, 0, LinkProc, nullptr, 0, nullptr);
  if (!gLink.thread) {
    ReportThreadFailure(GetLastError());
    ClosePort();
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
