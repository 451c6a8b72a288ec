#include "monitor/link_text.h"

#include <cstdio>
#include <cstring>

namespace {

// "COM1, COM4" for the set bits of ports.
void PortNames(uint32_t ports, char* text, size_t size) {
  size_t used = 0;
  text[0] = '\0';
  for (int32_t i = 0; i < 32 && used < size; ++i) {
    if ((ports & (1u << i)) == 0) continue;
    const int written = std::snprintf(text + used, size - used, "%sCOM%d", used ? ", " : "", i + 1);
    if (written < 0) return;
    used += static_cast<size_t>(written);
  }
}

const char* Plural(uint32_t count) { return count == 1 ? "" : "s"; }

void FormatCounts(const GpsStats& s, char* text, size_t size) {
  std::snprintf(text, size, "%u bytes, %u sentences, %u checksum error%s", static_cast<unsigned>(s.bytes),
                static_cast<unsigned>(s.sentences + s.ignored), static_cast<unsigned>(s.checksumErrors),
                Plural(s.checksumErrors));
}

void FormatServerLine(const LinkView& view, char* text, size_t size) {
  char doing[64];
  switch (view.serverState) {
    case SERVER_CONNECTING:
      std::snprintf(doing, sizeof doing, "connecting");
      break;
    case SERVER_WAITING:
      std::snprintf(doing, sizeof doing, "connected, no sentences");
      break;
    case SERVER_RECEIVING:
      std::snprintf(doing, sizeof doing, "receiving");
      break;
    default:
      if (view.serverError != 0) {
        std::snprintf(doing, sizeof doing, "no connection (error %u) - trying again",
                      static_cast<unsigned>(view.serverError));
      } else {
        std::snprintf(doing, sizeof doing, "the server closed the connection - trying again");
      }
      break;
  }
  char counts[96];
  FormatCounts(view.stats, counts, sizeof counts);
  std::snprintf(text, size, "server %s: %s | %s", view.server, doing, counts);
}

}  // namespace

void FormatLinkLine(const LinkView& view, char* text, size_t size) {
  if (view.server) {
    FormatServerLine(view, text, size);
    return;
  }
  if (view.finding) {
    char ports[128];
    PortNames(view.portsTried, ports, sizeof ports);
    std::snprintf(text, size, "Looking for a receiver%s%s (%u s)", ports[0] ? " on " : "", ports,
                  static_cast<unsigned>(view.findElapsedMs / 1000));
    return;
  }
  if (view.notFound) {
    std::snprintf(text, size, "No receiver found: check its power and cable, or pick the port and speed");
    return;
  }
  const GpsLink& link = view.link;
  char doing[64];
  switch (link.state) {
    case GPS_LINK_SEARCHING:
      std::snprintf(doing, sizeof doing, "searching at %u baud", static_cast<unsigned>(link.baudRate));
      break;
    case GPS_LINK_RECEIVING:
      std::snprintf(doing, sizeof doing, "receiving at %u baud", static_cast<unsigned>(link.baudRate));
      break;
    case GPS_LINK_NO_SENTENCES:
      std::snprintf(doing, sizeof doing, "no sentences at %u baud", static_cast<unsigned>(link.baudRate));
      break;
    case GPS_LINK_DEVICE_LOST:
      std::snprintf(doing, sizeof doing, "device lost - waiting for it");
      break;
    default:
      std::snprintf(text, size, "Closed");
      return;
  }
  char counts[96];
  FormatCounts(view.stats, counts, sizeof counts);
  std::snprintf(text, size, "COM%d: %s | %s, %u reconnection%s", static_cast<int>(link.portIndex + 1), doing, counts,
                static_cast<unsigned>(link.reconnects), Plural(link.reconnects));
}
