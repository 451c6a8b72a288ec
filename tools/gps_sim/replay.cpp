#include "replay.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

std::vector<std::string> SplitLines(const std::string& capture) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < capture.size()) {
    const size_t newline = capture.find('\n', start);
    const size_t end = newline == std::string::npos ? capture.size() : newline + 1;
    lines.push_back(capture.substr(start, end - start));
    start = end;
  }
  return lines;
}

// The n-th comma-separated field of a line (0 is the address field), or "".
std::string Field(const std::string& line, int n) {
  size_t start = 0;
  for (int i = 0; i < n; ++i) {
    start = line.find(',', start);
    if (start == std::string::npos) return "";
    ++start;
  }
  const size_t end = line.find_first_of(",*\r\n", start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// The hhmmss of a GGA, RMC, GLL or ZDA sentence; "" for other lines and for
// sentences without a time.  Sub-second digits are ignored so that a 5 Hz
// receiver's five fixes of one second stay one group.
std::string SecondOf(const std::string& line) {
  const size_t dollar = line.find('$');
  if (dollar == std::string::npos || line.size() < dollar + 6) return "";
  const std::string formatter = line.substr(dollar + 3, 3);
  int timeField = 0;
  if (formatter == "GGA" || formatter == "RMC" || formatter == "ZDA") timeField = 1;
  if (formatter == "GLL") timeField = 5;
  if (timeField == 0) return "";
  const std::string time = Field(line.substr(dollar), timeField);
  return time.size() >= 6 ? time.substr(0, 6) : "";
}

}  // namespace

std::vector<ReplayGroup> SplitIntoSeconds(const std::string& capture) {
  std::vector<ReplayGroup> groups;
  std::string groupSecond;
  for (std::string& line : SplitLines(capture)) {
    if (line[0] == '#') continue;
    const std::string second = SecondOf(line);
    const bool opensGroup = !second.empty() && second != groupSecond && !groupSecond.empty();
    if (groups.empty() || opensGroup) groups.emplace_back();
    if (!second.empty()) groupSecond = second;
    groups.back().push_back(std::move(line));
  }
  return groups;
}

bool ReadCaptureFile(const std::string& path, std::string& contents, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  contents.clear();
  char block[65536];
  for (;;) {
    const ssize_t n = read(fd, block, sizeof block);
    if (n > 0) {
      contents.append(block, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      error = std::strerror(errno);
      // Already failing; a close error would add nothing to report.
      (void)close(fd);
      return false;
    }
  }
  // Read-only descriptor: everything wanted from it has been read.
  (void)close(fd);
  return true;
}
