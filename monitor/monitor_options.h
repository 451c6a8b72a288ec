// The monitor's command line: which port and speed to preselect, and whether
// to start at once (for scripts and tests; a user picks in the window).
//   orvogps-monitor.exe [--port COMn|auto] [--baud N|auto] [--start]
//                       [--view signals|sentences|steadiness] [--record FILE]
#ifndef ORVOGPS_MONITOR_OPTIONS_H
#define ORVOGPS_MONITOR_OPTIONS_H

#include <cstdint>

struct MonitorOptions {
  int32_t portIndex;  // 0 for COM1 ... 15 for COM16; -1 for Auto
  uint32_t baudRate;  // one of the library's speeds; 0 for Auto
  int32_t start;      // 1: press Start once the window is up
  int32_t page;       // the page shown under the plot: MONITOR_PAGE_...
  const char* record;  // record into this file once the receiver is open; null for none
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
