// SPDX-License-Identifier: GPL-3.0-or-later
// The port table's rules over the in-memory serial ports: numbering, the opening sequence and its
// failures, the line format and time-out settings, and what a closed or unknown port does.
#include "link/serial_port.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace orvane {
namespace {

class SerialPortTest : public ::testing::Test {
 protected:
  fake::FakePlatform fake;
  SerialPort ports{fake.serial};
};

TEST_F(SerialPortTest, OpensWithSpeedEightNoneOneAndWaitingReads) {
  fake.serial.addPort(3);
  ASSERT_EQ(ports.openPort(3, 4800), 1);
  EXPECT_TRUE(fake.serial.isOpen(3));
  const SerialLineFormat f = fake.serial.lineFormat(3);
  EXPECT_EQ(f.baudRate, 4800);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.parity, 0);
  EXPECT_EQ(f.stopBits, 1);
  const SerialReadTimeouts t = fake.serial.readTimeouts(3);
  EXPECT_FALSE(t.returnAtOnce);
  EXPECT_EQ(t.intervalMs, 1000);
  EXPECT_EQ(t.perByteMs, 5);
  EXPECT_EQ(t.constantMs, 0);
}

TEST_F(SerialPortTest, StartUpSequenceEndsInTwoStopBitsAndReadsThatNeverWait) {
  fake.serial.addPort(5);
  ports.closePort(5);
  ASSERT_EQ(ports.openPort(5, 9600), 1);
  ports.setReadTimeouts(5, -1);
  EXPECT_EQ(ports.setLineFormat(5, 8, 0, 2), 0);
  const SerialLineFormat f = fake.serial.lineFormat(5);
  EXPECT_EQ(f.baudRate, 9600);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.parity, 0);
  EXPECT_EQ(f.stopBits, 2);
  EXPECT_TRUE(fake.serial.readTimeouts(5).returnAtOnce);
}

TEST_F(SerialPortTest, OutOfRangeNumbersOpenNothingAndEveryOperationGivesZero) {
  for (int port : {0, 257, -1, 1000}) {
    SCOPED_TRACE(port);
    fake.serial.addPort(port);
    EXPECT_EQ(ports.openPort(port, 9600), 0);
    EXPECT_FALSE(fake.serial.isOpen(port));
    EXPECT_EQ(ports.writePort(port, "FA;"), 0);
    EXPECT_EQ(ports.readPort(port, 255), "");
    EXPECT_EQ(ports.bytesWaiting(port), 0);
    EXPECT_EQ(ports.setLineFormat(port, 8, 0, 2), 0);
    ports.setReadTimeouts(port, -1);
    ports.closePort(port);
  }
  EXPECT_TRUE(fake.transcript.linesWithPrefix("serial.").empty());
}

TEST_F(SerialPortTest, EdgeNumbersOneAndTwoHundredFiftySixOpen) {
  fake.serial.addPort(1);
  fake.serial.addPort(256);
  EXPECT_EQ(ports.openPort(1, 9600), 1);
  EXPECT_EQ(ports.openPort(256, 9600), 1);
  EXPECT_EQ(ports.writePort(256, "FA;"), 3);
  EXPECT_EQ(fake.serial.written(256), "FA;");
  EXPECT_EQ(fake.serial.written(1), "");
}

TEST_F(SerialPortTest, ClosedOrMissingPortDoesNothing) {
  EXPECT_EQ(ports.openPort(4, 9600), 0);  // device missing
  fake.serial.addPort(4);
  fake.serial.feed(4, "FA00007100000;");
  EXPECT_EQ(ports.writePort(4, "FA;"), 0);
  EXPECT_EQ(ports.bytesWaiting(4), 0);
  EXPECT_EQ(ports.readPort(4, 255), "");
  EXPECT_EQ(ports.setLineFormat(4, 8, 0, 2), 0);
  ports.closePort(4);
  EXPECT_EQ(fake.serial.written(4), "");
  EXPECT_EQ(fake.transcript.linesWithPrefix("serial.close").size(), 0u);
}

TEST_F(SerialPortTest, SecondOpenOfAnOpenPortFailsAndKeepsTheFirst) {
  fake.serial.addPort(3);
  ASSERT_EQ(ports.openPort(3, 9600), 1);
  EXPECT_EQ(ports.openPort(3, 4800), 0);
  EXPECT_EQ(fake.serial.lineFormat(3).baudRate, 9600);
  EXPECT_EQ(ports.writePort(3, "FA;"), 3);
  ports.closePort(3);
  EXPECT_FALSE(fake.serial.isOpen(3));
  EXPECT_EQ(ports.openPort(3, 4800), 1);
}

TEST_F(SerialPortTest, RefusedLineStateClosesTheDeviceAndLeavesTheEntryEmpty) {
  fake.serial.addPort(3);
  fake.serial.refuseLineFormat(3);
  EXPECT_EQ(ports.openPort(3, 9600), 0);
  EXPECT_TRUE(ports.lastOpenRefusedSettings());
  EXPECT_FALSE(fake.serial.isOpen(3));
  EXPECT_EQ(ports.writePort(3, "FA;"), 0);
  EXPECT_EQ(fake.transcript.linesWithPrefix("serial."),
            (std::vector<std::string>{"open 3", "close 3"}));
  // A device that is missing or taken is no refusal: it may yet come.
  EXPECT_EQ(ports.openPort(4, 9600), 0);
  EXPECT_FALSE(ports.lastOpenRefusedSettings());
}

TEST_F(SerialPortTest, OnlyStopBitSettingOneGivesOneStopBit) {
  fake.serial.addPort(2);
  ASSERT_EQ(ports.openPort(2, 9600), 1);
  const struct {
    int setting;
    int stopBits;
  } cases[] = {{1, 1}, {0, 2}, {2, 2}, {3, 2}, {-1, 2}, {15, 2}, {1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    EXPECT_EQ(ports.setLineFormat(2, 7, 2, c.setting), 0);
    const SerialLineFormat f = fake.serial.lineFormat(2);
    EXPECT_EQ(f.stopBits, c.stopBits);
    EXPECT_EQ(f.dataBits, 7);
    EXPECT_EQ(f.parity, 2);
    EXPECT_EQ(f.baudRate, 9600);  // kept
  }
}

TEST_F(SerialPortTest, RefusedLineFormatReturnsOneAndKeepsTheOpeningFormat) {
  fake.serial.addPort(3);
  ASSERT_EQ(ports.openPort(3, 9600), 1);
  fake.serial.refuseLineFormat(3);
  EXPECT_EQ(ports.setLineFormat(3, 8, 0, 2), 1);
  EXPECT_EQ(fake.serial.lineFormat(3).stopBits, 1);
  EXPECT_TRUE(fake.serial.isOpen(3));
}

TEST_F(SerialPortTest, ReadTimeoutMultiplierGivesIntervalAndPerByteWait) {
  fake.serial.addPort(3);
  ASSERT_EQ(ports.openPort(3, 9600), 1);
  ports.setReadTimeouts(3, 20);
  SerialReadTimeouts t = fake.serial.readTimeouts(3);
  EXPECT_FALSE(t.returnAtOnce);
  EXPECT_EQ(t.intervalMs, 1000);
  EXPECT_EQ(t.perByteMs, 20);
  EXPECT_EQ(t.constantMs, 0);
  ports.setReadTimeouts(3, -1);
  EXPECT_TRUE(fake.serial.readTimeouts(3).returnAtOnce);
}

TEST_F(SerialPortTest, ReadsTakeAtMostTheMaximumAndLeaveTheRestQueued) {
  fake.serial.addPort(3);
  ASSERT_EQ(ports.openPort(3, 9600), 1);
  const std::string burst(300, 'x');
  fake.serial.feed(3, burst);
  EXPECT_EQ(ports.bytesWaiting(3), 300);
  EXPECT_EQ(ports.readPort(3, 255).size(), 255u);
  EXPECT_EQ(ports.bytesWaiting(3), 45);
  EXPECT_EQ(ports.readPort(3, 0), "");
  EXPECT_EQ(ports.readPort(3, -5), "");
  EXPECT_EQ(ports.readPort(3, 255).size(), 45u);
  EXPECT_EQ(ports.bytesWaiting(3), 0);
}

// A device whose line state cannot be read, like a terminal driver that fails TCGETS.
class UnreadableLinePorts : public SerialPorts {
 public:
  class Device : public SerialDevice {
   public:
    explicit Device(int& closes) : closes_(closes) {}
    ~Device() override { ++closes_; }
    bool readLineFormat(SerialLineFormat&) override { return false; }
    bool writeLineFormat(const SerialLineFormat&) override { return true; }
    void setReadTimeouts(const SerialReadTimeouts&) override {}
    std::size_t write(std::string_view b) override { return b.size(); }
    std::string read(std::size_t) override { return {}; }
    std::size_t bytesWaiting() override { return 0; }
    bool hungUp() override { return false; }

   private:
    int& closes_;
  };
  std::unique_ptr<SerialDevice> open(int) override { return std::make_unique<Device>(closes); }
  int closes = 0;
};

TEST(SerialPortUnreadableLine, OpenFailsAndClosesTheDevice) {
  UnreadableLinePorts devices;
  SerialPort ports(devices);
  EXPECT_EQ(ports.openPort(7, 9600), 0);
  EXPECT_EQ(devices.closes, 1);
  EXPECT_EQ(ports.writePort(7, "FA;"), 0);
}

}  // namespace
}  // namespace orvane
