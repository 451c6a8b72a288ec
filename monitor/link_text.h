// The monitor's link line: what the receiver is doing and what arrived.
#ifndef ORVOGPS_MONITOR_LINK_TEXT_H
#define ORVOGPS_MONITOR_LINK_TEXT_H

#include <cstddef>
#include <cstdint>

#include <nmea/receiver.h>

struct LinkView {
  int32_t finding;         // 1 while the monitor looks for the receiver's port
  uint32_t findElapsedMs;  // how long it has looked
  uint32_t portsTried;     // bit i: COM<i+1> is being listened to
  int32_t notFound;        // 1 after a look that found nothing, until the next Start
  GpsLink link;            // the open receiver's, or state GPS_LINK_CLOSED
  GpsStats stats;          // the open receiver's counts
};

// "COM3: receiving at 38400 baud | 52 310 bytes, 812 sentences, 0 checksum
// errors, 1 reconnection", or what the search is doing.
void FormatLinkLine(const LinkView& view, char* text, size_t size);

#endif
