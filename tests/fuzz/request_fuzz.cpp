// libFuzzer target: arbitrary bytes from a client of the gpsd port, cut into
// chunks as TCP might deliver them, through the request parser and the watch
// rules.  Asserts what a client can rely on whatever it sends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "server/request_parser.h"
#include "server/watch_policy.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte sets the chunk size, 1 to 256 bytes.
  const size_t chunk = static_cast<size_t>(data[0]) + 1;
  RequestParser parser;
  GpsdWatch policy = {};
  bool open = true;
  for (size_t at = 1; at < size; at += chunk) {
    std::vector<Request> requests;
    const size_t n = size - at < chunk ? size - at : chunk;
    const bool fed = parser.Feed(reinterpret_cast<const char*>(data + at), n, &requests);
    if (!open && (fed || !requests.empty())) std::abort();  // nothing after a disconnect
    if (open && !fed && (requests.empty() || requests.back().kind != RequestKind::TOO_LONG)) std::abort();
    for (size_t i = 0; i < requests.size(); ++i) {
      const Request& r = requests[i];
      if (r.text.size() > REQUEST_LIMIT) std::abort();
      if (r.kind == RequestKind::TOO_LONG && (fed || i + 1 != requests.size())) std::abort();
      if (r.kind == RequestKind::UNRECOGNIZED && (r.text.empty() || r.text[0] != '?')) std::abort();
      if (r.kind == RequestKind::WATCH && r.hasArgument) {
        const GpsdWatch before = policy;
        const std::string error = ApplyWatch(r.text, &policy);
        if (!error.empty() && (policy.enable != before.enable || policy.json != before.json ||
                               policy.raw != before.raw || policy.device != before.device))
          std::abort();
        if (policy.raw < 0 || policy.raw > 2) std::abort();
      }
    }
    open = fed;
  }
  return 0;
}
