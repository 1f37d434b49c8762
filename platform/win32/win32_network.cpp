// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/win32_network.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/socket_address.h"
#include "platform/stream_connection.h"
#include "platform/win32/system_sockets.h"
#include "platform/win32/unique_handle.h"

namespace orvane {
namespace win32_net {

// A socket that reports to the shared event, found again through its id: nothing holds a pointer
// to a socket that may be destroyed while its news is being collected.
class Watched {
 public:
  virtual ~Watched() = default;
  // Takes the socket's news from Winsock and acts on it. Returns whether there was any.
  virtual bool collectNews() = 0;
};

struct Core {
  bool started = false;
  UniqueHandle event;
  std::unordered_map<std::uint64_t, Watched*> watched;
  std::uint64_t nextId = 1;

  Core() {
    WSADATA data{};
    started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (started) event = UniqueHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  }
  ~Core() {
    if (started) ::WSACleanup();
  }
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  bool usable() const { return started && event; }
  std::uint64_t enrol(Watched* socket) {
    const std::uint64_t id = nextId++;
    watched.emplace(id, socket);
    return id;
  }
  void leave(std::uint64_t id) { watched.erase(id); }
  // The next dispatch looks at every socket.
  void poke() const { ::SetEvent(event.get()); }
};

}  // namespace win32_net

namespace {

using sockets::Endpoint;
using sockets::endpointName;
using win32_net::Core;
using win32_net::Watched;

constexpr long kAllNews = FD_ACCEPT | FD_READ | FD_WRITE | FD_CLOSE | FD_CONNECT;
constexpr int kBacklog = 16;

class UniqueSocket {
 public:
  UniqueSocket() = default;
  explicit UniqueSocket(SOCKET s) : socket_(s) {}
  ~UniqueSocket() { reset(); }
  UniqueSocket(UniqueSocket&& other) noexcept
      : socket_(std::exchange(other.socket_, INVALID_SOCKET)) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) {
      reset();
      socket_ = std::exchange(other.socket_, INVALID_SOCKET);
    }
    return *this;
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;

  SOCKET get() const { return socket_; }
  explicit operator bool() const { return socket_ != INVALID_SOCKET; }
  void reset() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
};

// The system's words for a Winsock error.
std::string systemReason(int error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string words = length > 0 && text != nullptr ? std::string(text, length) : "";
  if (text != nullptr) ::LocalFree(text);
  while (!words.empty() && (words.back() == '\r' || words.back() == '\n' || words.back() == '.'))
    words.pop_back();
  const std::string code = "error " + std::to_string(error);
  return words.empty() ? code : words + " (" + code + ")";
}

// A socket that reports its news to the core's event (which also makes it non-blocking) and is
// not handed to programs the panel might start.
bool reportToCore(SOCKET s, const Core& core) {
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  return ::WSAEventSelect(s, core.event.get(), kAllNews) == 0;
}

void sendWithoutDelay(SOCKET s) {
  const BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

int clampToInt(std::size_t count) {
  return count > static_cast<std::size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(count);
}

class Win32Connection final : public StreamConnection, public Watched {
 public:
  // An accepted connection, open from the start.
  Win32Connection(std::shared_ptr<Core> core, UniqueSocket s, std::string peer)
      : StreamConnection(Status::Open, std::move(peer)),
        core_(std::move(core)),
        socket_(std::move(s)) {
    id_ = core_->enrol(this);
    sendWithoutDelay(socket_.get());
    if (!reportToCore(socket_.get(), *core_)) broken();
  }
  // An outgoing connection to the first of candidates that answers.
  Win32Connection(std::shared_ptr<Core> core, std::vector<Endpoint> candidates)
      : StreamConnection(Status::Connecting, endpointName(candidates.front())),
        core_(std::move(core)),
        candidates_(std::move(candidates)) {
    id_ = core_->enrol(this);
  }
  ~Win32Connection() override { core_->leave(id_); }
  Win32Connection(const Win32Connection&) = delete;
  Win32Connection& operator=(const Win32Connection&) = delete;

  // Starts a connection to the next candidate. False when none is left that a connection could be
  // started to; why the last one failed is then in whyNot.
  bool tryNextCandidate(std::string& whyNot) {
    while (next_ < candidates_.size()) {
      const Endpoint& endpoint = candidates_[next_++];
      socket_ = UniqueSocket(::socket(endpoint.family(), SOCK_STREAM, IPPROTO_TCP));
      if (!socket_ || !reportToCore(socket_.get(), *core_)) {
        whyNot = endpointName(endpoint) + ": " + systemReason(::WSAGetLastError());
        socket_.reset();
        continue;
      }
      sendWithoutDelay(socket_.get());
      peerClosing_ = false;
      refusedAtOnce_ = ::connect(socket_.get(), endpoint.raw(), endpoint.length) != 0 &&
                       ::WSAGetLastError() != WSAEWOULDBLOCK;
      // A refusal that comes at once is told like one that comes later, at the next dispatch.
      if (refusedAtOnce_) core_->poke();
      setPeerName(endpointName(endpoint));
      return true;
    }
    return false;
  }

  bool collectNews() override {
    WSANETWORKEVENTS news{};
    if (!socket_ || ::WSAEnumNetworkEvents(socket_.get(), nullptr, &news) != 0) return false;
    if (status() == Status::Connecting) {
      if (refusedAtOnce_) {
        failedToConnect();
        return true;
      }
      if ((news.lNetworkEvents & FD_CONNECT) == 0) return false;
      if (news.iErrorCode[FD_CONNECT_BIT] != 0) {
        failedToConnect();
        return true;
      }
      established();
    }
    if ((news.lNetworkEvents & FD_CLOSE) != 0) peerClosing_ = true;
    if ((news.lNetworkEvents & FD_WRITE) != 0) flushOutput();
    if ((news.lNetworkEvents & (FD_READ | FD_CLOSE)) != 0) readAvailable();
    return news.lNetworkEvents != 0;
  }

 protected:
  SocketResult receiveSome(char* into, std::size_t capacity) override {
    const int n = ::recv(socket_.get(), into, clampToInt(capacity), 0);
    if (n > 0) return {SocketResult::Kind::Moved, static_cast<std::size_t>(n)};
    if (n == 0) return {SocketResult::Kind::PeerClosed, 0};
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return {SocketResult::Kind::Failed, 0};
    // After FD_CLOSE nothing more comes: what was there has been read.
    return {peerClosing_ ? SocketResult::Kind::PeerClosed : SocketResult::Kind::WouldBlock, 0};
  }
  SocketResult sendSome(const char* from, std::size_t count) override {
    const int n = ::send(socket_.get(), from, clampToInt(count), 0);
    if (n >= 0) return {SocketResult::Kind::Moved, static_cast<std::size_t>(n)};
    // Winsock posts FD_WRITE once the socket takes bytes again.
    if (::WSAGetLastError() == WSAEWOULDBLOCK) return {SocketResult::Kind::WouldBlock, 0};
    return {SocketResult::Kind::Failed, 0};
  }
  // FD_WRITE is always asked for: Winsock posts it only after a send found the socket full.
  void outputWaiting(bool) override {}

 private:
  void failedToConnect() {
    std::string ignored;
    if (!tryNextCandidate(ignored)) {
      socket_.reset();
      broken();
    }
  }

  std::shared_ptr<Core> core_;
  std::uint64_t id_ = 0;
  UniqueSocket socket_;
  std::vector<Endpoint> candidates_;
  std::size_t next_ = 0;
  bool refusedAtOnce_ = false;
  bool peerClosing_ = false;
};

class Win32Listener final : public Listener, public Watched {
 public:
  Win32Listener(std::shared_ptr<Core> core, UniqueSocket s, std::string localName)
      : core_(std::move(core)), socket_(std::move(s)), localName_(std::move(localName)) {
    id_ = core_->enrol(this);
  }
  ~Win32Listener() override { core_->leave(id_); }
  Win32Listener(const Win32Listener&) = delete;
  Win32Listener& operator=(const Win32Listener&) = delete;

  std::unique_ptr<Connection> accept() override {
    for (;;) {
      sockaddr_storage peer{};
      int length = sizeof peer;
      UniqueSocket s(::accept(socket_.get(), reinterpret_cast<sockaddr*>(&peer), &length));
      if (s) {
        return std::make_unique<Win32Connection>(core_, std::move(s),
                                                 endpointName(reinterpret_cast<sockaddr*>(&peer)));
      }
      // A client that gave up while waiting to be accepted: the next one may be there.
      if (::WSAGetLastError() == WSAECONNRESET) continue;
      return nullptr;
    }
  }
  std::string localName() const override { return localName_; }
  bool collectNews() override {
    WSANETWORKEVENTS news{};
    return ::WSAEnumNetworkEvents(socket_.get(), nullptr, &news) == 0 && news.lNetworkEvents != 0;
  }

 private:
  std::shared_ptr<Core> core_;
  UniqueSocket socket_;
  std::string localName_;
  std::uint64_t id_ = 0;
};

}  // namespace

Win32Network::Win32Network() : core_(std::make_shared<Core>()) {}

Win32Network::~Win32Network() = default;

HANDLE Win32Network::waitHandle() const {
  return core_->usable() ? core_->event.get() : nullptr;
}

void Win32Network::setActivityHandler(std::function<void()> handler) {
  handler_ = std::move(handler);
}

std::unique_ptr<Listener> Win32Network::listen(const std::string& address, int port,
                                               std::string& whyNot) {
  if (!core_->usable()) {
    whyNot = "Winsock could not be started";
    return nullptr;
  }
  const std::optional<Endpoint> endpoint = sockets::listeningEndpoint(address, port, whyNot);
  if (!endpoint) return nullptr;
  const std::string name = endpointName(*endpoint);
  UniqueSocket s(::socket(endpoint->family(), SOCK_STREAM, IPPROTO_TCP));
  // No SO_REUSEADDR: on Windows it would let a second program take a port that is in use, and a
  // plain bind already takes a port that only the last run's closed connections still hold.
  if (!s || ::bind(s.get(), endpoint->raw(), endpoint->length) != 0 ||
      ::listen(s.get(), kBacklog) != 0 || !reportToCore(s.get(), *core_)) {
    whyNot = name + ": " + systemReason(::WSAGetLastError());
    return nullptr;
  }
  sockaddr_storage bound{};
  int length = sizeof bound;
  ::getsockname(s.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  return std::make_unique<Win32Listener>(core_, std::move(s),
                                         endpointName(reinterpret_cast<sockaddr*>(&bound)));
}

std::unique_ptr<Connection> Win32Network::connect(const std::string& host, int port,
                                                  std::string& whyNot) {
  if (!core_->usable()) {
    whyNot = "Winsock could not be started";
    return nullptr;
  }
  std::vector<Endpoint> candidates = sockets::connectionCandidates(host, port, whyNot);
  if (candidates.empty()) return nullptr;
  auto connection = std::make_unique<Win32Connection>(core_, std::move(candidates));
  if (!connection->tryNextCandidate(whyNot)) return nullptr;
  return connection;
}

void Win32Network::dispatch() {
  if (dispatching_ || !core_->usable()) return;
  dispatching_ = true;
  // Cleared however the handler returns, so the network is never left deaf.
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{dispatching_};
  // Reset before looking: news that comes while the sockets are looked at sets it again.
  ::ResetEvent(core_->event.get());
  bool news = false;
  // Nothing here calls the program, so no socket can go away while its news is looked at.
  for (const auto& [id, socket] : core_->watched) news = socket->collectNews() || news;
  if (news && handler_) handler_();
}

}  // namespace orvane
