// SPDX-License-Identifier: GPL-3.0-or-later
// TCP on Windows with Winsock 2: every socket reports its news (FD_ACCEPT, FD_READ, FD_WRITE,
// FD_CLOSE, FD_CONNECT) to one manual-reset event through WSAEventSelect. The program's event
// wait waits for waitHandle() beside its window messages and the clip that is playing, and calls
// dispatch() when it is signalled; dispatch() calls the activity handler.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/win32/windows_headers.h"

namespace orvane {

namespace win32_net {
struct Core;
}

// The same connections as on Linux: IPv4 and IPv6, "localhost" as 127.0.0.1, no send delay
// (TCP_NODELAY), listeners that take their port again at once after a restart. Winsock tells a
// piece of news again only once the program has taken what it told (accepted, received until
// nothing was left, or sent until the socket took no more), as the contract of Network asks.
//
// The network may be destroyed before its listeners and connections; they then go on working, but
// nothing tells of their news any more.
class Win32Network final : public Network {
 public:
  // Starts Winsock for this object's life (and that of its sockets).
  Win32Network();
  ~Win32Network() override;
  Win32Network(const Win32Network&) = delete;
  Win32Network& operator=(const Win32Network&) = delete;

  std::unique_ptr<Listener> listen(const std::string& address, int port,
                                   std::string& whyNot) override;
  // A numeric address or "localhost" never waits; another name is looked up with getaddrinfo,
  // which may, and each of its addresses is tried in turn until one answers.
  std::unique_ptr<Connection> connect(const std::string& host, int port,
                                      std::string& whyNot) override;
  void setActivityHandler(std::function<void()> handler) override;

  // Signalled whenever a socket may have news, until dispatch() runs; nullptr when Winsock could
  // not be started (every listen and connect then fails too).
  HANDLE waitHandle() const;
  // Collects every socket's news without waiting (sends queued bytes to sockets that take them
  // again, notes connections established, failed or closed by the peer, reads what has arrived),
  // then calls the activity handler once if there was any news. Safe to call at any time; the
  // handler may destroy or create listeners and connections. A call from inside the handler does
  // nothing.
  void dispatch();

 private:
  std::shared_ptr<win32_net::Core> core_;
  std::function<void()> handler_;
  bool dispatching_ = false;
};

}  // namespace orvane
