// SPDX-License-Identifier: GPL-3.0-or-later
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <limits>

#include "platform/posix/posix_platform.h"
#include "platform/posix/serial_line.h"

namespace orvane {
namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 256;

using SteadyClock = std::chrono::steady_clock;

int millisecondsUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now()).count();
  if (left <= 0) return 0;
  return left > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(left);
}

// The errors a terminal gives once its device has gone: a hung-up tty answers EIO, a USB serial
// adapter being removed ENODEV or ENXIO.
bool lineGone(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

constexpr short kHangUpEvents = POLLHUP | POLLERR | POLLNVAL;

}  // namespace

std::string serialDevicePath(int port, const std::string& directory) {
  if (port < kFirstPort || port > kLastPort) return {};
  const std::string link = directory + "/com" + std::to_string(port);
  struct stat st {};
  // lstat: a link to an unplugged adapter still names the operator's device.
  if (::lstat(link.c_str(), &st) == 0) return link;
  return "/dev/ttyS" + std::to_string(port - 1);
}

PosixSerialDevice::~PosixSerialDevice() {
  // A pseudo-terminal outlives its users, so an exclusive mode left behind would lock out the
  // next program; a real device forgets it on its last close anyway.
  ::ioctl(fd_.get(), TIOCNXCL);
  ::flock(fd_.get(), LOCK_UN);
}

bool PosixSerialDevice::readLineFormat(SerialLineFormat& format) {
  const auto now = readTermiosFormat(fd_.get());
  if (!now) return false;
  format = *now;
  return true;
}

bool PosixSerialDevice::writeLineFormat(const SerialLineFormat& format) {
  return writeTermiosFormat(fd_.get(), format);
}

void PosixSerialDevice::setReadTimeouts(const SerialReadTimeouts& timeouts) {
  timeouts_ = timeouts;
}

// Waits until input arrives or timeoutMs passes (-1: no limit). False on time-out, and when the
// line has hung up or failed, so a vanished device ends the wait instead of spinning.
bool PosixSerialDevice::waitForInput(int timeoutMs) {
  pollfd p{fd_.get(), POLLIN, 0};
  int r = 0;
  do {
    r = ::poll(&p, 1, timeoutMs);
  } while (r < 0 && errno == EINTR);
  if (r > 0 && (p.revents & kHangUpEvents) != 0) hungUp_ = true;
  return r > 0 && !hungUp_ && (p.revents & POLLIN) != 0;
}

std::size_t PosixSerialDevice::write(std::string_view bytes) {
  if (bytes.empty() || hungUp_) return 0;
  ssize_t n = 0;
  do {
    n = ::write(fd_.get(), bytes.data(), bytes.size());
  } while (n < 0 && errno == EINTR);
  // EAGAIN is a full output queue, which drains; EIO and the like mean the device has gone.
  if (n < 0 && lineGone(errno)) hungUp_ = true;
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

// One poll() without waiting; it costs one system call.
bool PosixSerialDevice::pollSaysHungUp() {
  pollfd p{fd_.get(), POLLIN, 0};
  if (::poll(&p, 1, 0) > 0 && (p.revents & kHangUpEvents) != 0) hungUp_ = true;
  return hungUp_;
}

// With VMIN and VTIME 0 an empty line reads 0 bytes just as a hung-up one does; only poll() tells
// them apart.
std::string PosixSerialDevice::readQueued(std::size_t maxCount) {
  if (hungUp_) return {};
  std::string out(maxCount, '\0');
  ssize_t n = 0;
  do {
    n = ::read(fd_.get(), out.data(), maxCount);
  } while (n < 0 && errno == EINTR);
  if (n < 0 && lineGone(errno)) hungUp_ = true;
  if (n == 0) pollSaysHungUp();
  out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  return out;
}

// The descriptor never blocks; waiting, when the time-outs ask for it, is done with poll(): a
// total limit of perByteMs for each byte asked for plus constantMs (none when both are 0), and an
// end when the line has been quiet for intervalMs after a byte (none when it is 0).
std::string PosixSerialDevice::read(std::size_t maxCount) {
  if (maxCount == 0) return {};
  std::string got = readQueued(maxCount);
  if (timeouts_.returnAtOnce) return got;

  const long long totalMs =
      static_cast<long long>(timeouts_.perByteMs) * static_cast<long long>(maxCount) +
      timeouts_.constantMs;
  const bool totalLimit = totalMs > 0;
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(totalMs);
  while (got.size() < maxCount) {
    int waitMs = -1;
    if (totalLimit) waitMs = millisecondsUntil(deadline);
    if (!got.empty() && timeouts_.intervalMs > 0)
      waitMs = waitMs < 0 ? timeouts_.intervalMs : std::min(waitMs, timeouts_.intervalMs);
    if (waitMs == 0 || !waitForInput(waitMs)) break;
    const std::string more = readQueued(maxCount - got.size());
    if (more.empty()) break;
    got += more;
  }
  return got;
}

// A quiet line and a hung-up one both have nothing waiting; poll() tells them apart.
std::size_t PosixSerialDevice::bytesWaiting() {
  if (hungUp_ || pollSaysHungUp()) return 0;
  int queued = 0;
  if (::ioctl(fd_.get(), FIONREAD, &queued) != 0) {
    if (lineGone(errno)) hungUp_ = true;
    return 0;
  }
  return queued < 0 ? 0 : static_cast<std::size_t>(queued);
}

bool PosixSerialDevice::hungUp() {
  return hungUp_;
}

std::unique_ptr<SerialDevice> PosixSerialPorts::open(int portNumber) {
  const std::string path = serialDevicePath(portNumber, directory_);
  if (path.empty()) return nullptr;
  // O_NONBLOCK also keeps open() from waiting for a carrier on a modem-control line.
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return nullptr;
  if (!::isatty(fd.get())) return nullptr;
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return nullptr;
  // Root gets through another program's exclusive mode; a device already held that way is in use
  // by a program that does not lock, so it is refused all the same.
  int alreadyExclusive = 0;
  if (::ioctl(fd.get(), TIOCGEXCL, &alreadyExclusive) == 0 && alreadyExclusive != 0) return nullptr;
  if (::ioctl(fd.get(), TIOCEXCL) != 0 || !makeRawLine(fd.get())) {
    ::ioctl(fd.get(), TIOCNXCL);
    return nullptr;
  }
  return std::make_unique<PosixSerialDevice>(std::move(fd));
}

}  // namespace orvane
