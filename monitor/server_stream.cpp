#include "monitor/server_stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// gpsd relays each sentence with the line end it came with (nmea); json
// stays off for a new client, so only VERSION, DEVICES and WATCH come
// besides.
const char SERVER_WATCH_REQUEST[] = "?WATCH={\"enable\":true,\"nmea\":true}\n";

namespace {

enum : int32_t { LINE_START = 0, NMEA_LINE = 1, OTHER_LINE = 2 };

}  // namespace

bool ParseServerAddress(const char* text, char* host, uint16_t* port) {
  const char* colon = std::strrchr(text, ':');
  const size_t hostLength = colon ? static_cast<size_t>(colon - text) : std::strlen(text);
  if (hostLength == 0 || hostLength >= static_cast<size_t>(SERVER_HOST_SIZE)) return false;
  unsigned long number = SERVER_DEFAULT_PORT;
  if (colon) {
    char* end = nullptr;
    number = std::strtoul(colon + 1, &end, 10);
    if (end == colon + 1 || *end != '\0' || number < 1 || number > 65535) return false;
  }
  std::memcpy(host, text, hostLength);
  host[hostLength] = '\0';
  *port = static_cast<uint16_t>(number);
  return true;
}

void ServerLinesInit(ServerLines* lines) { lines->inLine = LINE_START; }

int32_t ServerLinesTake(ServerLines* lines, const char* bytes, int32_t count, char* out) {
  int32_t kept = 0;
  for (int32_t i = 0; i < count; ++i) {
    const char c = bytes[i];
    if (lines->inLine == LINE_START) lines->inLine = c == '$' || c == '!' ? NMEA_LINE : OTHER_LINE;
    if (lines->inLine == NMEA_LINE) out[kept++] = c;
    if (c == '\n') lines->inLine = LINE_START;
  }
  return kept;
}
