#include "server/gpsd_session.h"

#include <cmath>
#include <vector>

#include "server/json_fields.h"
#include "server/watch_policy.h"

namespace {

void AppendDevices(const ServerView& view, std::string* out) {
  GpsdAppendDevices(out, view.device, view.device ? 1 : 0);
}

// A field of ?DEVICE={...} that asks for something else than the receiver
// does now: the speed, the parity, the stop bits, binary mode or the cycle.
// The receiver's speed is the link's to find; it is never set from here.
bool AsksForAChange(const std::vector<JsonField>& fields, const GpsdDevice& device) {
  for (const JsonField& f : fields) {
    if (f.key == "bps" && !(f.type == JsonField::NUMBER && f.number == device.bps)) return true;
    if (f.key == "parity" && !(f.type == JsonField::STRING && f.string == "N")) return true;
    if (f.key == "stopbits" && !(f.type == JsonField::NUMBER && f.number == 1)) return true;
    if (f.key == "native" && !(f.type == JsonField::NUMBER && f.number == 0)) return true;
    if (f.key == "cycle" &&
        !(f.type == JsonField::NUMBER && std::isfinite(device.cycleSeconds) &&
          std::fabs(f.number - device.cycleSeconds) < 0.005))
      return true;
  }
  return false;
}

}  // namespace

bool GpsdSession::Receive(const char* chunk, size_t size, const ServerView& view, std::string* out) {
  requests_.clear();
  const bool open = parser_.Feed(chunk, size, &requests_);
  for (const Request& r : requests_) Reply(r, view, out);
  return open;
}

void GpsdSession::Reply(const Request& request, const ServerView& view, std::string* out) {
  switch (request.kind) {
    case RequestKind::VERSION:
      GpsdAppendVersion(out, view.release, view.release);
      break;
    case RequestKind::WATCH:
      if (request.hasArgument) {
        const std::string error = ApplyWatch(request.text, &watch_);
        if (!error.empty()) GpsdAppendError(out, "Invalid WATCH: " + error);
      }
      AppendDevices(view, out);
      GpsdAppendWatch(out, watch_);
      break;
    case RequestKind::POLL: {
      const bool active = view.device && view.device->present;
      GpsdAppendPoll(out, view.nowMs, active ? 1 : 0, view.device ? view.device->path : "",
                     active ? view.fix : nullptr, active ? view.sky : nullptr);
      break;
    }
    case RequestKind::DEVICES:
      AppendDevices(view, out);
      break;
    case RequestKind::DEVICE:
      ReplyDevice(request, view, out);
      break;
    case RequestKind::UNRECOGNIZED:
      GpsdAppendError(out, "Unrecognized request '" + request.text + "'");
      break;
    case RequestKind::TOO_LONG:
      GpsdAppendError(out, "Request longer than " + std::to_string(REQUEST_LIMIT) + " bytes");
      break;
  }
}

void GpsdSession::ReplyDevice(const Request& request, const ServerView& view, std::string* out) {
  std::vector<JsonField> fields;
  std::string error;
  if (request.hasArgument && !ReadJsonFields(request.text, &fields, &error)) {
    GpsdAppendError(out, "Invalid DEVICE: " + error);
    return;
  }
  const JsonField* path = FindJsonField(fields, "path");
  if (path && (path->type != JsonField::STRING || !view.device || path->string != view.device->path)) {
    GpsdAppendError(out, "No such device as " + (path->type == JsonField::STRING ? path->string : std::string("?")));
    return;
  }
  if (!view.device) {
    GpsdAppendError(out, "No devices");
    return;
  }
  if (AsksForAChange(fields, *view.device)) {
    GpsdAppendError(out, "The receiver's speed and mode are not changed from here");
    return;
  }
  GpsdAppendDevice(out, *view.device);
}
