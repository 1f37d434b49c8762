// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/posix_network.h"

#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "platform/socket_address.h"
#include "platform/stream_connection.h"

namespace orvane {
namespace posix_net {

// A socket that the epoll instance watches, found again through its id: the epoll instance holds
// ids, never pointers, so news for a socket that has meanwhile been destroyed finds nothing.
class Watched {
 public:
  virtual ~Watched() = default;
  virtual void onReady(std::uint32_t events) = 0;
};

struct Core {
  UniqueFd epoll{::epoll_create1(EPOLL_CLOEXEC)};
  std::unordered_map<std::uint64_t, Watched*> watched;
  std::uint64_t nextId = 1;

  std::uint64_t enrol(Watched* socket) {
    const std::uint64_t id = nextId++;
    watched.emplace(id, socket);
    return id;
  }
  void leave(std::uint64_t id) { watched.erase(id); }
  bool control(int operation, int fd, std::uint32_t events, std::uint64_t id) {
    epoll_event event{};
    event.events = events;
    event.data.u64 = id;
    return ::epoll_ctl(epoll.get(), operation, fd, &event) == 0;
  }
};

}  // namespace posix_net

namespace {

using posix_net::Core;
using posix_net::Watched;
using sockets::Endpoint;
using sockets::endpointName;

// Told once per change: the socket is watched edge-triggered.
constexpr std::uint32_t kWatchInput = EPOLLIN | EPOLLRDHUP | EPOLLET;
constexpr int kBacklog = 16;

std::string systemReason(int error) {
  return std::strerror(error);
}

UniqueFd streamSocket(int family) {
  return UniqueFd(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
}

void sendWithoutDelay(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

class PosixConnection final : public StreamConnection, public Watched {
 public:
  // An accepted connection, open from the start.
  PosixConnection(std::shared_ptr<Core> core, UniqueFd fd, std::string peer)
      : StreamConnection(Status::Open, std::move(peer)), core_(std::move(core)) {
    id_ = core_->enrol(this);
    fd_ = std::move(fd);
    sendWithoutDelay(fd_.get());
    if (!watch(EPOLL_CTL_ADD)) broken();
  }
  // An outgoing connection to the first of candidates that answers.
  PosixConnection(std::shared_ptr<Core> core, std::vector<Endpoint> candidates)
      : StreamConnection(Status::Connecting, endpointName(candidates.front())),
        core_(std::move(core)),
        candidates_(std::move(candidates)) {
    id_ = core_->enrol(this);
  }
  ~PosixConnection() override {
    stopWatching();
    core_->leave(id_);
  }
  PosixConnection(const PosixConnection&) = delete;
  PosixConnection& operator=(const PosixConnection&) = delete;

  // Starts a connection to the next candidate. False when none is left that a connection could be
  // started to; why the last one failed is then in whyNot.
  bool tryNextCandidate(std::string& whyNot) {
    while (next_ < candidates_.size()) {
      const Endpoint& endpoint = candidates_[next_++];
      stopWatching();
      fd_ = streamSocket(endpoint.family());
      if (!fd_) {
        whyNot = endpointName(endpoint) + ": " + systemReason(errno);
        continue;
      }
      sendWithoutDelay(fd_.get());
      // A refusal that comes at once is told like one that comes later: the socket is then
      // closed, and the epoll instance tells so as soon as it watches it.
      refusedAtOnce_ = ::connect(fd_.get(), endpoint.raw(), endpoint.length) != 0 &&
                       errno != EINPROGRESS && errno != EINTR;
      if (!watch(EPOLL_CTL_ADD)) {
        whyNot = endpointName(endpoint) + ": " + systemReason(errno);
        fd_.reset();
        continue;
      }
      setPeerName(endpointName(endpoint));
      return true;
    }
    return false;
  }

  void onReady(std::uint32_t events) override {
    if (status() == Status::Connecting) {
      if ((events & (EPOLLOUT | EPOLLERR | EPOLLHUP)) == 0) return;
      finishConnecting();
      if (status() != Status::Open) return;
    }
    if ((events & EPOLLOUT) != 0) flushOutput();
    if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0) readAvailable();
  }

 protected:
  SocketResult receiveSome(char* into, std::size_t capacity) override {
    for (;;) {
      const ssize_t n = ::recv(fd_.get(), into, capacity, MSG_DONTWAIT);
      if (n > 0) return {SocketResult::Kind::Moved, static_cast<std::size_t>(n)};
      if (n == 0) return {SocketResult::Kind::PeerClosed, 0};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {SocketResult::Kind::WouldBlock, 0};
      return {SocketResult::Kind::Failed, 0};
    }
  }
  SocketResult sendSome(const char* from, std::size_t count) override {
    for (;;) {
      // MSG_NOSIGNAL: a peer that has gone makes the send fail, instead of ending the panel with
      // SIGPIPE.
      const ssize_t n = ::send(fd_.get(), from, count, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0) return {SocketResult::Kind::Moved, static_cast<std::size_t>(n)};
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) return {SocketResult::Kind::WouldBlock, 0};
      return {SocketResult::Kind::Failed, 0};
    }
  }
  void outputWaiting(bool) override { watch(EPOLL_CTL_MOD); }

 private:
  void finishConnecting() {
    int error = 0;
    socklen_t length = sizeof error;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    const bool connected =
        !refusedAtOnce_ && ::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &length) == 0 &&
        error == 0 &&
        ::getpeername(fd_.get(), reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0;
    if (connected) {
      established();
      watch(EPOLL_CTL_MOD);
      return;
    }
    std::string ignored;
    if (!tryNextCandidate(ignored)) {
      stopWatching();
      broken();
    }
  }

  // Registers the socket, or changes its registration to what it waits for now: writability only
  // while a connection is being made or bytes wait to be sent, so an idle connection is never
  // told that it could send.
  bool watch(int operation) {
    if (!fd_) return false;
    const bool wantsOutput = status() == Status::Connecting || queued() > 0;
    const std::uint32_t events = kWatchInput | (wantsOutput ? std::uint32_t{EPOLLOUT} : 0u);
    if (operation == EPOLL_CTL_MOD && events == watchedEvents_) return true;
    if (!core_->control(operation, fd_.get(), events, id_)) return false;
    watchedEvents_ = events;
    return true;
  }
  void stopWatching() {
    if (fd_) core_->control(EPOLL_CTL_DEL, fd_.get(), 0, id_);
    watchedEvents_ = 0;
  }

  std::shared_ptr<Core> core_;
  std::uint64_t id_ = 0;
  UniqueFd fd_;
  std::uint32_t watchedEvents_ = 0;
  std::vector<Endpoint> candidates_;
  std::size_t next_ = 0;
  bool refusedAtOnce_ = false;
};

class PosixListener final : public Listener, public Watched {
 public:
  PosixListener(std::shared_ptr<Core> core, UniqueFd fd, std::string localName)
      : core_(std::move(core)), fd_(std::move(fd)), localName_(std::move(localName)) {
    id_ = core_->enrol(this);
    core_->control(EPOLL_CTL_ADD, fd_.get(), EPOLLIN | EPOLLET, id_);
  }
  ~PosixListener() override {
    core_->control(EPOLL_CTL_DEL, fd_.get(), 0, id_);
    core_->leave(id_);
  }
  PosixListener(const PosixListener&) = delete;
  PosixListener& operator=(const PosixListener&) = delete;

  std::unique_ptr<Connection> accept() override {
    for (;;) {
      sockaddr_storage peer{};
      socklen_t length = sizeof peer;
      UniqueFd fd(::accept4(fd_.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                            SOCK_NONBLOCK | SOCK_CLOEXEC));
      if (fd) {
        return std::make_unique<PosixConnection>(core_, std::move(fd),
                                                 endpointName(reinterpret_cast<sockaddr*>(&peer)));
      }
      // A client that gave up while waiting to be accepted: the next one may be there.
      if (errno == EINTR || errno == ECONNABORTED) continue;
      // EAGAIN: nobody is waiting. Out of descriptors (EMFILE, ENFILE): the client waits in the
      // backlog and is taken at the next accept after something has been closed.
      return nullptr;
    }
  }
  std::string localName() const override { return localName_; }
  void onReady(std::uint32_t) override {}

 private:
  std::shared_ptr<Core> core_;
  UniqueFd fd_;
  std::string localName_;
  std::uint64_t id_ = 0;
};

}  // namespace

PosixNetwork::PosixNetwork() : core_(std::make_shared<Core>()) {}

PosixNetwork::~PosixNetwork() = default;

int PosixNetwork::waitFd() const {
  return core_->epoll.get();
}

void PosixNetwork::setActivityHandler(std::function<void()> handler) {
  handler_ = std::move(handler);
}

std::unique_ptr<Listener> PosixNetwork::listen(const std::string& address, int port,
                                               std::string& whyNot) {
  const std::optional<Endpoint> endpoint = sockets::listeningEndpoint(address, port, whyNot);
  if (!endpoint) return nullptr;
  const std::string name = endpointName(*endpoint);
  if (!core_->epoll) {
    whyNot = name + ": " + systemReason(EMFILE);
    return nullptr;
  }
  UniqueFd fd = streamSocket(endpoint->family());
  // A panel started again at once finds its port still held by the last run's closed connections.
  const int on = 1;
  if (!fd || ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      ::bind(fd.get(), endpoint->raw(), endpoint->length) != 0 ||
      ::listen(fd.get(), kBacklog) != 0) {
    whyNot = name + ": " + systemReason(errno);
    return nullptr;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &length);
  return std::make_unique<PosixListener>(core_, std::move(fd),
                                         endpointName(reinterpret_cast<sockaddr*>(&bound)));
}

std::unique_ptr<Connection> PosixNetwork::connect(const std::string& host, int port,
                                                  std::string& whyNot) {
  if (!core_->epoll) {
    whyNot = host + ": " + systemReason(EMFILE);
    return nullptr;
  }
  std::vector<Endpoint> candidates = sockets::connectionCandidates(host, port, whyNot);
  if (candidates.empty()) return nullptr;
  auto connection = std::make_unique<PosixConnection>(core_, std::move(candidates));
  if (!connection->tryNextCandidate(whyNot)) return nullptr;
  return connection;
}

void PosixNetwork::dispatch() {
  if (dispatching_ || !core_->epoll) return;
  dispatching_ = true;
  // Cleared however the handler returns, so the network is never left deaf.
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{dispatching_};
  bool news = false;
  std::array<epoll_event, 32> ready{};
  for (;;) {
    const int count = ::epoll_wait(core_->epoll.get(), ready.data(), ready.size(), 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    for (int i = 0; i < count; ++i) {
      const epoll_event& event = ready[static_cast<std::size_t>(i)];
      // Nothing here calls the program, so no socket can go away while its news is looked at.
      if (const auto it = core_->watched.find(event.data.u64); it != core_->watched.end()) {
        it->second->onReady(event.events);
        news = true;
      }
    }
    if (static_cast<std::size_t>(count) < ready.size()) break;
  }
  if (news && handler_) handler_();
}

}  // namespace orvane
