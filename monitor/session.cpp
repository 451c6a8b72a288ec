#include "monitor/session.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include <nmea/receiver.h>

#include "monitor/record_file.h"
#include "monitor/server_link.h"
#include "monitor/server_stream.h"

namespace {

// How long Auto looks for a receiver before it gives up.
constexpr uint32_t FIND_LIMIT_MS = 60000;

HWND gWindow;
GpsContext* gContext;
// The context a server's sentences are fed to, and the server's address.
GpsContext* gServerContext;
char gServerName[SERVER_HOST_SIZE + 8];
int32_t gPortIndex = -1;

// The port search, on a thread of its own so that the window stays live.
struct Search {
  HANDLE thread;
  uint32_t baudRate;
  std::atomic<int32_t> cancel;
  std::atomic<uint32_t> elapsedMs;
  std::atomic<uint32_t> portsTried;
  int32_t code;
  GpsFindResult result;
  WPARAM generation;  // tells a stale WM_APP_FOUND from the current one
  int32_t notFound;
} gSearch;

// The latest epoch, handed from the reader thread to the window.  The lock is
// held for a copy only, on either side.
struct Mailbox {
  CRITICAL_SECTION lock;
  std::atomic<bool> posted;
  GpsFix fix;
  GpsSky sky;
} gMailbox;

// Every sentence the framer leaves, on its way to the sentences page.
unsigned char gSentenceStorage[1 << 16];
SentenceTap gSentenceTap;

void CopySky(GpsSky* to, const GpsSky& from) {
  to->signalCount = from.signalCount;
  to->usedCount = from.usedCount;
  to->notShown = from.notShown;
  std::memcpy(to->signals, from.signals, sizeof from.signals[0] * static_cast<size_t>(from.signalCount));
}

// Reader thread, once per completed epoch.
void OnEpoch(GpsContext*, const GpsFix* fix, const GpsSky* sky) {
  EnterCriticalSection(&gMailbox.lock);
  gMailbox.fix = *fix;
  CopySky(&gMailbox.sky, *sky);
  LeaveCriticalSection(&gMailbox.lock);
  // One message until the window has taken it: the window redraws once per
  // epoch at most, whatever its backlog.
  if (!gMailbox.posted.exchange(true)) PostMessageA(gWindow, WM_APP_EPOCH, 0, 0);
}

int32_t IgnoreSentence(GpsContext*, SentenceType, void*, int32_t) { return 0; }

// Reader thread, for every sentence the framer leaves.
void OnSentence(GpsContext* context, const char* text, int32_t length, int32_t verdict) {
  GpsStats stats;
  if (GpsGetStats(context, &stats) != 0) return;
  SentenceTapTell(&gSentenceTap, text, length, verdict, stats.bytes);
}

// Reader thread, for every block the port delivers.
void OnBytes(GpsContext*, const unsigned char* bytes, int32_t count) { RecordFeed(bytes, count); }

// Before a context's callbacks are set: what an earlier stream left is not
// this one's.
void TapNewStream(GpsContext* context) {
  (void)RingTake(&gSentenceTap.ring, nullptr, RingWaiting(&gSentenceTap.ring));
  SentenceTapRestart(&gSentenceTap);
  (void)GpsSetSentenceCallback(context, OnSentence);  // fails only for a null context
  (void)GpsSetBytesCallback(context, OnBytes);
}

int32_t OnSearchProgress(void*, const GpsFindStatus* status) {
  gSearch.elapsedMs = status->elapsedMs;
  gSearch.portsTried = status->portsTried;
  return gSearch.cancel.load();
}

DWORD WINAPI SearchProc(LPVOID generation) {
  GpsFindOptions options = {FIND_LIMIT_MS, gSearch.baudRate, 0, OnSearchProgress, nullptr};
  gSearch.code = OrvoGPSFindReceiver(&options, &gSearch.result);
  PostMessageA(gWindow, WM_APP_FOUND, reinterpret_cast<WPARAM>(generation), 0);
  return 0;
}

bool Open(int32_t portIndex, uint32_t baudRate, char* reason, int size) {
  const GpsOpenOptions options = {baudRate, 1};
  GpsContext* context = nullptr;
  const int32_t code = OrvoGPSOpenWith(portIndex, &options, IgnoreSentence, &context);
  if (code != GPS_OPEN_OK) {
    std::snprintf(reason, size, "COM%d cannot be opened: absent, or in use by another program",
                  static_cast<int>(portIndex + 1));
    return false;
  }
  gContext = context;
  gPortIndex = portIndex;
  (void)GpsSetEpochCallback(context, OnEpoch);  // fails only for a null context
  TapNewStream(context);
  return true;
}

void EndSearch() {
  if (!gSearch.thread) return;
  gSearch.cancel = 1;
  // The search looks at cancel every 100 ms or so.
  (void)WaitForSingleObject(gSearch.thread, INFINITE);
  (void)CloseHandle(gSearch.thread);
  gSearch.thread = nullptr;
}

}  // namespace

void SessionInit(HWND window) {
  gWindow = window;
  InitializeCriticalSection(&gMailbox.lock);
  SentenceTapInit(&gSentenceTap, gSentenceStorage, sizeof gSentenceStorage);
  RecordInit();
}

bool SessionStart(int32_t portIndex, uint32_t baudRate, char* reason, int size) {
  SessionStop();
  gSearch.notFound = 0;
  if (portIndex >= 0) return Open(portIndex, baudRate, reason, size);
  gSearch.baudRate = baudRate;
  gSearch.cancel = 0;
  gSearch.elapsedMs = 0;
  gSearch.portsTried = 0;
  ++gSearch.generation;
  gSearch.thread = CreateThread(nullptr, 0, SearchProc, reinterpret_cast<LPVOID>(gSearch.generation), 0, nullptr);
  if (!gSearch.thread) {
    std::snprintf(reason, size, "cannot start the port search (error %lu)", GetLastError());
    return false;
  }
  return true;
}

bool SessionStartServer(const char* host, uint16_t port, char* reason, int size) {
  SessionStop();
  GpsContext* context = GpsContextInit(IgnoreSentence);
  (void)GpsSetEpochCallback(context, OnEpoch);
  TapNewStream(context);
  std::snprintf(gServerName, sizeof gServerName, "%s:%u", host, static_cast<unsigned>(port));
  if (!ServerLinkStart(host, port, context, reason, size)) return false;
  gServerContext = context;
  return true;
}

void SessionStop() {
  EndSearch();
  if (gServerContext) {
    ServerLinkStop();
    (void)GpsSetEpochCallback(gServerContext, nullptr);
    (void)GpsSetSentenceCallback(gServerContext, nullptr);
    (void)GpsSetBytesCallback(gServerContext, nullptr);
    gServerContext = nullptr;
    RecordEnd();
  }
  if (gContext) {
    (void)GpsSetEpochCallback(gContext, nullptr);
    (void)GpsSetSentenceCallback(gContext, nullptr);
    (void)GpsSetBytesCallback(gContext, nullptr);
    (void)OrvoGPSClose(gContext);  // returns 0 for the context it opened
    gContext = nullptr;
    RecordEnd();  // the reader thread has ended: every byte it handed over is written
  }
  gPortIndex = -1;
}

bool SessionActive() { return gSearch.thread != nullptr || gContext != nullptr || gServerContext != nullptr; }

bool SessionFound(WPARAM generation, char* reason, int size) {
  if (generation != gSearch.generation || !gSearch.thread) return true;  // a search stopped since
  EndSearch();
  if (gSearch.code != GPS_FIND_FOUND) {
    gSearch.notFound = 1;
    std::snprintf(reason, size, "no receiver found");
    return false;
  }
  // The open searches the speed again, starting at the one just found.
  return Open(gSearch.result.portIndex, GPS_BAUD_AUTO, reason, size);
}

bool SessionTakeEpoch(GpsFix* fix, GpsSky* sky) {
  if (!gMailbox.posted.exchange(false)) return false;
  EnterCriticalSection(&gMailbox.lock);
  *fix = gMailbox.fix;
  CopySky(sky, gMailbox.sky);
  LeaveCriticalSection(&gMailbox.lock);
  return true;
}

void SessionLinkView(LinkView* view) {
  *view = {};
  view->finding = gSearch.thread != nullptr;
  view->findElapsedMs = gSearch.elapsedMs;
  view->portsTried = gSearch.portsTried;
  view->notFound = gSearch.notFound;
  view->link.state = GPS_LINK_CLOSED;
  view->link.portIndex = -1;
  if (gServerContext) {
    view->server = gServerName;
    view->serverState = ServerLinkState(&view->serverError);
    if (GpsGetStats(gServerContext, &view->stats) != 0) view->stats = {};
    return;
  }
  if (!gContext) return;
  (void)OrvoGPSGetLink(gContext, &view->link);  // fails only for null arguments
  if (OrvoGPSGetStats(gContext, &view->stats, nullptr) != 0) view->stats = {};
}

int32_t SessionTakeSentences(SentenceLog* log) { return SentenceLogTake(log, &gSentenceTap); }

bool SessionSource(char* name, int size, uint32_t* baudRate) {
  if (gServerContext) {
    std::snprintf(name, size, "server %s", gServerName);
    *baudRate = 0;
    return true;
  }
  if (!gContext) return false;
  GpsLink link;
  if (OrvoGPSGetLink(gContext, &link) != 0) return false;
  std::snprintf(name, size, "COM%d", static_cast<int>(link.portIndex + 1));
  *baudRate = link.baudRate;
  return true;
}
