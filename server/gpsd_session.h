// One client of the gpsd port: its requests in, the replies out, and what it
// watches.  The server's thread owns it; nothing here touches a socket.
#ifndef ORVOGPS_SERVER_GPSD_SESSION_H
#define ORVOGPS_SERVER_GPSD_SESSION_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/gpsd_json.h"
#include "server/request_parser.h"

// What the replies are made of, as the server knows it at the moment.
struct ServerView {
  std::string_view release;  // this program's version
  const GpsdDevice* device;  // null while no receiver port is known
  const GpsFix* fix;         // the latest epoch's, null before the first
  const GpsSky* sky;
  int64_t nowMs;             // milliseconds since 1970-01-01 UTC
};

class GpsdSession {
 public:
  // Appends the replies to what chunk completes to out.  Returns false when
  // the client is to be disconnected once out is sent (a request too long).
  bool Receive(const char* chunk, size_t size, const ServerView& view, std::string* out);

  const GpsdWatch& Watch() const { return watch_; }

 private:
  void Reply(const Request& request, const ServerView& view, std::string* out);
  void ReplyDevice(const Request& request, const ServerView& view, std::string* out);

  RequestParser parser_;
  GpsdWatch watch_ = {};
  std::vector<Request> requests_;  // kept to reuse its storage
};

#endif
