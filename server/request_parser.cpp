#include "server/request_parser.h"

#include <string_view>

namespace {

struct Command {
  const char* name;
  RequestKind kind;
  bool takesArgument;
};

// The requests served, matched case-sensitively as gpsd's clients send them.
const Command COMMANDS[] = {
    {"VERSION", RequestKind::VERSION, false},
    {"WATCH", RequestKind::WATCH, true},
    {"POLL", RequestKind::POLL, false},
    {"DEVICES", RequestKind::DEVICES, false},
    {"DEVICE", RequestKind::DEVICE, true},
};

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';'; }

const Command* FindCommand(std::string_view name) {
  for (const Command& c : COMMANDS)
    if (name == c.name) return &c;
  return nullptr;
}

// The end of the object that starts at text[at] ('{'): one past its closing
// brace, or the line end or the text's end when it does not close there
// (open is then true only when the text ended first).
size_t ObjectEnd(std::string_view text, size_t at, bool* open) {
  int depth = 0;
  bool inString = false;
  *open = false;
  for (size_t i = at; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') return i;  // a JSON text has no raw line end inside a string
    if (inString) {
      if (c == '\\') ++i;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth == 0) {
      return i + 1;
    }
  }
  *open = true;
  return text.size();
}

size_t LineEnd(std::string_view text, size_t at) {
  const size_t nl = text.find('\n', at);
  return nl == std::string_view::npos ? text.size() : nl + 1;
}

}  // namespace

bool RequestParser::Feed(const char* chunk, size_t size, std::vector<Request>* out) {
  if (closed_) return false;
  pending_.append(chunk, size);
  const std::string_view text(pending_);
  size_t at = 0;
  bool waiting = false;  // text[at..] is a request whose object is still open
  bool tooLong = false;
  while (at < text.size()) {
    if (skipping_) {
      at = LineEnd(text, at);
      skipping_ = text[at - 1] != '\n';
      continue;
    }
    if (IsSeparator(text[at])) {
      ++at;
      continue;
    }
    if (text[at] != '?') {
      skipping_ = true;
      continue;
    }
    size_t nameEnd = at + 1;
    while (nameEnd < text.size() && text[nameEnd] >= 'A' && text[nameEnd] <= 'Z') ++nameEnd;
    const Command* command = FindCommand(text.substr(at + 1, nameEnd - at - 1));
    const char next = nameEnd < text.size() ? text[nameEnd] : ';';
    size_t end = nameEnd;
    Request request = {RequestKind::UNRECOGNIZED, false, {}};
    if (command && (IsSeparator(next) || next == '?' || (next == '=' && command->takesArgument))) {
      request.kind = command->kind;
      if (next == '=') {
        request.hasArgument = true;
        const size_t start = nameEnd + 1;
        if (start < text.size() && text[start] == '{') {
          end = ObjectEnd(text, start, &waiting);
        } else {
          end = start;
          while (end < text.size() && text[end] != ';' && text[end] != '\n') ++end;
        }
        request.text.assign(text.substr(start, end - start));
      }
    } else {
      end = LineEnd(text, at);
      request.text.assign(text.substr(at, end - at));
    }
    if (end - at > REQUEST_LIMIT) {
      tooLong = true;
      break;
    }
    if (waiting) break;
    out->push_back(std::move(request));
    at = end;
  }
  if (tooLong) {
    closed_ = true;
    pending_.clear();
    out->push_back({RequestKind::TOO_LONG, false, {}});
    return false;
  }
  if (waiting) pending_.erase(0, at);
  else pending_.clear();
  return true;
}
