// SPDX-License-Identifier: GPL-3.0-or-later
// TCP on Linux: non-blocking sockets, all watched by one epoll instance. The program's event wait
// watches waitFd() beside its other sources (the window's events, the terminal, the clip that is
// playing) and calls dispatch() when it is readable; dispatch() calls the activity handler.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace orvane {

namespace posix_net {
struct Core;
}

// Listens on and connects to IPv4 and IPv6 addresses; "localhost" is 127.0.0.1. Connections send
// without delay (TCP_NODELAY): requests and answers are a few bytes each, and a client waits for
// every answer. Listeners take their port again at once after a restart (SO_REUSEADDR).
//
// Every socket is registered edge-triggered, so each piece of news is told once, as the contract of
// Network says. The network may be destroyed before its listeners and connections; they then go
// on working, but nothing tells of their news any more.
class PosixNetwork final : public Network {
 public:
  PosixNetwork();
  ~PosixNetwork() override;
  PosixNetwork(const PosixNetwork&) = delete;
  PosixNetwork& operator=(const PosixNetwork&) = delete;

  std::unique_ptr<Listener> listen(const std::string& address, int port,
                                   std::string& whyNot) override;
  // A numeric address or "localhost" never waits; another name is looked up with getaddrinfo,
  // which may, and each of its addresses is tried in turn until one answers.
  std::unique_ptr<Connection> connect(const std::string& host, int port,
                                      std::string& whyNot) override;
  void setActivityHandler(std::function<void()> handler) override;

  // Readable whenever a socket may have news: the descriptor for the program's event wait. It
  // stays readable until dispatch() has run. -1 when the system gave no epoll instance (then
  // every listen and connect fails too).
  int waitFd() const;
  // Collects the sockets' news without waiting: sends queued bytes to sockets that take them
  // again, notes connections established, failed or closed by the peer, reads what has arrived;
  // then calls the activity handler once if there was any news. Safe to call at any time, and the
  // handler may destroy or create listeners and connections. A call from inside the handler does
  // nothing.
  void dispatch();

 private:
  std::shared_ptr<posix_net::Core> core_;
  std::function<void()> handler_;
  bool dispatching_ = false;
};

}  // namespace orvane
