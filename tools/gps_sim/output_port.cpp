#include "output_port.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "stop_signal.h"

namespace {

speed_t SpeedConstant(int64_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B4800;
  }
}

bool ConfigureRawTty(int fd, int64_t baud, std::string& error) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) {
    error = std::string("cannot read the line settings: ") + std::strerror(errno);
    return false;
  }
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  if (cfsetispeed(&settings, SpeedConstant(baud)) != 0 ||
      cfsetospeed(&settings, SpeedConstant(baud)) != 0 ||
      tcsetattr(fd, TCSANOW, &settings) != 0) {
    error = "cannot set " + std::to_string(baud) + " baud raw mode: " + std::strerror(errno);
    return false;
  }
  return true;
}

// A stop request ends the wait for room; this tells whether there is room
// anyway, so that a sentence already begun can still be finished.
bool WritableNow(int fd) {
  pollfd watch{fd, POLLOUT, 0};
  return poll(&watch, 1, 0) > 0 && (watch.revents & POLLOUT) != 0;
}

}  // namespace

int OpenOutput(const std::string& path, int64_t baud, std::string& error) {
  if (path == "-") return STDOUT_FILENO;
  // Non-blocking, so that opening a serial port does not wait for carrier
  // detect and a full device never holds up a stop request.
  const int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  if (isatty(fd) && !ConfigureRawTty(fd, baud, error)) {
    // Already failing; the close result adds nothing to report.
    (void)close(fd);
    return -1;
  }
  return fd;
}

WriteStatus WriteAll(int fd, const char* bytes, size_t count) {
  while (count > 0) {
    // Waiting first keeps a blocking standard output from stalling a stop.
    if (!WaitWritable(fd)) return WriteStatus::kFailed;
    if (StopRequested() && !WritableNow(fd)) return WriteStatus::kStopped;
    const ssize_t written = write(fd, bytes, count);
    if (written > 0) {
      bytes += written;
      count -= static_cast<size_t>(written);
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
      return WriteStatus::kFailed;
    }
  }
  return WriteStatus::kDone;
}
