// SPDX-License-Identifier: GPL-3.0-or-later
// The COM port services. The tests on a live line need the simulated radio on a COM port, at
// 9600 baud, whose number ORVANE_TEST_COM gives (tests/win32/e2e_wine.sh maps Wine's COM3 to it);
// without it they are skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/win32/win32_platform.h"

namespace orvane {
namespace {

TEST(Win32Serial, PortNumbersNameTheirDevicesAndNothingOutsideTheRange) {
  EXPECT_EQ(comDeviceName(3), "\\\\.\\COM3");
  EXPECT_EQ(comDeviceName(12), "\\\\.\\COM12");
  EXPECT_EQ(comDeviceName(256), "\\\\.\\COM256");
  EXPECT_EQ(comDeviceName(0), "");
  EXPECT_EQ(comDeviceName(257), "");
  Win32SerialPorts ports;
  EXPECT_FALSE(ports.open(0));
  EXPECT_FALSE(ports.open(257));
  EXPECT_FALSE(ports.open(250));  // no such port
}

int radioPort() {
  const char* port = std::getenv("ORVANE_TEST_COM");
  return port != nullptr ? std::atoi(port) : 0;
}

// Reads until the text has arrived or five seconds have passed (Wine on a busy machine is slow).
std::string readFor(SerialDevice& device, std::size_t wanted) {
  std::string got;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (got.size() < wanted && std::chrono::steady_clock::now() < until) {
    if (device.bytesWaiting() > 0) got += device.read(64);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return got;
}

TEST(Win32Serial, TheRadiosLineIsSetAsAskedAndReadWithoutWaiting) {
  const int port = radioPort();
  if (port == 0) GTEST_SKIP() << "no radio on a COM port (ORVANE_TEST_COM)";
  Win32SerialPorts ports;
  auto device = ports.open(port);
  ASSERT_TRUE(device);

  SerialLineFormat format;
  ASSERT_TRUE(device->readLineFormat(format));
  format.baudRate = 9600;
  format.dataBits = 8;
  format.parity = 0;
  format.stopBits = 2;
  ASSERT_TRUE(device->writeLineFormat(format));
  SerialLineFormat now;
  ASSERT_TRUE(device->readLineFormat(now));
  EXPECT_EQ(now.baudRate, 9600);
  EXPECT_EQ(now.dataBits, 8);
  EXPECT_EQ(now.parity, 0);
  EXPECT_EQ(now.stopBits, 2);

  device->setReadTimeouts(SerialReadTimeouts{true, 0, 0, 0});
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(device->read(64), "");
  // A read that waited would wait for ever: nothing comes on the line unasked.
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));

  EXPECT_EQ(device->write("ID;"), 3u);
  EXPECT_EQ(readFor(*device, 6), "ID019;");
  EXPECT_FALSE(device->hungUp());
}

}  // namespace
}  // namespace orvane
