// SPDX-License-Identifier: GPL-3.0-or-later
// Linux's arbitrary line speeds (termios2 with BOTHER). Kept apart from everything else: the kernel
// header that declares termios2 cannot be included together with <termios.h>.
#pragma once

#include <optional>

namespace orvane {

// Sets input and output speed of the terminal to rate bit/s, leaving every other setting. False
// when the driver refused it.
bool setArbitrarySpeed(int fd, unsigned rate);

// The output speed in bit/s as the kernel keeps it, standard or not. Nothing when fd is not a
// terminal.
std::optional<unsigned> kernelOutputSpeed(int fd);

}  // namespace orvane
