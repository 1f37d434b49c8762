// SPDX-License-Identifier: GPL-3.0-or-later
// A client program on the loopback interface for the real-part tests: a plain blocking socket, as
// simple as a client can be. It may run in a thread of its own.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace orvane::testing {

class LoopbackClient {
 public:
  // Connects to 127.0.0.1:port. receiveBuffer > 0 makes the socket's receive buffer that small,
  // so that what a client that does not read holds back stays small too.
  explicit LoopbackClient(int port, int receiveBuffer = 0)
      : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (receiveBuffer > 0)
      ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      fd_.reset();
  }
  bool connected() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }
  void close() { fd_.reset(); }

  bool send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }
  // What arrives within patience, up to maxCount bytes: empty when nothing did, or at the end.
  std::string receive(std::size_t maxCount, std::chrono::milliseconds patience) {
    pollfd ready{fd_.get(), POLLIN, 0};
    if (::poll(&ready, 1, static_cast<int>(patience.count())) != 1) return "";
    std::vector<char> buffer(maxCount);
    const ssize_t n = ::recv(fd_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : "";
  }
  // Whether the other end closes the connection within patience.
  bool seesTheEnd(std::chrono::milliseconds patience) {
    pollfd ready{fd_.get(), POLLIN, 0};
    char byte = 0;
    return ::poll(&ready, 1, static_cast<int>(patience.count())) == 1 &&
           ::recv(fd_.get(), &byte, 1, MSG_DONTWAIT) == 0;
  }

 private:
  UniqueFd fd_;
};

}  // namespace orvane::testing
