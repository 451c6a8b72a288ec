// The server's thread: both listening ports, every client, and the feed from
// the receiver's reader thread.  One thread waits on three events: stop, the
// feed's wake, and one network event that every socket signals; it never
// blocks on a socket.  Windows only.
#ifndef ORVOGPS_SERVER_SOCKET_SERVER_H
#define ORVOGPS_SERVER_SOCKET_SERVER_H

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "server/feed_queue.h"
#include "server/server_options.h"

// What the receiver's link is, handed from the thread that watches it.
struct LinkReport {
  int32_t portIndex;  // -1 while no port is open
  bool present;       // false: the device went away
  uint32_t baudRate;
};

class SocketServer {
 public:
  SocketServer(const ServerOptions& options, HANDLE stop);
  ~SocketServer();

  // Binds and listens on both ports; on failure returns false with the
  // reason in error (an address in use says so).
  bool Listen(std::string* error);
  // Starts the thread; it ends when the stop event is set.
  bool Start();
  void Join();

  // Any thread.  The reader thread's callbacks call these.
  void Sentence(const char* text, int32_t length);
  void Epoch(const GpsFix& fix, const GpsSky& sky);
  void Link(const LinkReport& link);

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

#endif
