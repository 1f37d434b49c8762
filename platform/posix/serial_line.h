// SPDX-License-Identifier: GPL-3.0-or-later
// The line format of a terminal device in the panel's terms (speed, data bits, parity code, stop
// bits), read and written through termios. Shared by the serial device and the simulated radio,
// which reads the format the panel has set on its pseudo-terminal.
#pragma once

#include <termios.h>

#include <optional>

#include "platform/platform.h"

namespace orvane {

// The device's current speed and character format. Parity comes back as the Windows code: 0 none,
// 1 odd, 2 even, 3 mark, 4 space. Nothing when fd is not a terminal.
std::optional<SerialLineFormat> readTermiosFormat(int fd);

// Sets speed, data bits (5..8), parity code (0..4) and stop bits (1 or 2), and nothing else. A
// standard speed goes through cfsetspeed; any other positive speed through the kernel's arbitrary
// rate (BOTHER). The result is read back: when the device did not take all of it, the old
// termios is put back and the answer is false.
bool writeTermiosFormat(int fd, const SerialLineFormat& format);

// Raw line: no echo, no line editing, no character translation, no software flow control, reads
// that return what is there (VMIN 0, VTIME 0), receiver on and modem-control lines ignored. Speed,
// stop bits and hardware flow control are left alone.
bool makeRawLine(int fd);

// The pieces of the above that work on a termios record alone. composeTermios puts speed (when
// standard; needsArbitrarySpeed tells otherwise), data bits, parity and stop bits into t and
// refuses values the line cannot have. formatOfTermios reads them back; a speed that is not a
// standard one comes back as 0.
bool composeTermios(termios& t, const SerialLineFormat& format, bool& needsArbitrarySpeed);
SerialLineFormat formatOfTermios(const termios& t);

}  // namespace orvane
