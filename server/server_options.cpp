#include "server/server_options.h"

#include <cstdlib>
#include <cstring>

#include "monitor/monitor_options.h"

namespace {

constexpr uint32_t LOOPBACK = 0x7F000001;

bool ParseNumber(const char* text, size_t length, unsigned long low, unsigned long high, unsigned long* value) {
  if (length == 0 || length > 5) return false;
  unsigned long n = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    n = n * 10 + static_cast<unsigned long>(text[i] - '0');
  }
  if (n < low || n > high) return false;
  *value = n;
  return true;
}

// "127.0.0.1:2947": a dotted IPv4 address and a port 1-65535.
bool ParseListen(const char* word, ListenAddress* out) {
  const char* colon = std::strrchr(word, ':');
  if (!colon) return false;
  uint32_t address = 0;
  const char* part = word;
  for (int i = 0; i < 4; ++i) {
    const char* end = part;
    while (end < colon && *end != '.') ++end;
    unsigned long byte = 0;
    if (!ParseNumber(part, static_cast<size_t>(end - part), 0, 255, &byte)) return false;
    if ((i < 3) != (end < colon)) return false;
    address = address << 8 | static_cast<uint32_t>(byte);
    part = end + 1;
  }
  unsigned long port = 0;
  if (!ParseNumber(colon + 1, std::strlen(colon + 1), 1, 65535, &port)) return false;
  *out = {true, address, static_cast<uint16_t>(port)};
  return true;
}

}  // namespace

std::string ParseServerOptions(int argc, const char* const* argv, ServerOptions* options) {
  *options = {-1, 0, {true, LOOPBACK, 2947}, {true, LOOPBACK, 10110}, 64, ServerOptions::RUN};
  for (int i = 0; i < argc; ++i) {
    const char* word = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : "";
    unsigned long clients = 0;
    bool ok = true;
    bool takesValue = true;
    if (std::strcmp(word, "--port") == 0) {
      ok = ParsePortOption(value, &options->portIndex);
    } else if (std::strcmp(word, "--baud") == 0) {
      ok = ParseBaudOption(value, &options->baudRate);
    } else if (std::strcmp(word, "--listen") == 0) {
      ok = ParseListen(value, &options->gpsd);
    } else if (std::strcmp(word, "--nmea-listen") == 0) {
      if (std::strcmp(value, "off") == 0) options->nmea.enabled = false;
      else ok = ParseListen(value, &options->nmea);
    } else if (std::strcmp(word, "--max-clients") == 0) {
      ok = ParseNumber(value, std::strlen(value), 1, 1024, &clients);
      if (ok) options->maxClients = static_cast<int32_t>(clients);
    } else if (std::strcmp(word, "--install") == 0 || std::strcmp(word, "--uninstall") == 0 ||
               std::strcmp(word, "--service") == 0) {
      takesValue = false;
      const ServerOptions::Action action = word[2] == 'i'   ? ServerOptions::INSTALL
                                           : word[2] == 'u' ? ServerOptions::UNINSTALL
                                                            : ServerOptions::SERVICE;
      ok = options->action == ServerOptions::RUN || options->action == action;
      options->action = action;
    } else {
      return std::string("unknown option ") + word;
    }
    if (!ok) return takesValue ? std::string("bad value for ") + word + ": '" + value + "'"
                               : std::string("only one of --install, --uninstall");
    if (takesValue) ++i;
  }
  return {};
}

std::string ListenText(const ListenAddress& a) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    text += std::to_string(a.address >> shift & 0xFF);
    text += shift ? "." : ":";
  }
  return text + std::to_string(a.port);
}

std::string ServerOptionsText(const ServerOptions& o) {
  std::string text = "--port ";
  text += o.portIndex < 0 ? "auto" : "COM" + std::to_string(o.portIndex + 1);
  text += " --baud " + (o.baudRate == 0 ? std::string("auto") : std::to_string(o.baudRate));
  text += " --listen " + ListenText(o.gpsd);
  text += " --nmea-listen " + (o.nmea.enabled ? ListenText(o.nmea) : std::string("off"));
  text += " --max-clients " + std::to_string(o.maxClients);
  return text;
}
