// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/socket_address.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace orvane::sockets {

std::string endpointName(const sockaddr* address) {
  std::array<char, INET6_ADDRSTRLEN> text{};
  if (address->sa_family == AF_INET) {
    const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
    ::inet_ntop(AF_INET, &v4->sin_addr, text.data(), text.size());
    return std::string(text.data()) + ":" + std::to_string(ntohs(v4->sin_port));
  }
  if (address->sa_family == AF_INET6) {
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
    const std::string port = std::to_string(ntohs(v6->sin6_port));
    if (IN6_IS_ADDR_V4MAPPED(&v6->sin6_addr)) {
      ::inet_ntop(AF_INET, &v6->sin6_addr.s6_addr[12], text.data(), text.size());
      return std::string(text.data()) + ":" + port;
    }
    ::inet_ntop(AF_INET6, &v6->sin6_addr, text.data(), text.size());
    return "[" + std::string(text.data()) + "]:" + port;
  }
  return "?";
}

std::optional<Endpoint> numericEndpoint(const std::string& host, int port) {
  std::string name = host == "localhost" ? "127.0.0.1" : host;
  if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  Endpoint endpoint;
  auto* v4 = reinterpret_cast<sockaddr_in*>(&endpoint.address);
  auto* v6 = reinterpret_cast<sockaddr_in6*>(&endpoint.address);
  const auto networkPort = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, name.c_str(), &v4->sin_addr) == 1) {
    v4->sin_family = AF_INET;
    v4->sin_port = networkPort;
    endpoint.length = sizeof(sockaddr_in);
    return endpoint;
  }
  if (::inet_pton(AF_INET6, name.c_str(), &v6->sin6_addr) == 1) {
    v6->sin6_family = AF_INET6;
    v6->sin6_port = networkPort;
    endpoint.length = sizeof(sockaddr_in6);
    return endpoint;
  }
  return std::nullopt;
}

std::vector<Endpoint> lookUp(const std::string& host, int port, std::string& whyNot) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int status = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  std::vector<Endpoint> endpoints;
  if (status != 0) {
    whyNot = host + ": " + lookUpFailure(status);
    return endpoints;
  }
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
    Endpoint endpoint;
    std::memcpy(&endpoint.address, a->ai_addr, a->ai_addrlen);
    endpoint.length = static_cast<socklen_t>(a->ai_addrlen);
    endpoints.push_back(endpoint);
  }
  ::freeaddrinfo(found);
  if (endpoints.empty()) whyNot = host + ": no address";
  return endpoints;
}

namespace {

bool isTcpPort(int port, int lowest, std::string& whyNot) {
  if (port >= lowest && port <= 65535) return true;
  whyNot = "port " + std::to_string(port) + " is not a TCP port";
  return false;
}

}  // namespace

std::optional<Endpoint> listeningEndpoint(const std::string& address, int port,
                                          std::string& whyNot) {
  if (!isTcpPort(port, 0, whyNot)) return std::nullopt;
  std::optional<Endpoint> endpoint = numericEndpoint(address, port);
  if (!endpoint) whyNot = address + " is not a numeric IPv4 or IPv6 address";
  return endpoint;
}

std::vector<Endpoint> connectionCandidates(const std::string& host, int port, std::string& whyNot) {
  if (!isTcpPort(port, 1, whyNot)) return {};
  if (const std::optional<Endpoint> endpoint = numericEndpoint(host, port)) return {*endpoint};
  return lookUp(host, port, whyNot);
}

}  // namespace orvane::sockets
