// SPDX-License-Identifier: GPL-3.0-or-later
// radiosim as the panel meets it: a separate process, its link in a temporary directory, opened
// through the panel's own serial layer, commanded over its control FIFO, and checked by what
// comes back on the line and what its log says.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "link/serial_port.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/temp_dir.h"

namespace {

using orvane::PosixSerialPorts;
using orvane::SerialPort;
using orvane::testing::TempDir;
using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int kPort = 3;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 3000ms) {
  const auto deadline = SteadyClock::now() + limit;
  while (!done()) {
    if (SteadyClock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

class RadioSim {
 public:
  explicit RadioSim(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {RADIOSIM_PATH, "--dir",   dir.path(),  "--port",     "3",
                                     "--log",       logPath(), "--control", controlPath()};
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = ::fork();
    if (pid_ == 0) {
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ready_ = waitUntil([&] { return std::filesystem::is_symlink(dir / "com3"); });
  }
  ~RadioSim() { stop(SIGTERM); }

  bool ready() const { return ready_; }
  // Stops radiosim with the signal; its exit status.
  int stop(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string logPath() const { return dir / "radio.log"; }
  std::string controlPath() const { return dir / "radio.ctl"; }

  std::vector<std::string> logTexts() const {
    std::ifstream in(logPath());
    std::vector<std::string> texts;
    std::string line;
    while (std::getline(in, line)) {
      const auto space = line.find(' ');
      texts.push_back(space == std::string::npos ? line : line.substr(space + 1));
    }
    return texts;
  }
  // The commands received, in order, without control lines and notes.
  std::vector<std::string> commands() const {
    std::vector<std::string> out;
    for (const auto& t : logTexts())
      if (!t.empty() && t[0] != '@' && t[0] != '#') out.push_back(t);
    return out;
  }
  bool logHas(const std::string& text) const { return logCount(text) > 0; }
  int logCount(const std::string& text) const {
    int n = 0;
    for (const auto& t : logTexts()) n += t == text ? 1 : 0;
    return n;
  }
  // Sends a control line and returns once radiosim has logged taking it (the same line sent
  // before counts only once).
  bool control(const std::string& line) {
    const auto taken = [&] { return logCount("@" + line) + logCount("@? " + line); };
    const int before = taken();
    { std::ofstream(controlPath()) << line << "\n"; }
    return waitUntil([&] { return taken() > before; });
  }

  TempDir dir;

 private:
  pid_t pid_ = -1;
  bool ready_ = false;
};

// The panel's side: its serial layer, opened the way it opens at start-up.
class Panel {
 public:
  explicit Panel(const std::string& directory, int baud = 9600) : devices_(directory) {
    open(baud);
  }
  bool open(int baud = 9600) {
    ports.closePort(kPort);
    opened_ = ports.openPort(kPort, baud) == 1;
    ports.setReadTimeouts(kPort, -1);
    ports.setLineFormat(kPort, 8, 0, 2);
    return opened_;
  }
  void close() { ports.closePort(kPort); }
  bool opened() const { return opened_; }

  void send(const std::string& bytes) { ports.writePort(kPort, bytes); }
  // What arrives until `answers` ";" have come, or the time is up.
  std::string collect(int answers, std::chrono::milliseconds limit = 2000ms) {
    std::string got;
    waitUntil(
        [&] {
          got += ports.readPort(kPort, 255);
          return std::count(got.begin(), got.end(), ';') >= answers;
        },
        limit);
    return got;
  }
  std::string ask(const std::string& command) {
    send(command);
    return collect(1);
  }
  // Everything that arrives within the time.
  std::string listen(std::chrono::milliseconds time) {
    std::string got;
    const auto end = SteadyClock::now() + time;
    while (SteadyClock::now() < end) {
      got += ports.readPort(kPort, 255);
      std::this_thread::sleep_for(5ms);
    }
    return got + ports.readPort(kPort, 255);
  }

  PosixSerialPorts devices_;
  SerialPort ports{devices_};

 private:
  bool opened_ = false;
};

class RadioSimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(radio.ready());
    ASSERT_TRUE(panel.opened());
  }
  RadioSim radio{{"--freq", "7100000"}};
  Panel panel{radio.dir.path()};
};

TEST_F(RadioSimTest, PollsAreAnsweredInTheRadiosFormats) {
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
  EXPECT_EQ(panel.ask("FB;"), "FB00007100000;");
  EXPECT_TRUE(std::regex_match(panel.ask("SM0;"), std::regex("SM0(00[0-2][0-9]|0030);")));
  EXPECT_TRUE(std::regex_match(panel.ask("RM;"), std::regex("RM1(00[0-2][0-9]|0030);")));
  // Polls sent together are answered in order.
  panel.send("FA;SM0;FA;SM0;");
  EXPECT_TRUE(std::regex_match(panel.collect(4), std::regex("(FA00007100000;SM0[0-9]{4};){2}")));
}

TEST_F(RadioSimTest, SetCommandsOfThePanelAreAppliedAsTheRadioWould) {
  const struct {
    std::string set, read, answer;
  } cases[] = {
      {"MD1", "MD;", "MD1;"},
      {"MD3", "MD;", "MD3;"},
      {"MD5", "MD;", "MD5;"},
      {"PA00", "PA;", "PA00;"},
      {"PA1", "PA;", "PA10;"},
      {"PA0", "PA;", "PA00;"},
      {"RA01", "RA;", "RA0100;"},
      {"RA00", "RA;", "RA0000;"},
      {"NB1", "NB;", "NB1;"},
      {"NB0", "NB;", "NB0;"},
      {"NR1", "NR;", "NR1;"},
      {"NR0", "NR;", "NR0;"},
      {"NT10", "NT;", "NT10;"},
      {"NT00", "NT;", "NT00;"},
      {"PC050", "PC;", "PC050;"},
      {"PC100", "PC;", "PC100;"},
      {"PC000", "PC;", "PC005;"},
      {"AG0050", "AG0;", "AG0050;"},
      {"RG255", "RG;", "RG255;"},
      {"RG015", "RG;", "RG015;"},
      {"SH03", "SH;", "SH03;"},  // in AM, the last of its four high cuts
      {"MD2", "MD;", "MD2;"},
      {"SH11", "SH;", "SH11;"},  // in SSB, the last of twelve
      {"MD3", "MD;", "MD3;"},
      {"FW0500", "FW;", "FW0500;"},  // in CW, the DSP width in hertz
      {"RM1", "RM;", "RM10000;"},
      {"FR0", "FR;", "FR0;"},
      {"FA00014200000", "FA;", "FA00014200000;"},
      {"FA00000499900", "FA;", "FA00000499900;"},
      {"FA00145000000", "FA;", "FA00145000000;"},
      {"FB00432000000", "FB;", "FB00432000000;"},
      {"AC111", "AC;", "AC111;"},
      {"AC110", "AC;", "AC110;"},
      {"SWT28", "ID;", "ID019;"},
      {"PS1", "PS;", "PS1;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.set);
    panel.send(c.set + ";");
    EXPECT_EQ(panel.ask(c.read), c.answer);
  }
  std::vector<std::string> expected;
  for (const auto& c : cases) {
    expected.push_back(c.set);
    expected.push_back(c.read.substr(0, c.read.size() - 1));
  }
  EXPECT_EQ(radio.commands(), expected);
}

// What a CAT client such as Hamlib reads at open: the 38-character status, auto-information and
// satellite mode. The status follows the receive VFO, the mode and split.
TEST_F(RadioSimTest, StatusAnswerFollowsTheReceiveVfoModeAndSplit) {
  const struct {
    std::string sets, status;
  } cases[] = {
      {"", "IF00007100000     +000000000020000000;"},
      {"MD3;FA00014074000;", "IF00014074000     +000000000030000000;"},
      {"FB00021074000;FR1;MD1;", "IF00021074000     +000000000011000000;"},
      {"FR0;FT1;", "IF00014074000     +000000000010010000;"},
      {"FR1;FT0;MD5;", "IF00021074000     +000000000051010000;"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sets);
    panel.send(c.sets);
    EXPECT_EQ(panel.ask("IF;"), c.status);
  }
  EXPECT_EQ(panel.ask("AI;"), "AI0;");
  panel.send("AI0;");
  EXPECT_EQ(panel.ask("SA;"), "SA0000000        ;");
}

TEST_F(RadioSimTest, CommandsTheRadioCannotTakeAreRefusedAndChangeNothing) {
  for (const std::string bad :
       {"MD0", "MD8", "FA123", "FA00100000000", "FA0001420000X", "PA2", "RA05", "AG050", "RG256",
        "PC5", "AC2", "PS5", "SWT", "Poweron", "md2", "X", "IF0", "AI2", "SA1000000",
        // another maker's width, a width the DSP does not have in USB, a high cut past the table
        "BW0240", "FW0700", "SH12",
        // the forms of other models: the TS-890's S-meter and blanker, the TS-990's mode and split
        "SM", "NB11", "OM01", "TB1"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(panel.ask(bad + ";"), "?;");
  }
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
  EXPECT_EQ(panel.ask("MD;"), "MD2;");
  EXPECT_TRUE(radio.logHas("#refused BW0240"));
  EXPECT_FALSE(radio.logHas("#refused FA"));
}

TEST_F(RadioSimTest, SplitMovesTheTransmitterToVfoBAndFrEndsIt) {
  // Memory recall with split, as the panel sends it.
  panel.send("FT0;FA00007100000;FB00007150000;FT1;");
  EXPECT_EQ(panel.ask("FT;"), "FT1;");
  EXPECT_EQ(panel.ask("FR;"), "FR0;");
  EXPECT_EQ(panel.ask("FB;"), "FB00007150000;");
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
  // The operator's knob moves the receive VFO; bursts now carry VFO B's answer, the one the
  // panel polls in split.
  ASSERT_TRUE(radio.control("freq 7105000"));
  EXPECT_EQ(panel.ask("FA;"), "FA00007105000;");
  ASSERT_TRUE(radio.control("burst 20"));
  EXPECT_EQ(panel.collect(2), "FB00007150000;FB00007150000;");
  panel.send("FR0;");
  EXPECT_EQ(panel.ask("FT;"), "FT0;");
}

TEST_F(RadioSimTest, SwitchedOffTheRadioHearsOnlyThePowerSwitch) {
  panel.send("PS9;");
  EXPECT_EQ(panel.ask("PS;"), "PS0;");
  panel.send("FA;SM0;MD3;");
  EXPECT_EQ(panel.listen(300ms), "");
  panel.send("Poweron;");
  EXPECT_EQ(panel.listen(100ms), "");
  panel.send("PS1;");
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
  EXPECT_EQ(panel.ask("MD;"), "MD2;");
}

TEST_F(RadioSimTest, ControlSetsFrequencyAndMeters) {
  ASSERT_TRUE(radio.control("freq 14074000"));
  EXPECT_EQ(panel.ask("FA;"), "FA00014074000;");
  ASSERT_TRUE(radio.control("freq b 21074000"));
  EXPECT_EQ(panel.ask("FB;"), "FB00021074000;");
  ASSERT_TRUE(radio.control("smeter 15"));
  EXPECT_EQ(panel.ask("SM0;"), "SM00015;");
  // The preamplifier lifts the reading, the attenuator pushes it down; the scale ends at 30.
  panel.send("PA1;");
  EXPECT_EQ(panel.ask("SM0;"), "SM00017;");
  panel.send("PA0;RA01;");
  EXPECT_EQ(panel.ask("SM0;"), "SM00011;");
  panel.send("RA00;");
  ASSERT_TRUE(radio.control("smeter 45"));
  EXPECT_EQ(panel.ask("SM0;"), "SM00030;");
  ASSERT_TRUE(radio.control("swr 14"));
  EXPECT_EQ(panel.ask("RM;"), "RM10014;");
  // Nonsense is logged as refused and changes nothing.
  ASSERT_TRUE(radio.control("freq 99000000"));
  ASSERT_TRUE(radio.control("smeter"));
  ASSERT_TRUE(radio.control("bogus 1"));
  EXPECT_TRUE(radio.logHas("@? freq 99000000"));
  EXPECT_TRUE(radio.logHas("@? bogus 1"));
  EXPECT_EQ(panel.ask("FA;"), "FA00014074000;");
}

TEST_F(RadioSimTest, SilentRadioStillTakesCommandsAndComesBack) {
  ASSERT_TRUE(radio.control("silent on"));
  panel.send("FA00014200000;FA;SM0;");
  EXPECT_EQ(panel.listen(300ms), "");
  ASSERT_TRUE(radio.control("silent off"));
  EXPECT_EQ(panel.ask("FA;"), "FA00014200000;");
  EXPECT_EQ(radio.commands(), (std::vector<std::string>{"FA00014200000", "FA", "SM0", "FA"}));
}

TEST_F(RadioSimTest, NoiseBurstAndRawBytesReachThePanel) {
  ASSERT_TRUE(radio.control("noise 40"));
  ASSERT_TRUE(waitUntil([&] { return panel.ports.bytesWaiting(kPort) >= 40; }));
  EXPECT_EQ(panel.ports.readPort(kPort, 255).size(), 40u);

  // A burst longer than one read of 255 bytes: the rest stays queued for the next read.
  ASSERT_TRUE(radio.control("burst 300"));
  ASSERT_TRUE(waitUntil([&] { return panel.ports.bytesWaiting(kPort) >= 308; }));
  const std::string first = panel.ports.readPort(kPort, 255);
  const std::string rest = panel.ports.readPort(kPort, 255);
  EXPECT_EQ(first.size(), 255u);
  EXPECT_EQ(rest.size(), 53u);  // 22 answers of 14 bytes
  std::string expected;
  for (int i = 0; i < 22; ++i) expected += "FA00007100000;";
  EXPECT_EQ(first + rest, expected);

  ASSERT_TRUE(radio.control("send SM00030;RM10015;"));
  EXPECT_EQ(panel.collect(2), "SM00030;RM10015;");
}

TEST_F(RadioSimTest, AnswersCanBeReplacedUntilClearedAndSentBytesTakeEscapes) {
  ASSERT_TRUE(radio.control("answer FA FA0001420A000;"));
  EXPECT_EQ(panel.ask("FA;"), "FA0001420A000;");
  EXPECT_EQ(panel.ask("FA;"), "FA0001420A000;");
  EXPECT_EQ(panel.ask("FB;"), "FB00007100000;");
  ASSERT_TRUE(radio.control("answer FA"));
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");

  ASSERT_TRUE(radio.control(R"(send \x00\x00SM\\;)"));
  EXPECT_EQ(panel.collect(1), std::string("\0\0SM\\;", 6));
  ASSERT_TRUE(radio.control(R"(send FA\x0)"));
  EXPECT_TRUE(radio.logHas(R"(@? send FA\x0)"));
}

TEST_F(RadioSimTest, UnpluggedTheLineHangsUpAndPluggedInItIsANewPtyBehindTheSameLink) {
  const auto link = radio.dir / "com3";
  const auto before = std::filesystem::read_symlink(link);
  panel.send("FA00007050000;");
  EXPECT_EQ(panel.ask("FA;"), "FA00007050000;");
  ASSERT_TRUE(radio.control("unplug"));
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
  EXPECT_EQ(panel.ports.bytesWaiting(kPort), 0);
  EXPECT_TRUE(panel.ports.hungUp(kPort));
  // Nothing reaches a line that is not there; the radio itself still hears its operator.
  ASSERT_TRUE(radio.control("noise 10"));
  EXPECT_TRUE(radio.logHas("@? noise 10"));
  ASSERT_TRUE(radio.control("smeter 20"));

  ASSERT_TRUE(radio.control("plug"));
  ASSERT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(std::filesystem::read_symlink(link), before);
  ASSERT_TRUE(panel.open());
  EXPECT_EQ(panel.ask("FA;"), "FA00007050000;");
  EXPECT_EQ(panel.ask("SM0;"), "SM00020;");
  EXPECT_TRUE(radio.logHas("#plugged in on " + std::filesystem::read_symlink(link).string() +
                           " as " + link));
}

TEST_F(RadioSimTest, SplitReplyArrivesInTwoParts) {
  ASSERT_TRUE(radio.control("split 400"));
  panel.send("FA;");
  ASSERT_TRUE(waitUntil([&] { return panel.ports.bytesWaiting(kPort) > 0; }));
  EXPECT_EQ(panel.ports.readPort(kPort, 255), "FA00007");
  EXPECT_EQ(panel.collect(1), "100000;");
  // Only the next answer is split.
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
}

TEST_F(RadioSimTest, SlowRadioAnswersLate) {
  ASSERT_TRUE(radio.control("slow 400"));
  panel.send("FA;");
  EXPECT_EQ(panel.listen(150ms), "");
  EXPECT_EQ(panel.collect(1), "FA00007100000;");
  ASSERT_TRUE(radio.control("slow 0"));
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
}

TEST_F(RadioSimTest, TunerRunBringsTheSwrDownAndEnds) {
  ASSERT_TRUE(radio.control("swr 20"));
  panel.send("RM1;AC111;");
  int last = 99;
  bool fell = false;
  for (int i = 0; i < 40; ++i) {
    const std::string answer = panel.ask("RM;");
    ASSERT_EQ(answer.size(), 8u) << answer;
    const int swr = std::stoi(answer.substr(3, 4));
    EXPECT_LE(swr, last);
    fell = fell || swr < 20;
    last = swr;
    if (swr == 0) break;
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(fell);
  EXPECT_EQ(last, 0);
  EXPECT_EQ(panel.ask("AC;"), "AC110;");
}

// A CAT client keys the radio with TX and releases it with RX; the operator's PTT does the same
// through the control FIFO. The log has one line per change, and "transmit" asks for the state.
TEST_F(RadioSimTest, TransmitStateFollowsTxRxAndThePttAndShowsInTheLogAndTheStatus) {
  const auto notes = [&] {
    std::vector<std::string> out;
    for (const auto& t : radio.logTexts())
      if (t.rfind("#transmit", 0) == 0) out.push_back(t);
    return out;
  };
  panel.send("TX;");
  EXPECT_EQ(panel.ask("IF;"), "IF00007100000     +000000000120000000;");
  panel.send("TX;TX1;");  // already on the air: no change
  EXPECT_EQ(panel.ask("IF;").substr(28, 1), "1");
  panel.send("RX;RX;");
  EXPECT_EQ(panel.ask("IF;").substr(28, 1), "0");
  EXPECT_EQ(panel.ask("TX3;"), "?;");
  panel.send("TX2;");
  EXPECT_EQ(panel.ask("IF;").substr(28, 1), "1");
  ASSERT_TRUE(radio.control("power off"));  // switched off, it stops transmitting
  ASSERT_TRUE(radio.control("power on"));
  ASSERT_TRUE(radio.control("transmit on"));
  EXPECT_EQ(panel.ask("IF;").substr(28, 1), "1");
  ASSERT_TRUE(radio.control("transmit"));
  ASSERT_TRUE(radio.control("power off"));
  ASSERT_TRUE(radio.control("transmit off"));
  ASSERT_TRUE(radio.control("transmit on"));
  EXPECT_TRUE(radio.logHas("@? transmit on"));  // a radio that is off cannot be keyed
  EXPECT_EQ(notes(), (std::vector<std::string>{"#transmit on", "#transmit off", "#transmit on TX2",
                                               "#transmit off", "#transmit on", "#transmit on",
                                               "#transmit off"}));
}

TEST_F(RadioSimTest, EveryLogLineIsStampedInOrder) {
  panel.send("FA;SM0;");
  panel.collect(2);
  ASSERT_TRUE(radio.control("smeter 3"));
  std::ifstream in(radio.logPath());
  std::string line;
  double previous = -1;
  std::vector<std::string> events;  // notes aside: a slow machine may add one of its own
  const std::regex shape(R"(([0-9]+\.[0-9]{6}) (\S.*))");
  while (std::getline(in, line)) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
    const double t = std::stod(m[1]);
    EXPECT_GE(t, previous);
    previous = t;
    if (m[2].str()[0] != '#') events.push_back(m[2]);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"FA", "SM0", "@smeter 3"}));
  EXPECT_EQ(radio.logTexts().at(0).rfind("#radiosim", 0), 0u);
}

TEST_F(RadioSimTest, BytesOutsidePrintableAsciiAreLoggedEscaped) {
  panel.send(std::string("F\x01 A\\\xff;FA;", 10));
  panel.collect(2);
  EXPECT_EQ(radio.commands(), (std::vector<std::string>{"F\\x01\\x20A\\\\\\xFF", "FA"}));
}

TEST_F(RadioSimTest, PortClosedAndReopenedStillWorks) {
  for (int i = 0; i < 3; ++i) {
    panel.close();
    ASSERT_TRUE(panel.open());
    EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
  }
}

TEST_F(RadioSimTest, AnswersNobodyReadAreGoneWhenThePortIsOpenedAgain) {
  panel.send("FA;");
  panel.close();
  ASSERT_TRUE(waitUntil([&] { return radio.logHas("#dropped 14 bytes nobody read"); }));
  ASSERT_TRUE(panel.open());
  EXPECT_EQ(panel.listen(100ms), "");
}

TEST_F(RadioSimTest, ExclusiveModeOfAPanelThatDiedIsCleared) {
  panel.close();
  const std::string directory = radio.dir.path();
  const pid_t child = ::fork();
  if (child == 0) {
    PosixSerialPorts devices(directory);
    auto held = devices.open(kPort);
    // Dies holding the port: no destructor gives the exclusive mode back.
    ::_exit(held ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(waitUntil([&] { return panel.open(); }));
  EXPECT_TRUE(radio.logHas("#cleared the exclusive mode of a program that has gone"));
  EXPECT_EQ(panel.ask("FA;"), "FA00007100000;");
}

TEST(RadioSimLine, AnswerTakesTheTimeOfItsCharactersOnTheLine) {
  RadioSim radio({"--baud", "1200", "--turnaround", "0"});
  ASSERT_TRUE(radio.ready());
  Panel panel(radio.dir.path(), 1200);
  ASSERT_TRUE(panel.opened());
  // "FA;" in and 14 characters out, 11 bits each at 1200 baud: 156 ms.
  panel.send("FA;");
  EXPECT_EQ(panel.listen(80ms), "");
  EXPECT_EQ(panel.collect(1), "FA00014200000;");
}

TEST(RadioSimLine, PanelAtTheWrongSpeedIsNotUnderstood) {
  RadioSim radio;
  ASSERT_TRUE(radio.ready());
  Panel panel(radio.dir.path(), 4800);
  ASSERT_TRUE(panel.opened());
  panel.send("FA;");
  EXPECT_EQ(panel.listen(300ms), "");
  EXPECT_TRUE(radio.commands().empty());
  EXPECT_TRUE(radio.logHas("#garbled 3 bytes: line at 4800 8N2, radio at 9600 8N"));
  ASSERT_TRUE(panel.open(9600));
  EXPECT_EQ(panel.ask("FA;"), "FA00014200000;");
}

// A command's log time on the monotonic clock lies between the moments the sender wrote it and
// saw its answer, as the benchmarks that set the log against their own timestamps assume.
TEST(RadioSimLine, MonotonicLogTimesAreTheSystemsClock) {
  RadioSim radio({"--log-clock", "monotonic"});
  ASSERT_TRUE(radio.ready());
  Panel panel(radio.dir.path());
  ASSERT_TRUE(panel.opened());
  const auto seconds = [] {
    return std::chrono::duration<double>(SteadyClock::now().time_since_epoch()).count();
  };
  const double sent = seconds();
  EXPECT_EQ(panel.ask("FA;"), "FA00014200000;");
  const double answered = seconds();
  std::ifstream in(radio.logPath());
  std::string line;
  double logged = 0;
  while (std::getline(in, line))
    if (line.ends_with(" FA")) logged = std::stod(line);
  EXPECT_GE(logged, sent);
  EXPECT_LE(logged, answered);
}

TEST(RadioSimProcess, StopsCleanlyOnTermAndInterrupt) {
  for (const int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    RadioSim radio;
    ASSERT_TRUE(radio.ready());
    {
      Panel panel(radio.dir.path());
      EXPECT_EQ(panel.ask("FA;"), "FA00014200000;");
      EXPECT_EQ(radio.stop(signal), 0);
      // The panel's port goes dead without harm.
      EXPECT_EQ(panel.ports.writePort(kPort, "FA;"), 0);
      EXPECT_EQ(panel.ports.bytesWaiting(kPort), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(radio.dir / "com3")));
    EXPECT_FALSE(std::filesystem::exists(radio.controlPath()));
    EXPECT_EQ(radio.logTexts().back(), "#stopped");
  }
}

TEST(RadioSimProcess, QuitCommandStopsIt) {
  RadioSim radio;
  ASSERT_TRUE(radio.ready());
  std::ofstream(radio.controlPath()) << "quit\n";
  EXPECT_TRUE(waitUntil([&] { return radio.logHas("#stopped"); }));
  EXPECT_EQ(radio.stop(SIGTERM), 0);
}

TEST(RadioSimProcess, ReplacesAStaleLinkButNeverAFile) {
  TempDir dir;
  std::filesystem::create_symlink("/dev/pts/nonexistent", dir / "com3");
  const auto run = [&](const std::string& port) {
    const pid_t child = ::fork();
    if (child == 0) {
      const int devnull = ::open("/dev/null", O_WRONLY);
      ::dup2(devnull, STDERR_FILENO);
      ::execl(RADIOSIM_PATH, RADIOSIM_PATH, "--dir", dir.path().c_str(), "--port", port.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
    return child;
  };
  const pid_t first = run("3");
  ASSERT_TRUE(waitUntil(
      [&] { return std::filesystem::read_symlink(dir / "com3") != "/dev/pts/nonexistent"; }));
  ::kill(first, SIGTERM);
  int status = 0;
  ::waitpid(first, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::ofstream(dir / "com4") << "someone's file";
  const pid_t second = run("4");
  ::waitpid(second, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
  std::ifstream kept(dir / "com4");
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "someone's file");
}

}  // namespace
