// SPDX-License-Identifier: GPL-3.0-or-later
// The real platform services on Windows: files in the working directory, the local clock and the
// COM ports. main builds these; the logic sees only the interfaces of platform.h.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/fallback_directories.h"
#include "platform/platform.h"
#include "platform/win32/unique_handle.h"

namespace orvane {

// Names are UTF-8 and relative names are taken in the working directory; "/" and "\" both
// separate folders.
class Win32FileSystem : public FileSystem {
 public:
  // Files on a disk only: a directory, a pipe or a device under the name reads as nothing.
  std::optional<std::string> readFile(const std::string& name) override;
  bool exists(const std::string& name) const override;
  // Each write goes to the system with WriteFile before it returns, so a log is complete up to its
  // last line when the panel is ended or crashes. Not written through to the disk: the debug log
  // gets some forty lines a second, and waiting for the disk at each would stall the panel on a
  // slow drive.
  std::unique_ptr<OutputFile> createFile(const std::string& name) override;
  // Writes a new file beside the old one, flushes it to the disk and moves it over the old one
  // with MoveFileExW (replace existing, write through), which on NTFS is one rename. A read-only
  // or locked old file makes the move fail; the old file is then untouched and the new one
  // removed.
  bool replaceFile(const std::string& name, std::string_view contents) override;
  // Windows compares names without regard to letter case already, so the file is found as it is
  // named or not at all. A path that is not found and begins with the prefix of a fallback
  // directory is looked for there in the same way.
  std::optional<std::string> findFile(const std::string& path) override;

  // A second place for the files under a relative folder (see FallbackDirectories), e.g. the
  // prefix "wave/" and the folder of the clip set installed beside orvane.exe.
  void addFallbackDirectory(std::string prefix, std::string directory);

 private:
  FallbackDirectories fallbacks_;
};

// folder + "\\" + relative, where folder is the one that holds the running program itself, so an
// installed program finds its data wherever it was installed to. Empty when the program's own
// path cannot be told.
std::string besideExecutable(std::string_view relative);

class Win32Clock : public Clock {
 public:
  LocalDateTime localNow() override;
};

// The device name of port number `port`: "\\.\COMn", which reaches every COM port, including
// those above 9 that the short name "COMn" does not. Empty for numbers outside 1..256.
std::string comDeviceName(int port);

// One open COM port. Reads and writes are plain (not overlapped) calls that complete before they
// return; with the read time-outs the panel sets, a read takes what is queued and never waits.
//
// A port whose device has gone (a USB adapter pulled out) fails every call with one of a few
// errors; from then on the device reports hungUp() and does nothing.
class Win32SerialDevice : public SerialDevice {
 public:
  explicit Win32SerialDevice(UniqueHandle handle) : handle_(std::move(handle)) {}

  bool readLineFormat(SerialLineFormat& format) override;
  // GetCommState, then the four fields changed, then SetCommState: flow control, handshake lines
  // and error characters stay as the port had them.
  bool writeLineFormat(const SerialLineFormat& format) override;
  // The port's COMMTIMEOUTS read part; the write part stays as the port had it.
  void setReadTimeouts(const SerialReadTimeouts& timeouts) override;
  std::size_t write(std::string_view bytes) override;
  std::string read(std::size_t maxCount) override;
  // ClearCommError's count of queued input; the same call clears a pending line error.
  std::size_t bytesWaiting() override;
  bool hungUp() override;

 private:
  void noteFailure();
  UniqueHandle handle_;
  bool hungUp_ = false;
};

class Win32SerialPorts : public SerialPorts {
 public:
  // Opens comDeviceName() for reading and writing with no sharing, so the port is the panel's
  // alone while it runs. A port without write time-outs gets one (12 ms a byte and 100 ms), so a
  // write held up by flow control cannot stall the panel. nullptr when it is missing, in use or no
  // COM port.
  std::unique_ptr<SerialDevice> open(int portNumber) override;
};

}  // namespace orvane
