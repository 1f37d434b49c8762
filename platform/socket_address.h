// SPDX-License-Identifier: GPL-3.0-or-later
// TCP endpoints as the network layers of every system name and find them: the BSD socket calls
// for addresses are the same on Linux and Windows, only their headers differ.
#pragma once

// The system's own socket headers: each system's folder of the platform layer has a
// system_sockets.h, and CMake puts that folder on the include path of its library.
#include <system_sockets.h>

#include <optional>
#include <string>
#include <vector>

namespace orvane::sockets {

struct Endpoint {
  sockaddr_storage address{};
  socklen_t length = 0;
  int family() const { return address.ss_family; }
  const sockaddr* raw() const { return reinterpret_cast<const sockaddr*>(&address); }
};

// "127.0.0.1:4532", "[::1]:4532"; an IPv4 client reaching an IPv6 listener is named by its IPv4
// address.
std::string endpointName(const sockaddr* address);
inline std::string endpointName(const Endpoint& endpoint) {
  return endpointName(endpoint.raw());
}

// A numeric IPv4 or IPv6 address (an IPv6 one with or without brackets), or "localhost", which is
// 127.0.0.1. Nothing for anything else.
std::optional<Endpoint> numericEndpoint(const std::string& host, int port);

// Every address of a name, in the order the system prefers them (getaddrinfo, which may wait).
// Empty, with the reason in whyNot, when there is none.
std::vector<Endpoint> lookUp(const std::string& host, int port, std::string& whyNot);

// The address a listener takes: a port from 0 (any free one) to 65535 on a numeric address or
// "localhost". Nothing, with the reason in whyNot, for anything else.
std::optional<Endpoint> listeningEndpoint(const std::string& address, int port,
                                          std::string& whyNot);

// The addresses a connection to host and port tries in turn: the one numeric address, or every
// address of a name. Empty, with the reason in whyNot, when there is none or port is not one from
// 1 to 65535.
std::vector<Endpoint> connectionCandidates(const std::string& host, int port, std::string& whyNot);

}  // namespace orvane::sockets
