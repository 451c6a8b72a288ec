#include "monitor/server_link.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include <nmea/receiver.h>

#include "monitor/link_text.h"
#include "monitor/server_stream.h"

namespace {

constexpr DWORD RETRY_MS = 1000;
// Without a sentence for this long the link line says so.
constexpr ULONGLONG QUIET_MS = 3000;

struct Link {
  HANDLE thread;
  HANDLE stop;  // manual reset: set once, seen by every wait
  char host[SERVER_HOST_SIZE];
  char port[8];
  GpsContext* context;
  std::atomic<int32_t> state;
  std::atomic<uint32_t> error;
  std::atomic<ULONGLONG> lastNmeaTick;
  bool winsock;
} gLink;

bool Stopping() { return WaitForSingleObject(gLink.stop, 0) == WAIT_OBJECT_0; }

// A connected socket, or INVALID_SOCKET with error set; gives up at once
// when stop is set.
SOCKET Connect(uint32_t* error) {
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const int looked = getaddrinfo(gLink.host, gLink.port, &hints, &found);
  if (looked != 0) {
    *error = static_cast<uint32_t>(looked);
    return INVALID_SOCKET;
  }
  SOCKET s = INVALID_SOCKET;
  for (addrinfo* a = found; a && s == INVALID_SOCKET && !Stopping(); a = a->ai_next) {
    s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    // Connected without blocking, so that Stop is never held up by a server
    // that does not answer.
    WSAEVENT ready = WSACreateEvent();
    bool connected = false;
    if (ready != WSA_INVALID_EVENT && WSAEventSelect(s, ready, FD_CONNECT) == 0 &&
        (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 || WSAGetLastError() == WSAEWOULDBLOCK)) {
      HANDLE waits[2] = {gLink.stop, ready};
      WSANETWORKEVENTS events = {};
      if (WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0 + 1 &&
          WSAEnumNetworkEvents(s, ready, &events) == 0 && (events.lNetworkEvents & FD_CONNECT)) {
        connected = events.iErrorCode[FD_CONNECT_BIT] == 0;
        if (!connected) *error = static_cast<uint32_t>(events.iErrorCode[FD_CONNECT_BIT]);
      } else if (*error == 0) {
        *error = WSAETIMEDOUT;
      }
    } else {
      *error = static_cast<uint32_t>(WSAGetLastError());
    }
    if (ready != WSA_INVALID_EVENT) {
      (void)WSAEventSelect(s, nullptr, 0);
      (void)WSACloseEvent(ready);
    }
    if (!connected) {
      (void)closesocket(s);
      s = INVALID_SOCKET;
    }
  }
  freeaddrinfo(found);
  return s;
}

// Reads until the connection ends or stop is set; returns the error that
// ended it, 0 for a close by the server or a stop.
uint32_t Receive(SOCKET s) {
  if (send(s, SERVER_WATCH_REQUEST, static_cast<int>(std::strlen(SERVER_WATCH_REQUEST)), 0) == SOCKET_ERROR)
    return static_cast<uint32_t>(WSAGetLastError());
  WSAEVENT readable = WSACreateEvent();
  if (readable == WSA_INVALID_EVENT) return static_cast<uint32_t>(WSAGetLastError());
  uint32_t error = 0;
  if (WSAEventSelect(s, readable, FD_READ | FD_CLOSE) != 0) error = static_cast<uint32_t>(WSAGetLastError());
  ServerLines lines;
  ServerLinesInit(&lines);
  static char bytes[8192];
  static char nmea[sizeof bytes];
  HANDLE waits[2] = {gLink.stop, readable};
  while (error == 0 && WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
    WSANETWORKEVENTS events = {};
    if (WSAEnumNetworkEvents(s, readable, &events) != 0) {
      error = static_cast<uint32_t>(WSAGetLastError());
      break;
    }
    // Read until the socket has nothing more: a close comes after the
    // last data.
    for (;;) {
      const int got = recv(s, bytes, sizeof bytes, 0);
      if (got > 0) {
        const int32_t kept = ServerLinesTake(&lines, bytes, got, nmea);
        if (kept > 0) {
          GpsRxBytes(gLink.context, reinterpret_cast<const unsigned char*>(nmea), kept);
          gLink.lastNmeaTick = GetTickCount64();
        }
        continue;
      }
      if (got == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) break;
      if (got == SOCKET_ERROR) error = static_cast<uint32_t>(WSAGetLastError());
      (void)WSAEventSelect(s, nullptr, 0);
      (void)WSACloseEvent(readable);
      return error;  // 0: the server closed it
    }
    if (events.lNetworkEvents & FD_CLOSE) {
      error = static_cast<uint32_t>(events.iErrorCode[FD_CLOSE_BIT]);
      break;
    }
  }
  (void)WSAEventSelect(s, nullptr, 0);
  (void)WSACloseEvent(readable);
  return error;
}

DWORD WINAPI ServerProc(LPVOID) {
  do {
    gLink.state = SERVER_CONNECTING;
    uint32_t error = 0;
    const SOCKET s = Connect(&error);
    if (s != INVALID_SOCKET) {
      gLink.error = 0;
      gLink.lastNmeaTick = 0;
      gLink.state = SERVER_WAITING;
      error = Receive(s);
      (void)closesocket(s);
    }
    gLink.error = error;
    gLink.state = SERVER_RETRYING;
  } while (WaitForSingleObject(gLink.stop, RETRY_MS) == WAIT_TIMEOUT);
  return 0;
}

}  // namespace

bool ServerLinkStart(const char* host, uint16_t port, GpsContext* context, char* reason, int size) {
  ServerLinkStop();
  if (!gLink.winsock) {
    WSADATA data;
    const int started = WSAStartup(MAKEWORD(2, 2), &data);
    if (started != 0) {
      std::snprintf(reason, size, "no network (error %d)", started);
      return false;
    }
    gLink.winsock = true;
  }
  std::snprintf(gLink.host, sizeof gLink.host, "%s", host);
  std::snprintf(gLink.port, sizeof gLink.port, "%u", static_cast<unsigned>(port));
  gLink.context = context;
  gLink.state = SERVER_CONNECTING;
  gLink.error = 0;
  gLink.stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  gLink.thread = gLink.stop ? CreateThread(nullptr, 0, ServerProc, nullptr, 0, nullptr) : nullptr;
  if (!gLink.thread) {
    std::snprintf(reason, size, "cannot start the server connection (error %lu)", GetLastError());
    if (gLink.stop) (void)CloseHandle(gLink.stop);
    gLink.stop = nullptr;
    return false;
  }
  return true;
}

void ServerLinkStop() {
  if (!gLink.thread) return;
  (void)SetEvent(gLink.stop);
  (void)WaitForSingleObject(gLink.thread, INFINITE);
  (void)CloseHandle(gLink.thread);
  (void)CloseHandle(gLink.stop);
  gLink.thread = nullptr;
  gLink.stop = nullptr;
}

int32_t ServerLinkState(uint32_t* error) {
  *error = gLink.error;
  const int32_t state = gLink.state;
  if (state == SERVER_WAITING || state == SERVER_RECEIVING) {
    const ULONGLONG last = gLink.lastNmeaTick;
    return last != 0 && GetTickCount64() - last < QUIET_MS ? SERVER_RECEIVING : SERVER_WAITING;
  }
  return state;
}
