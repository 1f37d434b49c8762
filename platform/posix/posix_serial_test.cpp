// SPDX-License-Identifier: GPL-3.0-or-later
// The serial layer over real pseudo-terminals: device naming, exclusive open (also against a
// second process), the raw line and formats as termios reports them, speeds standard and odd,
// reads that never wait, and a line whose other end has gone.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "link/serial_port.h"
#include "platform/posix/arbitrary_speed.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/pty_pair.h"
#include "platform/posix/serial_line.h"
#include "platform/posix/temp_dir.h"

namespace orvane {
namespace {

using orvane::testing::PtyPair;
using orvane::testing::TempDir;
using SteadyClock = std::chrono::steady_clock;

termios slaveTermios(const PtyPair& pty) {
  UniqueFd fd(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  termios t{};
  EXPECT_TRUE(fd.valid());
  EXPECT_EQ(::tcgetattr(fd.get(), &t), 0);
  return t;
}

void setSlaveTermios(const PtyPair& pty, const std::function<void(termios&)>& change) {
  UniqueFd fd(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  termios t{};
  ASSERT_EQ(::tcgetattr(fd.get(), &t), 0);
  change(t);
  ASSERT_EQ(::tcsetattr(fd.get(), TCSANOW, &t), 0);
}

// What the radio side receives within a second.
std::string readMaster(int master, std::size_t expected) {
  std::string got;
  const auto deadline = SteadyClock::now() + std::chrono::seconds(1);
  while (got.size() < expected && SteadyClock::now() < deadline) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    char buf[256];
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

// The pty hands bytes over in a kernel worker, so a reply shows up a moment after it was written.
int waitForBytes(SerialPort& ports, int port, int count) {
  const auto deadline = SteadyClock::now() + std::chrono::seconds(2);
  int waiting = 0;
  while ((waiting = ports.bytesWaiting(port)) < count && SteadyClock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return waiting;
}

class PtySerialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.ok());
    ASSERT_FALSE(dir.path().empty());
    std::filesystem::create_symlink(pty.slavePath(), dir / "com3");
  }
  // The panel's start-up sequence on port 3.
  void openLikeThePanel(int baud = 9600) {
    ports.closePort(3);
    ASSERT_EQ(ports.openPort(3, baud), 1);
    ports.setReadTimeouts(3, -1);
    ASSERT_EQ(ports.setLineFormat(3, 8, 0, 2), 0);
  }

  PtyPair pty;
  TempDir dir;
  PosixSerialPorts devices{dir.path()};
  SerialPort ports{devices};
};

TEST(SerialDevicePath, LinkInTheDirectoryElseTheNumberedLine) {
  TempDir dir;
  EXPECT_EQ(serialDevicePath(3, dir.path()), "/dev/ttyS2");
  EXPECT_EQ(serialDevicePath(12, dir.path()), "/dev/ttyS11");
  EXPECT_EQ(serialDevicePath(1, dir.path()), "/dev/ttyS0");
  EXPECT_EQ(serialDevicePath(256, dir.path()), "/dev/ttyS255");
  std::filesystem::create_symlink("/dev/null", dir / "com3");
  // An adapter that is unplugged leaves its link dangling; the port stays the operator's device.
  std::filesystem::create_symlink(dir / "unplugged", dir / "com12");
  EXPECT_EQ(serialDevicePath(3, dir.path()), dir / "com3");
  EXPECT_EQ(serialDevicePath(12, dir.path()), dir / "com12");
  EXPECT_EQ(serialDevicePath(0, dir.path()), "");
  EXPECT_EQ(serialDevicePath(257, dir.path()), "");
  EXPECT_EQ(serialDevicePath(-3, dir.path()), "");
}

TEST_F(PtySerialTest, OutOfRangeAndMissingDevicesAreRefused) {
  EXPECT_EQ(devices.open(0), nullptr);
  EXPECT_EQ(devices.open(257), nullptr);
  std::filesystem::create_symlink(dir / "unplugged", dir / "com4");
  EXPECT_EQ(devices.open(4), nullptr);
  std::ofstream(dir / "com5") << "not a terminal";
  EXPECT_EQ(devices.open(5), nullptr);
  EXPECT_EQ(ports.openPort(0, 9600), 0);
  EXPECT_EQ(ports.openPort(257, 9600), 0);
  EXPECT_EQ(ports.writePort(257, "FA;"), 0);
  EXPECT_EQ(ports.bytesWaiting(0), 0);
}

TEST_F(PtySerialTest, StartUpSequenceGivesRawEightNoneTwoWithOtherSettingsKept) {
  setSlaveTermios(pty, [](termios& t) {
    t.c_cflag |= CRTSCTS | HUPCL;
    t.c_iflag |= ICRNL | IXON;
    t.c_lflag |= ECHO | ICANON;
    t.c_oflag |= OPOST | ONLCR;
  });
  openLikeThePanel(9600);
  const termios t = slaveTermios(pty);
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(cfgetispeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & PARENB, 0u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
  // Raw: bytes pass unchanged both ways.
  EXPECT_EQ(t.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXON | ISTRIP | INLCR | IGNCR), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // Flow control and hang-up behaviour are the operator's, not ours.
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(t.c_cflag & HUPCL, 0u);
}

TEST_F(PtySerialTest, OnlyStopBitSettingOneGivesOneStopBit) {
  openLikeThePanel();
  for (const int setting : {1, 0, 2, 3, -1, 1}) {
    SCOPED_TRACE(setting);
    ASSERT_EQ(ports.setLineFormat(3, 8, 0, setting), 0);
    const termios t = slaveTermios(pty);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, setting != 1);
  }
}

TEST(TermiosFormat, DataBitsParityCodesStopBitsAndSpeedMapToTheFlags) {
  const struct {
    SerialLineFormat format;
    tcflag_t size, parityFlags;
    bool twoStopBits;
  } cases[] = {
      {{9600, 8, 0, 2}, CS8, 0, true},
      {{4800, 7, 1, 1}, CS7, PARENB | PARODD, false},
      {{1200, 7, 2, 2}, CS7, PARENB, true},
      {{38400, 6, 3, 1}, CS6, PARENB | PARODD | CMSPAR, false},  // mark
      {{115200, 5, 4, 1}, CS5, PARENB | CMSPAR, false},          // space
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.format.dataBits << " bits, parity " << c.format.parity);
    termios t{};
    t.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CLOCAL;
    bool arbitrary = true;
    ASSERT_TRUE(composeTermios(t, c.format, arbitrary));
    EXPECT_FALSE(arbitrary);
    EXPECT_EQ(t.c_cflag & CSIZE, c.size);
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
    EXPECT_EQ(t.c_cflag & (CRTSCTS | CLOCAL), static_cast<tcflag_t>(CRTSCTS | CLOCAL));
    const SerialLineFormat back = formatOfTermios(t);
    EXPECT_EQ(back.baudRate, c.format.baudRate);
    EXPECT_EQ(back.dataBits, c.format.dataBits);
    EXPECT_EQ(back.parity, c.format.parity);
    EXPECT_EQ(back.stopBits, c.format.stopBits);
  }
}

TEST(TermiosFormat, ImpossibleValuesAreRefusedAndOddSpeedsNeedTheArbitraryRate) {
  for (const SerialLineFormat& bad :
       {SerialLineFormat{9600, 9, 0, 1}, SerialLineFormat{9600, 4, 0, 1},
        SerialLineFormat{9600, 8, 5, 1}, SerialLineFormat{9600, 8, -1, 1},
        SerialLineFormat{9600, 8, 0, 3}, SerialLineFormat{0, 8, 0, 1},
        SerialLineFormat{-300, 8, 0, 1}}) {
    termios t{};
    bool arbitrary = false;
    EXPECT_FALSE(composeTermios(t, bad, arbitrary));
  }
  termios t{};
  bool arbitrary = false;
  ASSERT_TRUE(composeTermios(t, {31250, 8, 0, 1}, arbitrary));
  EXPECT_TRUE(arbitrary);
}

// The Linux pseudo-terminal always keeps 8 data bits without parity; asking it for anything else
// must come back as refused, with the line as it was.
TEST_F(PtySerialTest, FormatTheLineCannotHaveIsRefusedAndTheOldOneKept) {
  openLikeThePanel();
  EXPECT_EQ(ports.setLineFormat(3, 7, 2, 1), 1);
  EXPECT_EQ(ports.setLineFormat(3, 8, 1, 1), 1);
  const termios t = slaveTermios(pty);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & PARENB, 0u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(cfgetospeed(&t), B9600);
}

TEST_F(PtySerialTest, ImpossibleFormatIsRefusedAndTheLineKeepsItsFormat) {
  openLikeThePanel();
  EXPECT_EQ(ports.setLineFormat(3, 9, 0, 2), 1);
  EXPECT_EQ(ports.setLineFormat(3, 8, 5, 2), 1);
  const termios t = slaveTermios(pty);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & PARENB, 0u);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  auto device = std::make_unique<PosixSerialPorts>(dir.path());
  ports.closePort(3);
  auto held = device->open(3);
  ASSERT_NE(held, nullptr);
  EXPECT_FALSE(held->writeLineFormat({0, 8, 0, 1}));
  EXPECT_FALSE(held->writeLineFormat({-9600, 8, 0, 1}));
  EXPECT_FALSE(held->writeLineFormat({9600, 8, 0, 3}));
  SerialLineFormat f;
  ASSERT_TRUE(held->readLineFormat(f));
  EXPECT_EQ(f.baudRate, 9600);
  EXPECT_EQ(f.stopBits, 2);
}

TEST_F(PtySerialTest, StandardAndOddSpeedsAreSetAndReadBack) {
  for (const int baud : {1200, 4800, 9600, 19200, 57600, 115200, 31250, 10400, 250000}) {
    SCOPED_TRACE(baud);
    openLikeThePanel(baud);
    UniqueFd fd(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(fd.valid());
    EXPECT_EQ(kernelOutputSpeed(fd.get()), static_cast<unsigned>(baud));
    ports.closePort(3);
    auto device = devices.open(3);
    ASSERT_NE(device, nullptr);
    SerialLineFormat f;
    ASSERT_TRUE(device->readLineFormat(f));
    EXPECT_EQ(f.baudRate, baud);
    EXPECT_EQ(f.stopBits, 2);
  }
}

TEST_F(PtySerialTest, WritesGoOutUnchangedAndRepliesAreCounted) {
  openLikeThePanel();
  EXPECT_EQ(ports.writePort(3, "FA;\r\n\x11\x13"), 7);
  EXPECT_EQ(readMaster(pty.master(), 7), "FA;\r\n\x11\x13");
  const std::string reply = "FA00007100000;\r\x11";
  ASSERT_EQ(::write(pty.master(), reply.data(), reply.size()), 16);
  EXPECT_EQ(waitForBytes(ports, 3, 16), 16);
  EXPECT_EQ(ports.readPort(3, 5), "FA000");
  EXPECT_EQ(ports.bytesWaiting(3), 11);
  EXPECT_EQ(ports.readPort(3, 255), "07100000;\r\x11");
  EXPECT_EQ(ports.bytesWaiting(3), 0);
}

TEST_F(PtySerialTest, ReadOfNothingReturnsAtOnce) {
  openLikeThePanel();
  const auto start = SteadyClock::now();
  EXPECT_EQ(ports.readPort(3, 255), "");
  EXPECT_EQ(ports.bytesWaiting(3), 0);
  // With the opening time-outs still in place this read would wait 255 * 5 ms.
  EXPECT_LT(SteadyClock::now() - start, std::chrono::milliseconds(1000));
}

TEST_F(PtySerialTest, WaitingReadsFollowTheirTimeouts) {
  auto device = devices.open(3);
  ASSERT_NE(device, nullptr);

  // Total limit: 2 ms per byte for 40 bytes, nothing arrives.
  device->setReadTimeouts({false, 0, 2, 0});
  auto start = SteadyClock::now();
  EXPECT_EQ(device->read(40), "");
  EXPECT_GE(SteadyClock::now() - start, std::chrono::milliseconds(75));

  // A quiet interval ends the read long before its 20 s total limit.
  ASSERT_EQ(::write(pty.master(), "SM00015;", 8), 8);
  device->setReadTimeouts({false, 50, 100, 0});
  start = SteadyClock::now();
  EXPECT_EQ(device->read(200), "SM00015;");
  EXPECT_LT(SteadyClock::now() - start, std::chrono::seconds(5));

  // Bytes that come in pieces are collected while each gap is shorter than the interval.
  device->setReadTimeouts({false, 500, 0, 3000});
  std::thread radio([&] {
    for (const char* part : {"FA000", "07100", "000;"}) {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      ASSERT_GT(::write(pty.master(), part, std::strlen(part)), 0);
    }
  });
  EXPECT_EQ(device->read(14), "FA00007100000;");
  radio.join();
}

TEST_F(PtySerialTest, SecondOpenIsRefusedUntilTheFirstIsClosed) {
  auto first = devices.open(3);
  ASSERT_NE(first, nullptr);
  PosixSerialPorts other(dir.path());
  EXPECT_EQ(other.open(3), nullptr);
  EXPECT_EQ(ports.openPort(3, 9600), 0);
  first.reset();
  EXPECT_EQ(ports.openPort(3, 9600), 1);
  EXPECT_EQ(ports.openPort(3, 9600), 0);
  ports.closePort(3);
  EXPECT_NE(other.open(3), nullptr);
}

// Runs f in a child process and returns its exit status.
int inChildProcess(const std::function<int()>& f) {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(f());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(PtySerialTest, SecondProcessCannotOpenAHeldPort) {
  ASSERT_EQ(ports.openPort(3, 9600), 1);
  const std::string directory = dir.path();
  EXPECT_EQ(inChildProcess([&] {
              PosixSerialPorts theirs(directory);
              return theirs.open(3) == nullptr ? 0 : 1;
            }),
            0);
  ports.closePort(3);
  EXPECT_EQ(inChildProcess([&] {
              PosixSerialPorts theirs(directory);
              return theirs.open(3) == nullptr ? 1 : 0;
            }),
            0);
}

TEST_F(PtySerialTest, HeldPortIsInExclusiveModeAndGivesItBack) {
  ASSERT_EQ(ports.openPort(3, 9600), 1);
  // A program that does not lock: refused outright unless it is root, who gets in but finds the
  // exclusive mode set.
  UniqueFd intruder(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (intruder) {
    int exclusive = 0;
    ASSERT_EQ(::ioctl(intruder.get(), TIOCGEXCL, &exclusive), 0);
    EXPECT_NE(exclusive, 0);
  } else {
    EXPECT_EQ(errno, EBUSY);
  }
  intruder.reset();
  ports.closePort(3);
  UniqueFd after(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(after.valid());
  int exclusive = 1;
  ASSERT_EQ(::ioctl(after.get(), TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
}

TEST_F(PtySerialTest, DeviceHeldExclusivelyByAProgramThatDoesNotLockIsRefused) {
  UniqueFd other(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  ASSERT_TRUE(other.valid());
  ASSERT_EQ(::ioctl(other.get(), TIOCEXCL), 0);
  EXPECT_EQ(ports.openPort(3, 9600), 0);
  ASSERT_EQ(::ioctl(other.get(), TIOCNXCL), 0);
  EXPECT_EQ(ports.openPort(3, 9600), 1);
}

TEST_F(PtySerialTest, WritesNeverBlockWhenTheRadioStopsReading) {
  openLikeThePanel();
  const std::string block(1024, 'x');
  std::size_t total = 0;
  int lastCount = -1;
  for (int i = 0; i < 1000 && lastCount != 0; ++i) {
    lastCount = ports.writePort(3, block);
    total += static_cast<std::size_t>(lastCount);
  }
  EXPECT_EQ(lastCount, 0);
  EXPECT_GT(total, 0u);
  EXPECT_FALSE(ports.hungUp(3));  // a full queue drains again; the line is still there
}

TEST_F(PtySerialTest, LineWhoseOtherEndVanishedGivesZeroEverywhereAndSaysItHungUp) {
  openLikeThePanel();
  ASSERT_EQ(::write(pty.master(), "FA", 2), 2);
  waitForBytes(ports, 3, 2);
  EXPECT_EQ(ports.readPort(3, 255), "FA");
  // A quiet line reads nothing too, and is no hang-up.
  EXPECT_EQ(ports.readPort(3, 255), "");
  EXPECT_EQ(ports.bytesWaiting(3), 0);
  EXPECT_FALSE(ports.hungUp(3));
  pty.closeMaster();
  EXPECT_EQ(ports.bytesWaiting(3), 0);
  EXPECT_TRUE(ports.hungUp(3));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(ports.writePort(3, "FA;"), 0);
    EXPECT_EQ(ports.bytesWaiting(3), 0);
    EXPECT_EQ(ports.readPort(3, 255), "");
  }
  ports.setReadTimeouts(3, 100);
  const auto start = SteadyClock::now();
  EXPECT_EQ(ports.readPort(3, 255), "");
  EXPECT_LT(SteadyClock::now() - start, std::chrono::seconds(5));
  ports.closePort(3);
  EXPECT_EQ(ports.openPort(3, 9600), 0);
}

// Each way of meeting the hang-up is enough on its own: the write of a command, a read, or a
// read that waits.
TEST_F(PtySerialTest, WriteOrReadAloneNoticesTheHangUp) {
  const std::function<void(SerialPort&)> firstUse[] = {
      [](SerialPort& p) { p.writePort(3, "FA;"); },
      [](SerialPort& p) { p.readPort(3, 255); },
      [](SerialPort& p) {
        p.setReadTimeouts(3, 20);
        p.readPort(3, 10);
      },
  };
  for (std::size_t i = 0; i < std::size(firstUse); ++i) {
    SCOPED_TRACE(i);
    PtyPair other;
    ASSERT_TRUE(other.ok());
    std::filesystem::remove(dir / "com3");
    std::filesystem::create_symlink(other.slavePath(), dir / "com3");
    openLikeThePanel();
    other.closeMaster();
    firstUse[i](ports);
    EXPECT_TRUE(ports.hungUp(3));
    ports.closePort(3);
  }
}

}  // namespace
}  // namespace orvane
