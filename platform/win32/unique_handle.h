// SPDX-License-Identifier: GPL-3.0-or-later
// An open kernel object (file, device, event) that is closed when it goes out of scope.
#pragma once

#include <utility>

#include "platform/win32/windows_headers.h"

namespace orvane {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  // Takes over handle; both null and INVALID_HANDLE_VALUE mean "none", since the Windows
  // functions use one or the other to say they failed.
  explicit UniqueHandle(HANDLE handle)
      : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace orvane
