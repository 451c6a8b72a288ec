#include "server/server_run.h"

#include <winsock2.h>

#include <cstdio>
#include <string>

#include <comport/comport.h>
#include <nmea/receiver.h>

#include "server/socket_server.h"

namespace {

// The one receiver's callbacks run on its reader thread and find the server
// here; they only queue.
SocketServer* gServer;

void OnSentence(GpsContext*, const char* text, int32_t length, int32_t verdict) {
  if (verdict == GPS_SENTENCE_VERIFIED) gServer->Sentence(text, length);
}

void OnEpoch(GpsContext*, const GpsFix* fix, const GpsSky* sky) { gServer->Epoch(*fix, *sky); }

int32_t IgnoreRecord(GpsContext*, SentenceType, void*, int32_t) { return 0; }

void Say(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);  // a script or a log reading the output sees each line at once
}

HANDLE gStop;

int32_t StopRequested(void*, const GpsFindStatus*) { return WaitForSingleObject(gStop, 0) == WAIT_OBJECT_0; }

// --port auto: looks until a receiver answers or the server is stopped;
// -1 when stopped.
int32_t FindPort(uint32_t baudRate) {
  Say("looking for a receiver on every port...\n");
  for (;;) {
    GpsFindOptions find = {30000, baudRate, 0, StopRequested, nullptr};
    GpsFindResult found = {};
    const int32_t code = OrvoGPSFindReceiver(&find, &found);
    if (code == GPS_FIND_FOUND) {
      std::printf("found on COM%d at %u baud\n", found.portIndex + 1, found.baudRate);
      std::fflush(stdout);
      return found.portIndex;
    }
    if (code == GPS_FIND_STOPPED || WaitForSingleObject(gStop, 1000) == WAIT_OBJECT_0) return -1;
  }
}

// The link's state in print-fixes' words.
const char* StateText(int32_t state) {
  static const struct {
    int32_t state;
    const char* words;
  } WORDS[] = {
      {GPS_LINK_SEARCHING, "searching at"},
      {GPS_LINK_RECEIVING, "receiving at"},
      {GPS_LINK_NO_SENTENCES, "no sentences at"},
      {GPS_LINK_DEVICE_LOST, "device lost, waiting for it; last at"},
  };
  for (const auto& w : WORDS)
    if (w.state == state) return w.words;
  return "closed";
}

// Opens the receiver, trying again every 2 s while the port does not open;
// null when stopped first.
GpsContext* OpenReceiver(int32_t portIndex, uint32_t baudRate) {
  const GpsOpenOptions options = {baudRate, 1};
  bool told = false;
  for (;;) {
    GpsContext* gps = nullptr;
    const int32_t opened = OrvoGPSOpenWith(portIndex, &options, IgnoreRecord, &gps);
    if (opened == GPS_OPEN_OK) {
      GpsSetSentenceCallback(gps, OnSentence);
      GpsSetEpochCallback(gps, OnEpoch);
      return gps;
    }
    if (!told) {
      std::printf("COM%d cannot be opened: absent, or in use by another program; trying again\n", portIndex + 1);
      std::fflush(stdout);
      told = true;
    }
    if (WaitForSingleObject(gStop, 2000) == WAIT_OBJECT_0) return nullptr;
  }
}

// Prints the link each time it changes and tells the server's thread, until
// stopped.
void WatchLink(const GpsContext* gps) {
  GpsLink shown = {-1, -1, 0, 0};
  do {
    GpsLink now = {};
    if (OrvoGPSGetLink(gps, &now) == 0 && (now.state != shown.state || now.baudRate != shown.baudRate ||
                                           now.reconnects != shown.reconnects)) {
      std::printf("link: COM%d %s %u baud, %u reconnections\n", now.portIndex + 1, StateText(now.state),
                  now.baudRate, now.reconnects);
      std::fflush(stdout);
      gServer->Link({now.portIndex, now.state != GPS_LINK_DEVICE_LOST && now.state != GPS_LINK_CLOSED,
                     now.baudRate});
      shown = now;
    }
  } while (WaitForSingleObject(gStop, 100) != WAIT_OBJECT_0);  // ten looks a second, as print-fixes
}

}  // namespace

int RunServer(const ServerOptions& options, HANDLE stop) {
  gStop = stop;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
    std::fprintf(stderr, "orvogps-server: Winsock does not start\n");
    return 1;
  }
  int code = 0;
  {
    SocketServer server(options, stop);
    std::string error;
    if (!server.Listen(&error)) {
      std::fprintf(stderr, "orvogps-server: %s\n", error.c_str());
      code = 1;
    } else if (!server.Start()) {
      std::fprintf(stderr, "orvogps-server: cannot start the server's thread\n");
      code = 1;
    } else {
      gServer = &server;
      Say("serving gpsd's protocol on " + ListenText(options.gpsd) + ", NMEA 0183 on " +
          (options.nmea.enabled ? ListenText(options.nmea) : std::string("no port (off)")) + "\n");
      const int32_t port = options.portIndex >= 0 ? options.portIndex : FindPort(options.baudRate);
      GpsContext* gps = port >= 0 ? OpenReceiver(port, options.baudRate) : nullptr;
      if (gps) {
        WatchLink(gps);
        OrvoGPSClose(gps);  // no callback runs after it returns
      }
      WaitForSingleObject(stop, INFINITE);
      server.Join();  // every client's socket closed
      gServer = nullptr;
      Say("stopped\n");
    }
  }
  WSACleanup();
  return code;
}
