// SPDX-License-Identifier: GPL-3.0-or-later
// The system's socket headers, for the code that every system with BSD sockets shares
// (platform/socket_address.h): CMake makes this folder's copy the one it finds on Windows.
#pragma once

#include "platform/win32/windows_headers.h"

// After windows.h (lean, so without the old winsock.h), which they build on.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <string>

namespace orvane::sockets {

// Why getaddrinfo failed, in the system's words.
inline std::string lookUpFailure(int status) {
  return ::gai_strerrorA(status);
}

}  // namespace orvane::sockets
