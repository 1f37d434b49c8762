// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/posix/serial_line.h"

#include <array>
#include <utility>

#include "platform/posix/arbitrary_speed.h"

namespace orvane {
namespace {

// Every speed glibc has a constant for; these go through the ordinary termios calls, so drivers
// without arbitrary-rate support still get them.
constexpr std::array<std::pair<int, speed_t>, 30> kStandardSpeeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
}};

std::optional<speed_t> standardSpeedCode(int rate) {
  for (const auto& [r, code] : kStandardSpeeds)
    if (r == rate) return code;
  return std::nullopt;
}

std::optional<int> standardSpeedRate(speed_t code) {
  for (const auto& [r, c] : kStandardSpeeds)
    if (c == code) return r;
  return std::nullopt;
}

bool setCharacterSize(termios& t, int dataBits) {
  tcflag_t size = 0;
  switch (dataBits) {
    case 5:
      size = CS5;
      break;
    case 6:
      size = CS6;
      break;
    case 7:
      size = CS7;
      break;
    case 8:
      size = CS8;
      break;
    default:
      return false;
  }
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;
  return true;
}

bool setParity(termios& t, int parity) {
  tcflag_t bits = 0;
  switch (parity) {
    case 0:
      bits = 0;
      break;
    case 1:
      bits = PARENB | PARODD;
      break;
    case 2:
      bits = PARENB;
      break;
    // Stick parity: with CMSPAR the parity bit is always PARODD's value, 1 for mark, 0 for space.
    case 3:
      bits = PARENB | CMSPAR | PARODD;
      break;
    case 4:
      bits = PARENB | CMSPAR;
      break;
    default:
      return false;
  }
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR)) | bits;
  return true;
}

bool setStopBits(termios& t, int stopBits) {
  if (stopBits == 1) {
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  } else if (stopBits == 2) {
    t.c_cflag |= CSTOPB;
  } else {
    return false;
  }
  return true;
}

int dataBitsOf(const termios& t) {
  switch (t.c_cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

int parityOf(const termios& t) {
  if ((t.c_cflag & PARENB) == 0) return 0;
  const bool odd = (t.c_cflag & PARODD) != 0;
  if ((t.c_cflag & CMSPAR) != 0) return odd ? 3 : 4;
  return odd ? 1 : 2;
}

bool sameFormat(const SerialLineFormat& a, const SerialLineFormat& b) {
  return a.baudRate == b.baudRate && a.dataBits == b.dataBits && a.parity == b.parity &&
         a.stopBits == b.stopBits;
}

}  // namespace

bool composeTermios(termios& t, const SerialLineFormat& format, bool& needsArbitrarySpeed) {
  if (format.baudRate <= 0 || !setCharacterSize(t, format.dataBits) ||
      !setParity(t, format.parity) || !setStopBits(t, format.stopBits)) {
    return false;
  }
  const auto code = standardSpeedCode(format.baudRate);
  needsArbitrarySpeed = !code.has_value();
  if (code && cfsetspeed(&t, *code) != 0) return false;
  return true;
}

SerialLineFormat formatOfTermios(const termios& t) {
  SerialLineFormat format;
  format.baudRate = standardSpeedRate(cfgetospeed(&t)).value_or(0);
  format.dataBits = dataBitsOf(t);
  format.parity = parityOf(t);
  format.stopBits = (t.c_cflag & CSTOPB) != 0 ? 2 : 1;
  return format;
}

std::optional<SerialLineFormat> readTermiosFormat(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return std::nullopt;
  SerialLineFormat format = formatOfTermios(t);
  if (format.baudRate == 0) {
    const auto kernelRate = kernelOutputSpeed(fd);
    if (!kernelRate) return std::nullopt;
    format.baudRate = static_cast<int>(*kernelRate);
  }
  return format;
}

bool writeTermiosFormat(int fd, const SerialLineFormat& format) {
  termios old{};
  if (tcgetattr(fd, &old) != 0) return false;
  termios t = old;
  bool needsArbitrarySpeed = false;
  if (!composeTermios(t, format, needsArbitrarySpeed)) return false;

  bool ok = tcsetattr(fd, TCSANOW, &t) == 0;
  if (ok && needsArbitrarySpeed) ok = setArbitrarySpeed(fd, static_cast<unsigned>(format.baudRate));
  // tcsetattr succeeds when any part of the request was taken; only reading back tells whether a
  // driver quietly dropped, say, mark parity or five data bits.
  if (ok) {
    const auto now = readTermiosFormat(fd);
    ok = now && sameFormat(*now, format);
  }
  if (!ok) tcsetattr(fd, TCSANOW, &old);
  return ok;
}

bool makeRawLine(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  const tcflag_t keptCflag = t.c_cflag & (CSTOPB | CRTSCTS | CSIZE | PARENB | PARODD | CMSPAR);
  cfmakeraw(&t);
  // cfmakeraw forces 8 bits without parity; the character format is the port's own business.
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR)) | keptCflag;
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace orvane
