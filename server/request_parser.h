// Splits what a client of the gpsd port sends into requests:
//   ?VERSION;?WATCH={"enable":true,"json":true};\n
//   ?WATCH={"class":"WATCH", "nmea":true}          (no ';', no line end)
// Several may share a chunk or a line; the ';' and the line end are both
// optional, since clients send a whole request per write and expect it
// answered.  A line that does not start with '?' is ignored.  An object
// argument still open at the end of a chunk (a request split by TCP) waits
// for the next chunk, up to REQUEST_LIMIT bytes.
#ifndef ORVOGPS_SERVER_REQUEST_PARSER_H
#define ORVOGPS_SERVER_REQUEST_PARSER_H

#include <cstddef>
#include <string>
#include <vector>

// The longest request taken; a longer one ends the client's connection.
constexpr size_t REQUEST_LIMIT = 8192;

enum class RequestKind {
  VERSION,
  WATCH,
  POLL,
  DEVICES,
  DEVICE,
  UNRECOGNIZED,  // text: the rest of the line as received, for the ERROR
  TOO_LONG,      // the last request of all: the client is to be disconnected
};

struct Request {
  RequestKind kind;
  bool hasArgument;  // "=..." followed the command (WATCH, DEVICE)
  std::string text;  // the argument, or what UNRECOGNIZED echoes
};

class RequestParser {
 public:
  // Appends the requests that chunk completes to out.  Returns false when a
  // request is longer than REQUEST_LIMIT: out then ends with TOO_LONG and
  // the parser takes nothing more.
  bool Feed(const char* chunk, size_t size, std::vector<Request>* out);

 private:
  std::string pending_;   // the start of a request whose object is still open
  bool skipping_ = false; // inside a line that does not start with '?'
  bool closed_ = false;   // a request was too long
};

#endif
