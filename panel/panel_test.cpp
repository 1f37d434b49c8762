// SPDX-License-Identifier: GPL-3.0-or-later
// The main sequence and panel initialisation, run whole on the in-memory platform.
#include "panel/panel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/panel_harness.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

const std::vector<std::string> kStartCommands = {
    "MD1;", "FA00007100000;", "PA00;", "RA00;", "NB0;", "PC100;", "FR0;", "AG0050;", "RG255;"};

TEST(MainSequence, StartsDrawsAnnouncesPollsAndShutsDownInOrder) {
  PanelHarness h;
  h.fake.window.queueTicks(2);
  h.fake.window.queueKey(vk::letter('Q'));
  EXPECT_EQ(h.run(), 0);
  const auto story = h.storyFrom(0, /*withPolls=*/true);
  const std::vector<std::string> expected = {
      "window.open *** Velomar Deck v1.9*** 350,100 950x500",
      "print 300,10 default \"*** Orvane V 1.9 ***  spoken control for Kenwood TS transceivers\"",
      "print 190,355 default \"b=Band  f=Freq  e=Entry m=Mode  s=Meter/SWR  Z=Zero frequency  "
      "w=Filter width p=Power\"",
      "print 155,380 default \"         v=VFO B/Split/Repeater  c=channel save  g=goto channel  "
      "a=af gain  r=rfgain  n=Menu Nr.\"",
      "print 155,405 default \"        F1=Preamp F2=Attenuator F3=Noise Blanker F4=Noise "
      "Reduction F5=Notch  h=help  q=quit\"",
      "> MD1;", "print 50,45 Ariel/50/700 \"LSB \"", "> FA00007100000;", "> PA00;", "> RA00;",
      "> NB0;", "> PC100;", "> FR0;", "> AG0050;", "> RG255;", "ts", "1", "point", "9",
      // first tick: the frequency poll; second tick: its answer, then the question which radio
      // it is, in place of a poll
      "> FA;", "connected", "print 80,150 Ariel/50/700 \"    \"",
      "print 285,150 Ariel/50/700 \"   14.200000             \"", "> ID;", "quit", "window.close",
      "delay"};
  EXPECT_THAT(story, ElementsAreArray(expected));
  EXPECT_EQ(h.fake.transcript.linesWithPrefix("timer.start ").at(0), "1 50");
  EXPECT_FALSE(h.fake.serial.isOpen(3));
}

TEST(MainSequence, MissingConfigurationSaysSoAndEndsWithoutTheLoop) {
  PanelHarness h(/*config=*/"");
  h.fake.window.queueKey(vk::letter('F'));  // never handled
  EXPECT_EQ(h.run(), 0);
  const auto story = h.storyFrom(0);
  EXPECT_EQ(story.at(1), "cfgnf");
  EXPECT_THAT(std::vector<std::string>(story.end() - 4, story.end()),
              ElementsAre("ts", "1", "point", "9"));
  EXPECT_EQ(h.fake.window.dispatchPasses(), 0);
  EXPECT_TRUE(h.fake.transcript.linesWithPrefix("timer.start").empty());
  // No port 0 exists: the start-up commands went nowhere, and nothing was saved at exit.
  EXPECT_TRUE(h.fake.transcript.linesWithPrefix("serial.write").empty());
  EXPECT_EQ(h.fake.transcript.linesWithPrefix("file.replace memory.dat").size(), 1u);  // at load
  EXPECT_EQ(h.state().running, 0);
}

TEST(MainSequence, WithoutAWindowItEndsAtOnceTouchingNothing) {
  PanelHarness h("port 3\nspeed 9600\npower 50\nswr 2\ntopband 1\nswitch 1\ndebug 1\n");
  h.fake.window.refuseOpen = true;
  EXPECT_EQ(h.run(), kExitNoWindow);
  // No clip, no port, no memory file, no debug log: the operator can start it again elsewhere.
  EXPECT_THAT(h.fake.transcript.lines(), ElementsAre("window.open refused"));
  EXPECT_FALSE(h.fake.files.exists("memory.dat"));
}

TEST(MainSequence, PowerSwitchWakesTheRadioAndSwitchesItOffAfterTheWindowCloses) {
  PanelHarness h("port 3\nspeed 9600\npower 50\nswr 2\ntopband 1\nswitch 1\ndebug 0\n");
  h.fake.window.queueKey(vk::letter('Q'));
  h.run();
  const auto story = h.storyFrom(0);
  auto at = [&](const std::string& s) { return std::find(story.begin(), story.end(), s); };
  ASSERT_NE(at("> Poweron;"), story.end());
  EXPECT_THAT(std::vector<std::string>(at("> Poweron;"), at("> Poweron;") + 5),
              ElementsAre("> Poweron;", "delay", "> PS1;", "delay", "> MD1;"));
  EXPECT_THAT(std::vector<std::string>(story.end() - 3, story.end()),
              ElementsAre("window.close", "> PS9;", "delay"));
}

TEST(MainSequence, QuitWhileAClipPlaysEndsAfterThatClipAndQuit) {
  PanelHarness h;
  h.queueConnect();
  h.fake.window.queueKey(vk::letter('F'));
  // "Q" is pressed while the frequency readout speaks: it waits in the queue.
  bool pressed = false;
  h.fake.sound.whilePlaying = [&](const std::string& path) {
    if (!pressed && path == "wave/lsb.wav") {
      pressed = true;
      h.fake.window.queueKey(vk::letter('Q'));
    }
  };
  h.run();
  const auto story = h.storyFrom(0);
  const auto quit = std::find(story.begin(), story.end(), "quit");
  ASSERT_NE(quit, story.end());
  EXPECT_EQ(*(quit - 1), "mhz");  // the readout finished first
  EXPECT_EQ(*(quit + 1), "window.close");
}

TEST(MainSequence, ShutDownRemembersTheLastFrequencyOfItsBand) {
  PanelHarness h;
  h.radio.vfoA = "00007074000";  // 40 m, the start band
  h.queueConnect();
  h.run();
  EXPECT_EQ(h.state().bandTable[4].str(), "FA00007074000");
  const std::string memory = h.fake.files.contents("memory.dat");
  EXPECT_NE(memory.find("\r\nFA00007074000\r\n"), std::string::npos);
}

TEST(MainSequence, NoFrequencyAnswerStoresNothingAtShutDown) {
  PanelHarness h;
  h.radio.silent = true;
  h.queueConnect();
  h.run();
  EXPECT_TRUE(h.state().lastFreqReply.empty());
  EXPECT_EQ(h.state().bandTable[4].str(), "FA00007100000");
}

class StartPower : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(StartPower, PowerCommandHasThreeDigits) {
  const auto [line, command] = GetParam();
  PanelHarness h(std::string("port 3\nspeed 9600\n") + line + "\n");
  h.run();
  const auto wire = h.wireFrom(0);
  std::vector<std::string> expected = kStartCommands;
  expected[5] = command;
  ASSERT_GE(wire.size(), expected.size());
  EXPECT_THAT(std::vector<std::string>(wire.begin(), wire.begin() + 9), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(Powers, StartPower,
                         ::testing::Values(std::make_pair("power  0", "PC000;"),
                                           std::make_pair("power 7", "PC007;"),
                                           std::make_pair("power 100", "PC100;"),
                                           std::make_pair("", "PC000;"),
                                           std::make_pair("power   100", "PC000;"),
                                           // Three digits without sign, as the readout says it.
                                           std::make_pair("power -5", "PC005;")));

TEST(PanelInitialisation, OpensThePortInTheProgramsLineFormat) {
  PanelHarness h("port 3\nspeed 4800\n");
  h.fake.serial.onWrite(3, nullptr);
  h.fake.window.queueTick();  // keep the port open while we look
  h.fake.window.beforeEachEvent = [&](const WindowEvent&) {
    const SerialLineFormat f = h.fake.serial.lineFormat(3);
    EXPECT_EQ(f.baudRate, 4800);
    EXPECT_EQ(f.dataBits, 8);
    EXPECT_EQ(f.parity, 0);
    EXPECT_EQ(f.stopBits, 2);
    EXPECT_TRUE(h.fake.serial.readTimeouts(3).returnAtOnce);
  };
  h.run();
}

TEST(PanelInitialisation, RememberedFortyMetreFrequencyGoesOutButVfoRepliesKeepTheStartText) {
  PanelHarness h;
  std::string memory;
  for (int i = 1; i <= 11; ++i) memory += i == 4 ? "FA00007155000\r\n" : "FA00001900000\r\n";
  for (int i = 0; i < 10; ++i) memory += i == 2 ? "0206FA00014200000FA00014200000\n" : "9\r";
  h.fake.files.put("memory.dat", memory);
  h.run();
  EXPECT_EQ(h.wireFrom(0).at(1), "FA00007155000;");
  EXPECT_EQ(h.state().vfoAReply.str(), "FA00007100000");
  EXPECT_EQ(h.state().vfoBReply.str(), "FA00007100000");
  EXPECT_EQ(h.state().memoryChannels[2].str(), "0206FA00014200000FA00014200000");
  EXPECT_EQ(h.state().memoryChannels[3].str(), "9");
}

TEST(PanelInitialisation, DebugLogHeaderThenEveryCommandAndKey) {
  PanelHarness h("port 3\nspeed 9600\npower 5\nswr 2\ntopband 1\nswitch 0\ndebug 1\n");
  h.fake.files.put("debug.dat", "old contents\r\n");
  h.fake.clock.now = LocalDateTime{2026, 3, 4, 7, 8, 9};
  h.queueConnect();
  h.queueKeys({vk::kEnter, vk::kFullStop, vk::letter('N')});
  h.run();
  const std::string log = h.fake.files.contents("debug.dat");
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = log.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(log.substr(start, end - start));
  }
  EXPECT_EQ(start, log.size()) << "every line ends with CR LF";
  const std::vector<std::string> expected = {"ORVANEX 1.9  04-03-2026   07:08:09",
                                             "TX=MD1;",
                                             "TX=FA00007100000;",
                                             "TX=PA00;",
                                             "TX=RA00;",
                                             "TX=NB0;",
                                             "TX=PC005;",
                                             "TX=FR0;",
                                             "TX=AG0050;",
                                             "TX=RG255;",
                                             "TX=FA;",
                                             "RX=FA00014200000;",
                                             "TX=ID;",
                                             "RX=ID019;",
                                             "RADIO=TS-2000 (ID019)",
                                             "TX=SM0;",
                                             "C/R",
                                             "TX=FA00014200000;",
                                             ".",
                                             "N"};
  EXPECT_THAT(lines, ElementsAreArray(expected));
}

TEST(PanelInitialisation, DebugLogOffLeavesAnExistingFileAlone) {
  PanelHarness h;
  h.fake.files.put("debug.dat", "keep me");
  h.queueConnect();
  h.run();
  EXPECT_EQ(h.fake.files.contents("debug.dat"), "keep me");
  EXPECT_TRUE(h.fake.transcript.linesWithPrefix("file.create debug.dat").empty());
}

TEST(PanelInitialisation, MissingMemoryFileIsWrittenFromTheStartValues) {
  PanelHarness h("");  // no configuration: the load still writes the new file
  h.run();
  std::string expected;
  for (const char* f : {"FA00001900000", "FA00003600000", "FA00005400000", "FA00007100000",
                        "FA00010100000", "FA00014200000", "FA00018100000", "FA00021200000",
                        "FA00024890000", "FA00028500000", "FA00050150000"}) {
    expected += std::string(f) + "\r\n";
  }
  for (int i = 0; i < 10; ++i) expected += "9\r\n";
  EXPECT_EQ(h.fake.files.contents("memory.dat"), expected);
}

}  // namespace
}  // namespace orvane
