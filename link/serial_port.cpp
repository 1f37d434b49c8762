// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/serial_port.h"

#include <limits>

namespace orvane {
namespace {

// Reads right after opening wait 5 ms per byte, ended by a quiet second on the line, until the
// panel asks for reads that return at once.
constexpr SerialReadTimeouts kOpeningTimeouts{false, 1000, 5, 0};
constexpr int kIntervalMs = 1000;

int countAsInt(std::size_t n) {
  return n > static_cast<std::size_t>(std::numeric_limits<int>::max())
             ? std::numeric_limits<int>::max()
             : static_cast<int>(n);
}

}  // namespace

SerialDevice* SerialPort::device(int port) {
  if (port < kFirstPort || port > kLastPort) return nullptr;
  return table_[static_cast<std::size_t>(port)].get();
}

int SerialPort::openPort(int port, int baudRate) {
  lastOpenRefusedSettings_ = false;
  if (port < kFirstPort || port > kLastPort) return 0;
  auto& entry = table_[static_cast<std::size_t>(port)];
  // The open device is held exclusively, by this program as by any other.
  if (entry) return 0;

  std::unique_ptr<SerialDevice> opened = devices_.open(port);
  if (!opened) return 0;
  opened->setReadTimeouts(kOpeningTimeouts);
  SerialLineFormat format;
  // Destroying the device on a refusal closes it.
  lastOpenRefusedSettings_ = true;
  if (!opened->readLineFormat(format)) return 0;
  format.baudRate = baudRate;
  format.dataBits = 8;
  format.parity = 0;
  format.stopBits = 1;
  if (!opened->writeLineFormat(format)) return 0;
  lastOpenRefusedSettings_ = false;
  entry = std::move(opened);
  return 1;
}

void SerialPort::setReadTimeouts(int port, int multiplier) {
  SerialDevice* d = device(port);
  if (d == nullptr) return;
  if (multiplier == -1) {
    d->setReadTimeouts(SerialReadTimeouts{true, 0, 0, 0});
  } else {
    d->setReadTimeouts(SerialReadTimeouts{false, kIntervalMs, multiplier, 0});
  }
}

int SerialPort::setLineFormat(int port, int dataBits, int parity, int stopBitSetting) {
  SerialDevice* d = device(port);
  if (d == nullptr) return 0;
  SerialLineFormat format;
  if (!d->readLineFormat(format)) return 0;
  format.dataBits = dataBits;
  format.parity = parity;
  format.stopBits = stopBitSetting == 1 ? 1 : 2;
  return d->writeLineFormat(format) ? 0 : 1;
}

int SerialPort::writePort(int port, std::string_view bytes) {
  SerialDevice* d = device(port);
  return d == nullptr ? 0 : countAsInt(d->write(bytes));
}

std::string SerialPort::readPort(int port, int maxCount) {
  SerialDevice* d = device(port);
  if (d == nullptr || maxCount <= 0) return {};
  return d->read(static_cast<std::size_t>(maxCount));
}

int SerialPort::bytesWaiting(int port) {
  SerialDevice* d = device(port);
  return d == nullptr ? 0 : countAsInt(d->bytesWaiting());
}

bool SerialPort::hungUp(int port) {
  SerialDevice* d = device(port);
  return d != nullptr && d->hungUp();
}

bool SerialPort::canCarryOut(int port, std::string_view command) {
  SerialDevice* d = device(port);
  return d == nullptr || d->canCarryOut(command);
}

void SerialPort::closePort(int port) {
  if (port < kFirstPort || port > kLastPort) return;
  table_[static_cast<std::size_t>(port)].reset();
}

}  // namespace orvane
