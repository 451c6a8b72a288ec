// The monitor's command line: which port and speed to preselect, and whether
// to start at once (for scripts and tests; a user picks in the window).
//   orvogps-monitor.exe [--port COMn|auto] [--baud N|auto] [--start]
//                       [--view signals|sentences|steadiness] [--record FILE] [--server HOST:PORT]
#ifndef ORVOGPS_MONITOR_OPTIONS_H
#define ORVOGPS_MONITOR_OPTIONS_H

#include <cstdint>

#include "monitor/server_stream.h"

// portIndex for the shared receiver: the server at serverHost:serverPort.
constexpr int32_t MONITOR_PORT_SERVER = -2;

struct MonitorOptions {
  int32_t portIndex;  // 0 for COM1 ... 15 for COM16; -1 for Auto; MONITOR_PORT_SERVER
  uint32_t baudRate;  // one of the library's speeds; 0 for Auto
  int32_t start;      // 1: press Start once the window is up
  int32_t page;       // the page shown under the plot: MONITOR_PAGE_...
  const char* record;  // record into this file once the receiver is open; null for none
  char serverHost[SERVER_HOST_SIZE];  // the shared receiver's server: localhost unless --server says
  uint16_t serverPort;
};

// Fills options from the words of the command line (without the program's
// name); returns 0, or 1 with a reason in error (size bytes) for a word it
// does not understand.  Auto port and speed, no start, by default.
int32_t ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions* options, char* error, int size);

// The words of --port and --baud, which the server's command line takes too:
// "COM1" to "COM16" (either case) or auto (-1); one of the library's speeds
// or auto (GPS_BAUD_AUTO).  false for anything else.
bool ParsePortOption(const char* word, int32_t* index);
bool ParseBaudOption(const char* word, uint32_t* baud);

#endif
