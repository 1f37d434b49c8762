// SPDX-License-Identifier: GPL-3.0-or-later
// For the network layers' real-part tests on every system: the port in a listener's name, and
// bytes whose order can be checked at the other end.
#pragma once

#include <cstddef>
#include <string>

namespace orvane::testing {

// The port of "127.0.0.1:4532" or "[::1]:4532".
inline int portOf(const std::string& name) {
  return std::stoi(name.substr(name.rfind(':') + 1));
}

// size bytes of a repeating count starting at from: a byte lost, doubled or moved shows.
inline std::string countedBytes(std::size_t size, std::size_t from = 0) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + (from + i) % 23);
  return bytes;
}

}  // namespace orvane::testing
