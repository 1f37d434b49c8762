// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/debug_log.h"

#include <cstdio>

namespace orvane {

namespace {

std::string twoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

std::string formatLogDate(const LocalDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", t.day, t.month, t.year);
  return buf;
}

std::string formatLogTime(const LocalDateTime& t) {
  return twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
}

void DebugLog::open(std::string_view version, const LocalDateTime& now) {
  file_ = files_.createFile(kDebugLogName);
  writeLine("ORVANEX " + std::string(version) + "  " + formatLogDate(now) + "   " +
            formatLogTime(now));
}

void DebugLog::writeLine(std::string_view text) {
  if (file_) file_->write(std::string(text) + "\r\n");
}

}  // namespace orvane
