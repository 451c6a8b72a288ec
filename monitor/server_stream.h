// The shared receiver: what the monitor needs of gpsd's protocol to show a
// receiver that a server (orvogps-server, or gpsd) holds open.  It asks for
// the receiver's sentences as they came (WATCH with nmea) and takes the NMEA
// lines out of what the server sends, for the decoding core to frame; the
// server's own JSON objects are left aside.
#ifndef ORVOGPS_MONITOR_SERVER_STREAM_H
#define ORVOGPS_MONITOR_SERVER_STREAM_H

#include <cstdint>

constexpr uint16_t SERVER_DEFAULT_PORT = 2947;
constexpr int32_t SERVER_HOST_SIZE = 64;
// What the monitor sends once connected.
extern const char SERVER_WATCH_REQUEST[];

// "HOST:PORT" or "HOST" (port 2947).  False for an empty host, a port that
// is not 1 to 65535 or a host too long.
bool ParseServerAddress(const char* text, char* host, uint16_t* port);

// Splits the server's stream into lines as it comes, in pieces of any size:
// lines that start with '$' or '!' pass whole, line end and all; the others
// (JSON objects, anything else) are dropped.
struct ServerLines {
  int32_t inLine;  // 0 at a line's start, 1 in an NMEA line, 2 in a dropped line
};

void ServerLinesInit(ServerLines* lines);
// Copies the NMEA bytes of count bytes into out (count bytes of room);
// returns how many.
int32_t ServerLinesTake(ServerLines* lines, const char* bytes, int32_t count, char* out);

#endif
