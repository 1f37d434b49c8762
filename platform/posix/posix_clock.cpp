// SPDX-License-Identifier: GPL-3.0-or-later
#include <ctime>

#include <chrono>

#include "platform/posix/posix_platform.h"

namespace orvane {

LocalDateTime PosixClock::localNow() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return {};
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

}  // namespace orvane
