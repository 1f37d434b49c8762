// SPDX-License-Identifier: GPL-3.0-or-later
// A file descriptor that closes itself.
#pragma once

#include <unistd.h>

#include <utility>

namespace orvane {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(std::exchange(other.fd_, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

// Writes one byte into the write end of a pipe that wakes a waiting thread or loop. A pipe too full
// to take it already holds a wake that has not been read, and a pipe whose reader has gone has no
// one to wake, so neither is an error: the result is deliberately dropped, where the compiler's
// fortified write() would otherwise insist on it being looked at.
inline void wakeByte(int fd, char byte) {
  if (::write(fd, &byte, 1) < 0) return;
}

}  // namespace orvane
