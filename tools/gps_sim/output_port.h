// Where the sentences go: a tty (set raw at the line rate) or standard output.
#ifndef GPS_SIM_OUTPUT_PORT_H
#define GPS_SIM_OUTPUT_PORT_H

#include <cstddef>
#include <cstdint>
#include <string>

// Opens path for writing ("-" is standard output, left as it is).  A tty is
// set raw (no CR/LF translation, no echo) at baud, 8-N-1, ignoring modem
// lines.  Returns the descriptor, or -1 with error set to the reason.
int OpenOutput(const std::string& path, int64_t baud, std::string& error);

enum class WriteStatus { kDone, kStopped, kFailed };

// Writes all count bytes, waiting while the device is full.  kStopped: a stop
// was requested while the device accepted nothing.  kFailed: errno says why.
WriteStatus WriteAll(int fd, const char* bytes, size_t count);

#endif
