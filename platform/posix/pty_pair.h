// SPDX-License-Identifier: GPL-3.0-or-later
// A pseudo-terminal for the real-part tests: the master side plays the radio, the slave side is the
// serial device the panel opens through the link "<directory>/comN".
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "platform/posix/unique_fd.h"

namespace orvane::testing {

class PtyPair {
 public:
  PtyPair() {
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_ || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) return;
    char name[128] = {};
    if (::ptsname_r(master_.get(), name, sizeof name) != 0) return;
    slavePath_ = name;
    // Like a radio's line before anyone set it up: no echo back to the radio.
    UniqueFd slave(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios t{};
    if (slave && ::tcgetattr(slave.get(), &t) == 0) {
      ::cfmakeraw(&t);
      ::tcsetattr(slave.get(), TCSANOW, &t);
    }
  }
  bool ok() const { return master_.valid() && !slavePath_.empty(); }
  int master() const { return master_.get(); }
  const std::string& slavePath() const { return slavePath_; }
  void closeMaster() { master_.reset(); }

 private:
  UniqueFd master_;
  std::string slavePath_;
};

}  // namespace orvane::testing
