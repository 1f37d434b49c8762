// SPDX-License-Identifier: GPL-3.0-or-later
// The real platform services on Linux: files in the working directory, the local clock and serial
// devices through termios. main builds these; the logic sees only the interfaces of platform.h.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fallback_directories.h"
#include "platform/platform.h"
#include "platform/posix/unique_fd.h"

namespace orvane {

// Files by name, relative names taken in the working directory.
class PosixFileSystem : public FileSystem {
 public:
  // Regular files only: a FIFO or a device under the name reads as nothing, without waiting.
  std::optional<std::string> readFile(const std::string& name) override;
  bool exists(const std::string& name) const override;
  // The file is written with write(2) and no buffering of our own, so the debug log is complete up
  // to its last line even when the program is killed.
  std::unique_ptr<OutputFile> createFile(const std::string& name) override;
  // Writes "<name>.XXXXXX" beside the file, flushes it to the disk, renames it over the file and
  // flushes the directory. A new file gets mode 0644, a replaced one keeps its mode. A symbolic
  // link stays: the file it leads to is the one replaced.
  bool replaceFile(const std::string& name, std::string_view contents) override;
  // Letter case is compared for ASCII letters only. When several names in the directory differ
  // from path's name only in case, the first of them in byte order is taken, so the choice never
  // depends on the order the directory happens to list them in. A path that is not found and
  // begins with the prefix of a fallback directory is looked for there in the same way.
  std::optional<std::string> findFile(const std::string& path) override;

  // A second place for the files under a relative directory (see FallbackDirectories), e.g. the
  // prefix "wave/" and the directory "/usr/share/orvane/wave".
  void addFallbackDirectory(std::string prefix, std::string directory);

 private:
  FallbackDirectories fallbacks_;
};

// directory + "/" + relative, where directory is the one that holds the running program itself
// (after every symbolic link is followed), so an installed tree finds its data wherever it was
// installed to. Empty when the program's own path cannot be told.
std::string besideExecutable(std::string_view relative);

class PosixClock : public Clock {
 public:
  LocalDateTime localNow() override;
};

// The device that port number `port` opens: "<directory>/comN" when that name exists (normally a
// symbolic link the operator made to the adapter, e.g. /dev/serial/by-id/usb-...-port0; a link
// whose adapter is unplugged still counts, so the port then fails instead of opening some other
// device), otherwise /dev/ttyS<N-1>. Empty for numbers outside 1..256.
std::string serialDevicePath(int port, const std::string& directory);

// One open serial device, held exclusively: a flock(2) lock, which every cooperating program and
// every second open by this program respects even when run as root, and the terminal's exclusive
// mode (TIOCEXCL), which refuses further opens by programs that do not lock. Both are given back
// when the device is destroyed.
//
// Line errors: Linux does not latch framing, parity, overrun or break conditions the way Windows
// does. On the raw line a byte received with a framing or parity error, and a break, arrive as a
// NUL byte in the input and reading simply goes on, so bytesWaiting has nothing to clear. A line
// that has hung up (USB adapter unplugged, simulator ended) reports nothing waiting, reads
// nothing, writes nothing and says so through hungUp(); opening the port again is the caller's
// business.
class PosixSerialDevice : public SerialDevice {
 public:
  explicit PosixSerialDevice(UniqueFd fd) : fd_(std::move(fd)) {}
  ~PosixSerialDevice() override;
  PosixSerialDevice(const PosixSerialDevice&) = delete;
  PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

  bool readLineFormat(SerialLineFormat& format) override;
  bool writeLineFormat(const SerialLineFormat& format) override;
  void setReadTimeouts(const SerialReadTimeouts& timeouts) override;
  // One write(2) on the non-blocking descriptor: a full output queue writes fewer bytes, or none,
  // instead of stalling the panel.
  std::size_t write(std::string_view bytes) override;
  std::string read(std::size_t maxCount) override;
  std::size_t bytesWaiting() override;
  bool hungUp() override;

 private:
  std::string readQueued(std::size_t maxCount);
  bool waitForInput(int timeoutMs);
  bool pollSaysHungUp();
  UniqueFd fd_;
  SerialReadTimeouts timeouts_;
  bool hungUp_ = false;
};

class PosixSerialPorts : public SerialPorts {
 public:
  explicit PosixSerialPorts(std::string directory = ".") : directory_(std::move(directory)) {}
  // Opens the device of serialDevicePath() without becoming its controlling terminal and without
  // waiting for a carrier, locks it, and makes the line raw (no echo, no translation, no software
  // flow control, receiver on, modem lines ignored). Speed, character format and hardware flow
  // control are left as the device had them. nullptr when the device is missing, not a terminal,
  // held by another program or refuses the raw mode.
  std::unique_ptr<SerialDevice> open(int portNumber) override;

 private:
  std::string directory_;
};

}  // namespace orvane
