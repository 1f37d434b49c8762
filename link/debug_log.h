// SPDX-License-Identifier: GPL-3.0-or-later
// The debug log "debug.dat": a header, then one line per command sent ("TX="), reply read ("RX=")
// and key accepted. Written only when the configuration asks for it; every line ends in CR LF.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace orvane {

inline constexpr char kDebugLogName[] = "debug.dat";

class DebugLog {
 public:
  explicit DebugLog(FileSystem& files) : files_(files) {}

  // Creates the file anew (an existing one is emptied) and writes the header
  // "ORVANEX <version>  dd-MM-yyyy   hh:mm:ss". A file that cannot be created leaves the log off
  // for the run.
  void open(std::string_view version, const LocalDateTime& now);
  // Appends text and CR LF; nothing when the log is not open.
  void writeLine(std::string_view text);
  void close() { file_.reset(); }
  bool isOpen() const { return file_ != nullptr; }

 private:
  FileSystem& files_;
  std::unique_ptr<OutputFile> file_;
};

// "07-12-2026   09:05:03" pieces of the header.
std::string formatLogDate(const LocalDateTime& t);
std::string formatLogTime(const LocalDateTime& t);

}  // namespace orvane
