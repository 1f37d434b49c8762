// SPDX-License-Identifier: GPL-3.0-or-later
// The system's socket headers, for the code that every system with BSD sockets shares
// (platform/socket_address.h): CMake makes this folder's copy the one it finds on Linux.
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <string>

namespace orvane::sockets {

// Why getaddrinfo failed, in the system's words.
inline std::string lookUpFailure(int status) {
  return ::gai_strerror(status);
}

}  // namespace orvane::sockets
