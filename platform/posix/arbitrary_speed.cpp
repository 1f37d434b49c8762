// SPDX-License-Identifier: GPL-3.0-or-later
// Only this file sees <asm/termbits.h>; see arbitrary_speed.h.
#include "platform/posix/arbitrary_speed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace orvane {

bool setArbitrarySpeed(int fd, unsigned rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return false;
  // Clearing CIBAUD makes the input speed follow the output speed.
  t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= BOTHER;
  t.c_ospeed = rate;
  t.c_ispeed = rate;
  return ioctl(fd, TCSETS2, &t) == 0;
}

std::optional<unsigned> kernelOutputSpeed(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
  return t.c_ospeed;
}

}  // namespace orvane
