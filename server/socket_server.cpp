#include "server/socket_server.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "server/gpsd_session.h"
#include "server/send_buffer.h"
#include "server/watch_policy.h"

namespace {

// Room for a few seconds of a busy 10 Hz receiver per client; what a client
// does not read beyond it is dropped, oldest first.
constexpr size_t SEND_LIMIT = 256 * 1024;
constexpr int SYSTEM_SEND_BUFFER = 64 * 1024;
// Lines handed to one send.
constexpr size_t GATHER = 64;
// Entries between the reader thread and the server's: several seconds of
// sentences and epochs, should the server's thread be held up.
constexpr size_t FEED_CAPACITY = 1024;
// The longest the thread sleeps: the slow-client deadline is looked at as
// often.
constexpr DWORD TICK_MS = 250;

uint64_t NowTickMs() { return GetTickCount64(); }

int64_t NowUnixMs() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000 - 11644473600000ull);
}

struct Client {
  SOCKET socket;
  bool gpsd;  // else the NMEA port's
  GpsdSession session;
  SendBuffer out{SEND_LIMIT};
  bool closing = false;  // send what is queued, then close
};

}  // namespace

struct SocketServer::Impl {
  ServerOptions options;
  HANDLE stop;
  HANDLE wake = nullptr;
  WSAEVENT network = WSA_INVALID_EVENT;
  HANDLE thread = nullptr;
  SOCKET gpsdListener = INVALID_SOCKET;
  SOCKET nmeaListener = INVALID_SOCKET;
  std::vector<std::unique_ptr<Client>> clients;
  FeedQueue feed{FEED_CAPACITY};

  std::mutex linkLock;
  LinkReport linkShared = {-1, false, 0};

  // The server thread's own view.
  LinkReport link = {-1, false, 0};
  std::string path;
  GpsdDevice device = {};
  bool haveEpoch = false;
  GpsFix fix = {};
  GpsSky sky = {};
  int32_t lastTimeOfDay = -1;
  FeedEntry entry = {};
  uint64_t droppedToClients = 0;  // lines that slow clients lost, over the run

  bool Open(const ListenAddress& address, SOCKET* listener, std::string* error);
  void Run();
  void Accept(SOCKET listener, bool gpsd);
  void Read(Client* c);
  void Flush(Client* c);
  void Broadcast(const SharedLine& line, bool nmea);
  void DrainFeed();
  void OnEpoch();
  void UpdateLink();
  ServerView View() const;
  void CloseClient(Client* c);
};

SocketServer::SocketServer(const ServerOptions& options, HANDLE stop) : impl_(new Impl) {
  impl_->options = options;
  impl_->stop = stop;
  impl_->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  impl_->network = WSACreateEvent();
  impl_->device.cycleSeconds = NAN;  // until two epochs have come
}

SocketServer::~SocketServer() {
  Join();
  for (SOCKET s : {impl_->gpsdListener, impl_->nmeaListener})
    if (s != INVALID_SOCKET) closesocket(s);
  if (impl_->network != WSA_INVALID_EVENT) WSACloseEvent(impl_->network);
  if (impl_->wake) CloseHandle(impl_->wake);
}

bool SocketServer::Impl::Open(const ListenAddress& address, SOCKET* listener, std::string* error) {
  const std::string name = ListenText(address);
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    *error = "cannot make a socket for " + name + " (error " + std::to_string(WSAGetLastError()) + ")";
    return false;
  }
  // Exclusive: without it Windows lets another program bind the same port
  // over ours and take our clients.
  BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in at = {};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(address.address);
  at.sin_port = htons(address.port);
  if (bind(s, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0 || listen(s, SOMAXCONN) != 0) {
    const int code = WSAGetLastError();
    *error = code == WSAEADDRINUSE    ? name + " is in use by another program (another server already running?)"
             : code == WSAEADDRNOTAVAIL ? name + " is not an address of this computer"
                                        : "cannot listen on " + name + " (error " + std::to_string(code) + ")";
    closesocket(s);
    return false;
  }
  if (WSAEventSelect(s, network, FD_ACCEPT) != 0) {
    *error = "cannot watch " + name + " (error " + std::to_string(WSAGetLastError()) + ")";
    closesocket(s);
    return false;
  }
  *listener = s;
  return true;
}

bool SocketServer::Listen(std::string* error) {
  if (!impl_->wake || impl_->network == WSA_INVALID_EVENT) {
    *error = "cannot make the server's events";
    return false;
  }
  if (!impl_->Open(impl_->options.gpsd, &impl_->gpsdListener, error)) return false;
  return !impl_->options.nmea.enabled || impl_->Open(impl_->options.nmea, &impl_->nmeaListener, error);
}

static DWORD WINAPI ServerThread(LPVOID impl) {
  static_cast<SocketServer::Impl*>(impl)->Run();
  return 0;
}

bool SocketServer::Start() {
  impl_->thread = CreateThread(nullptr, 0, ServerThread, impl_.get(), 0, nullptr);
  return impl_->thread != nullptr;
}

void SocketServer::Join() {
  if (!impl_->thread) return;
  WaitForSingleObject(impl_->thread, INFINITE);
  CloseHandle(impl_->thread);
  impl_->thread = nullptr;
}

void SocketServer::Sentence(const char* text, int32_t length) {
  if (impl_->feed.PushSentence(text, length)) SetEvent(impl_->wake);
}

void SocketServer::Epoch(const GpsFix& fix, const GpsSky& sky) {
  if (impl_->feed.PushEpoch(fix, sky)) SetEvent(impl_->wake);
}

void SocketServer::Link(const LinkReport& link) {
  {
    const std::lock_guard<std::mutex> hold(impl_->linkLock);
    impl_->linkShared = link;
  }
  SetEvent(impl_->wake);
}

ServerView SocketServer::Impl::View() const {
  return {ORVOGPS_RELEASE, link.portIndex >= 0 ? &device : nullptr, haveEpoch ? &fix : nullptr,
          haveEpoch ? &sky : nullptr, NowUnixMs()};
}

void SocketServer::Impl::Run() {
  const HANDLE events[] = {stop, wake, network};
  for (;;) {
    const DWORD woke = WaitForMultipleObjects(3, events, FALSE, TICK_MS);
    if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED) break;
    // The wait names only the first event set: the network's is looked at
    // on its own, and reset before the sockets are, so that whatever comes
    // meanwhile sets it again.
    const bool sockets = WaitForSingleObject(network, 0) == WAIT_OBJECT_0;
    if (sockets) WSAResetEvent(network);
    UpdateLink();
    DrainFeed();
    if (sockets) {
      Accept(gpsdListener, true);
      if (nmeaListener != INVALID_SOCKET) Accept(nmeaListener, false);
      for (auto& c : clients) Read(c.get());
    }
    const uint64_t now = NowTickMs();
    for (auto& c : clients) {
      Flush(c.get());
      if (c->out.TooFarBehind(now)) {
        std::printf("client %llu disconnected: %llu lines behind for %llu s\n",
                    static_cast<unsigned long long>(c->socket), static_cast<unsigned long long>(c->out.DroppedLines()),
                    static_cast<unsigned long long>(BEHIND_LIMIT_MS / 1000));
        std::fflush(stdout);
        CloseClient(c.get());
      } else if (c->closing && c->out.Empty()) {
        shutdown(c->socket, SD_SEND);
        CloseClient(c.get());
      }
    }
    clients.erase(std::remove_if(clients.begin(), clients.end(),
                                 [](const std::unique_ptr<Client>& c) { return c->socket == INVALID_SOCKET; }),
                  clients.end());
  }
  for (auto& c : clients) CloseClient(c.get());
  clients.clear();
  std::printf("dropped: %llu entries from the receiver's queue, %llu lines to slow clients\n",
              static_cast<unsigned long long>(feed.Dropped()), static_cast<unsigned long long>(droppedToClients));
  std::fflush(stdout);
}

void SocketServer::Impl::CloseClient(Client* c) {
  if (c->socket == INVALID_SOCKET) return;
  droppedToClients += c->out.DroppedLines();
  closesocket(c->socket);
  c->socket = INVALID_SOCKET;
}

void SocketServer::Impl::Accept(SOCKET listener, bool gpsd) {
  for (;;) {
    SOCKET s = accept(listener, nullptr, nullptr);
    if (s == INVALID_SOCKET) return;  // WSAEWOULDBLOCK: no one else is waiting
    size_t same = 0;
    for (const auto& c : clients) same += c->gpsd == gpsd && c->socket != INVALID_SOCKET;
    if (same >= static_cast<size_t>(options.maxClients) || WSAEventSelect(s, network, FD_READ | FD_WRITE | FD_CLOSE) != 0) {
      closesocket(s);  // past --max-clients: closed at once, sent nothing
      continue;
    }
    BOOL noDelay = TRUE;  // each line out at once: clients wait for every fix
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    // A fixed system buffer: the client's own buffer decides what a slow
    // client loses, not a system one that may grow to megabytes.
    int systemBuffer = SYSTEM_SEND_BUFFER;
    setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&systemBuffer), sizeof systemBuffer);
    clients.push_back(std::make_unique<Client>());
    Client* c = clients.back().get();
    c->socket = s;
    c->gpsd = gpsd;
    if (gpsd) {
      std::string version;
      GpsdAppendVersion(&version, ORVOGPS_RELEASE, ORVOGPS_RELEASE);
      c->out.Add(std::make_shared<const std::string>(std::move(version)), NowTickMs());
    }
  }
}

void SocketServer::Impl::Read(Client* c) {
  char chunk[4096];
  while (c->socket != INVALID_SOCKET && !c->closing) {
    const int got = recv(c->socket, chunk, sizeof chunk, 0);
    if (got == 0 || (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
      CloseClient(c);  // the client went
      return;
    }
    if (got < 0) return;
    if (!c->gpsd) continue;  // the NMEA port reads and forgets what clients send
    std::string replies;
    const bool stays = c->session.Receive(chunk, static_cast<size_t>(got), View(), &replies);
    if (!replies.empty()) c->out.Add(std::make_shared<const std::string>(std::move(replies)), NowTickMs());
    c->closing = !stays;
  }
}

// Every line waiting goes out in as few sends as it can: under Wine each
// send is a trip to the Wine server, and a busy cycle to 64 clients would
// otherwise queue up behind them.
void SocketServer::Impl::Flush(Client* c) {
  SendBuffer::Piece pieces[GATHER];
  WSABUF buffers[GATHER];
  while (c->socket != INVALID_SOCKET) {
    const size_t n = c->out.Pending(pieces, GATHER);
    if (n == 0) return;
    for (size_t i = 0; i < n; ++i)
      buffers[i] = {static_cast<ULONG>(pieces[i].size), const_cast<char*>(pieces[i].data)};
    DWORD sent = 0;
    if (WSASend(c->socket, buffers, static_cast<DWORD>(n), &sent, 0, nullptr, nullptr) != 0) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) CloseClient(c);
      return;
    }
    // After a short send the next one fails with WSAEWOULDBLOCK, which
    // makes FD_WRITE tell when there is room again.
    c->out.Sent(sent);
  }
}

void SocketServer::Impl::Broadcast(const SharedLine& line, bool nmea) {
  const uint64_t now = NowTickMs();
  for (auto& c : clients) {
    if (c->socket == INVALID_SOCKET || c->closing) continue;
    const bool wants = !c->gpsd ? nmea
                       : nmea   ? WatchesNmea(c->session.Watch(), path)
                                : WatchesJson(c->session.Watch(), path);
    if (wants) c->out.Add(line, now);
  }
}

void SocketServer::Impl::DrainFeed() {
  while (feed.Pop(&entry)) {
    device.activatedMs = NowUnixMs();
    if (entry.kind == FeedEntry::SENTENCE) {
      auto line = std::make_shared<std::string>(entry.text, static_cast<size_t>(entry.length));
      line->append("\r\n");
      Broadcast(line, true);
    } else {
      OnEpoch();
    }
  }
}

void SocketServer::Impl::OnEpoch() {
  fix = entry.fix;
  sky.signalCount = entry.sky.signalCount;
  sky.usedCount = entry.sky.usedCount;
  sky.notShown = entry.sky.notShown;
  std::copy(entry.sky.signals, entry.sky.signals + entry.sky.signalCount, sky.signals);
  haveEpoch = true;
  // The cycle as the receiver's clock tells it, not as the serial line
  // delivered it.
  if (fix.hours != GPS_UNKNOWN) {
    const int32_t timeOfDay = ((fix.hours * 60 + fix.minutes) * 60 + fix.seconds) * 1000 + fix.milliseconds;
    const int32_t step = timeOfDay - lastTimeOfDay;
    if (lastTimeOfDay >= 0 && step > 0 && step <= 60000) device.cycleSeconds = step / 1000.0;
    lastTimeOfDay = timeOfDay;
  }
  auto tpv = std::make_shared<std::string>();
  GpsdAppendTpv(tpv.get(), path, fix);
  Broadcast(tpv, false);
  auto skyLine = std::make_shared<std::string>();
  GpsdAppendSky(skyLine.get(), path, fix, sky);
  Broadcast(skyLine, false);
}

// Watchers with json hear of the device when it goes and when it comes back.
void SocketServer::Impl::UpdateLink() {
  LinkReport now;
  {
    const std::lock_guard<std::mutex> hold(linkLock);
    now = linkShared;
  }
  if (now.portIndex == link.portIndex && now.present == link.present && now.baudRate == link.baudRate) return;
  const bool wasPresent = link.portIndex >= 0 && link.present;
  link = now;
  if (now.portIndex < 0) return;
  path = "COM" + std::to_string(now.portIndex + 1);
  device.path = path;
  device.present = now.present;
  device.bps = now.baudRate;
  if (device.activatedMs == 0) device.activatedMs = NowUnixMs();
  if (!now.present) {
    device.cycleSeconds = NAN;  // measured afresh when it is back
    lastTimeOfDay = -1;
  }
  if (wasPresent == now.present && now.present) return;  // only the speed changed
  auto line = std::make_shared<std::string>();
  GpsdAppendDevice(line.get(), device);
  Broadcast(line, false);
}
