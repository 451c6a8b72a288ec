// The server's command line:
//   orvogps-server.exe [--port COMn|auto] [--baud N|auto] [--listen ADDR:PORT]
//                      [--nmea-listen ADDR:PORT|off] [--max-clients N]
//                      [--install | --uninstall]
// Both ports serve loopback only unless an address says otherwise.
#ifndef ORVOGPS_SERVER_OPTIONS_H
#define ORVOGPS_SERVER_OPTIONS_H

#include <cstdint>
#include <string>

struct ListenAddress {
  bool enabled;      // false: --nmea-listen off
  uint32_t address;  // IPv4, host order: 0x7F000001 is 127.0.0.1
  uint16_t port;
};

struct ServerOptions {
  int32_t portIndex;  // 0 for COM1 ... 15 for COM16; -1: find the receiver
  uint32_t baudRate;  // one of the library's speeds; 0: find the speed
  ListenAddress gpsd;
  ListenAddress nmea;
  int32_t maxClients;  // on each port, 1 to 1024
  enum Action : int32_t { RUN, INSTALL, UNINSTALL, SERVICE } action;  // SERVICE: started by the service manager
};

constexpr const char* SERVER_USAGE =
    "usage: orvogps-server [--port COMn|auto] [--baud N|auto] [--listen ADDR:PORT] "
    "[--nmea-listen ADDR:PORT|off] [--max-clients N] [--install|--uninstall]";

// Fills options from the words of the command line (without the program's
// name).  Returns "" or what is wrong with the first word it cannot take.
std::string ParseServerOptions(int argc, const char* const* argv, ServerOptions* options);

// The options again as command-line words, as the service is registered
// with them ("--port COM3 --baud auto ..."), action left out.
std::string ServerOptionsText(const ServerOptions& options);

// "127.0.0.1:2947"
std::string ListenText(const ListenAddress& address);

#endif
