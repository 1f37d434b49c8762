// SPDX-License-Identifier: GPL-3.0-or-later
// The port table: the one place that knows which serial ports are open. Ports are addressed by the
// number the operator gives in the configuration file, 1 to 256. On a number outside that range or
// a port that is not open every operation does nothing and returns 0.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace orvane {

class SerialPort {
 public:
  static constexpr int kFirstPort = 1;
  static constexpr int kLastPort = 256;

  explicit SerialPort(SerialPorts& devices) : devices_(devices) {}

  // Opens the port at baudRate with 8 data bits, no parity and one stop bit, every other line
  // setting kept, and reads that wait 5 ms per byte. 1 when opened, 0 when not (bad number,
  // missing device, device in use, line state refused). Opening an open port fails like opening a
  // device another program holds.
  int openPort(int port, int baudRate);
  // -1: reads return at once with whatever has arrived. Any other m: an interval time-out of
  // 1000 ms and m ms per byte.
  void setReadTimeouts(int port, int multiplier);
  // Sets data bits and parity (0 none) and stop bits (1 for setting 1, two for any other setting),
  // keeping every other line setting. 1 when the device refused the format, 0 otherwise.
  int setLineFormat(int port, int dataBits, int parity, int stopBitSetting);
  // Writes the bytes unchanged; the count written.
  int writePort(int port, std::string_view bytes);
  // Up to maxCount bytes from the input queue, without waiting beyond the read time-outs.
  std::string readPort(int port, int maxCount);
  // Received bytes waiting; also clears a pending line error so reading goes on.
  int bytesWaiting(int port);
  // Closes the device and empties the table entry; nothing happens when it is not open.
  void closePort(int port);
  bool isOpen(int port) { return device(port) != nullptr; }
  // Whether the last openPort found its device but the device refused the line settings. Trying
  // again cannot help, and each open and close of a real port raises and drops its DTR and RTS
  // lines, which some radios take for PTT or keying.
  bool lastOpenRefusedSettings() const { return lastOpenRefusedSettings_; }
  // Whether the open device's line has hung up (adapter pulled out, other end gone); such a port
  // does nothing until it is closed and opened again. False for a port that is not open.
  bool hungUp(int port);
  // Whether the radio on the port can carry out the command (SerialDevice::canCarryOut); true for
  // a port that is not open, where nothing is carried out and the panel says so otherwise.
  bool canCarryOut(int port, std::string_view command);

 private:
  SerialDevice* device(int port);

  SerialPorts& devices_;
  std::array<std::unique_ptr<SerialDevice>, kLastPort + 1> table_{};
  bool lastOpenRefusedSettings_ = false;
};

}  // namespace orvane
