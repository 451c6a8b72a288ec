// The monitor's link line: what the receiver is doing and what arrived.
#ifndef ORVOGPS_MONITOR_LINK_TEXT_H
#define ORVOGPS_MONITOR_LINK_TEXT_H

#include <cstddef>
#include <cstdint>

#include <nmea/receiver.h>

// A shared receiver's connection, as the link line tells it.
enum : int32_t {
  SERVER_CONNECTING = 1,
  SERVER_WAITING = 2,    // connected; no sentence for a while
  SERVER_RECEIVING = 3,
  SERVER_RETRYING = 4,   // the connection failed or ended: trying again
};

struct LinkView {
  int32_t finding;         // 1 while the monitor looks for the receiver's port
  uint32_t findElapsedMs;  // how long it has looked
  uint32_t portsTried;     // bit i: COM<i+1> is being listened to
  int32_t notFound;        // 1 after a look that found nothing, until the next Start
  GpsLink link;            // the open receiver's, or state GPS_LINK_CLOSED
  GpsStats stats;          // the open receiver's counts
  const char* server;      // "localhost:2947" when showing a shared receiver, else null
  int32_t serverState;     // SERVER_...
  uint32_t serverError;    // why the last connection failed or ended; 0 when it was closed
};

// "COM3: receiving at 38400 baud | 52 310 bytes, 812 sentences, 0 checksum
// errors, 1 reconnection", or what the search is doing; "server
// localhost:2947: receiving | ..." for a shared receiver.
void FormatLinkLine(const LinkView& view, char* text, size_t size);

#endif
