// SPDX-License-Identifier: GPL-3.0-or-later
#include <limits>

#include "platform/win32/win32_platform.h"

namespace orvane {
namespace {

constexpr int kFirstPort = 1;
constexpr int kLastPort = 256;

// What the serial driver answers once its device has gone: a USB adapter pulled out fails
// ClearCommError with ERROR_ACCESS_DENIED or ERROR_BAD_COMMAND, pending calls are aborted, and
// some drivers say outright that the device was removed or is no longer connected.
bool deviceGone(DWORD error) {
  switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_INVALID_HANDLE:
    case ERROR_GEN_FAILURE:
    case ERROR_NOT_READY:
      return true;
    default:
      return false;
  }
}

DWORD clampToDword(int value) {
  return value <= 0 ? 0 : static_cast<DWORD>(value);
}

// A port whose write time-outs are both 0 waits in WriteFile until every byte is out; with hardware
// flow control set on the port and a radio switched off (CTS low) that is for ever, and the panel
// would fall silent. Such a port gets a limit a command comfortably meets at 1200 bit/s and above
// (a byte takes 9.2 ms there with two stop bits); a port that has write time-outs keeps them.
constexpr DWORD kWriteMsPerByte = 12;
constexpr DWORD kWriteMsConstant = 100;

void boundWrites(HANDLE port) {
  COMMTIMEOUTS timeouts{};
  if (!::GetCommTimeouts(port, &timeouts)) return;
  if (timeouts.WriteTotalTimeoutMultiplier != 0 || timeouts.WriteTotalTimeoutConstant != 0) return;
  timeouts.WriteTotalTimeoutMultiplier = kWriteMsPerByte;
  timeouts.WriteTotalTimeoutConstant = kWriteMsConstant;
  ::SetCommTimeouts(port, &timeouts);
}

BYTE stopBitsCode(int stopBits) {
  return stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
}

}  // namespace

std::string comDeviceName(int port) {
  if (port < kFirstPort || port > kLastPort) return {};
  return "\\\\.\\COM" + std::to_string(port);
}

void Win32SerialDevice::noteFailure() {
  if (deviceGone(::GetLastError())) hungUp_ = true;
}

bool Win32SerialDevice::readLineFormat(SerialLineFormat& format) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(handle_.get(), &dcb)) {
    noteFailure();
    return false;
  }
  format.baudRate = dcb.BaudRate > static_cast<DWORD>(std::numeric_limits<int>::max())
                        ? std::numeric_limits<int>::max()
                        : static_cast<int>(dcb.BaudRate);
  format.dataBits = dcb.ByteSize;
  format.parity = dcb.Parity;
  format.stopBits = dcb.StopBits == ONESTOPBIT ? 1 : 2;
  return true;
}

bool Win32SerialDevice::writeLineFormat(const SerialLineFormat& format) {
  if (hungUp_) return false;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(handle_.get(), &dcb)) {
    noteFailure();
    return false;
  }
  dcb.BaudRate = clampToDword(format.baudRate);
  dcb.ByteSize = static_cast<BYTE>(format.dataBits);
  dcb.Parity = static_cast<BYTE>(format.parity);
  dcb.StopBits = stopBitsCode(format.stopBits);
  if (!::SetCommState(handle_.get(), &dcb)) {
    noteFailure();
    return false;
  }
  return true;
}

void Win32SerialDevice::setReadTimeouts(const SerialReadTimeouts& timeouts) {
  COMMTIMEOUTS now{};
  if (!::GetCommTimeouts(handle_.get(), &now)) {
    noteFailure();
    return;
  }
  if (timeouts.returnAtOnce) {
    // The documented way to ask for reads that take what is queued and never wait.
    now.ReadIntervalTimeout = MAXDWORD;
    now.ReadTotalTimeoutMultiplier = 0;
    now.ReadTotalTimeoutConstant = 0;
  } else {
    now.ReadIntervalTimeout = clampToDword(timeouts.intervalMs);
    now.ReadTotalTimeoutMultiplier = clampToDword(timeouts.perByteMs);
    now.ReadTotalTimeoutConstant = clampToDword(timeouts.constantMs);
  }
  if (!::SetCommTimeouts(handle_.get(), &now)) noteFailure();
}

std::size_t Win32SerialDevice::write(std::string_view bytes) {
  if (bytes.empty() || hungUp_) return 0;
  const DWORD count = bytes.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(bytes.size());
  DWORD written = 0;
  if (!::WriteFile(handle_.get(), bytes.data(), count, &written, nullptr)) noteFailure();
  return written;
}

std::string Win32SerialDevice::read(std::size_t maxCount) {
  if (maxCount == 0 || hungUp_) return {};
  const DWORD count = maxCount > MAXDWORD ? MAXDWORD : static_cast<DWORD>(maxCount);
  std::string out(count, '\0');
  DWORD got = 0;
  if (!::ReadFile(handle_.get(), out.data(), count, &got, nullptr)) noteFailure();
  out.resize(got);
  return out;
}

std::size_t Win32SerialDevice::bytesWaiting() {
  if (hungUp_) return 0;
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(handle_.get(), &errors, &status)) {
    noteFailure();
    return 0;
  }
  return status.cbInQue;
}

bool Win32SerialDevice::hungUp() {
  return hungUp_;
}

std::unique_ptr<SerialDevice> Win32SerialPorts::open(int portNumber) {
  const std::string name = comDeviceName(portNumber);
  if (name.empty()) return nullptr;
  UniqueHandle handle(::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
  if (!handle) return nullptr;
  boundWrites(handle.get());
  return std::make_unique<Win32SerialDevice>(std::move(handle));
}

}  // namespace orvane
