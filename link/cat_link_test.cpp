// SPDX-License-Identifier: GPL-3.0-or-later
// The exchange with the radio on the in-memory platform: what goes out on the wire, how answers
// are routed, the watchdog and the S-meter on the screen.
#include "link/cat_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "platform/fake/fake_platform.h"

namespace orvane {
namespace {

using ::testing::ElementsAre;

class CatLinkTest : public ::testing::Test {
 protected:
  CatLinkTest() {
    fake.serial.addPort(3);
    state.comPort = 3;
    port.openPort(3, 9600);
    port.setReadTimeouts(3, -1);
    state.baudRate = 9600;
    link.setFrequencyAnswerHandler([this] {
      answers.push_back(state.replyText.str());
      state.radioConnected = 1;
    });
    link.setRadioLostHandler([this] { ++losses; });
    link.setPortOpenedHandler([this] { ++reopens; });
    fake.window.open(WindowSpec{}, nullptr);
  }

  // Commands on the wire since the last call, split at ";".
  std::vector<std::string> wire() {
    std::vector<std::string> out;
    std::string w = fake.serial.written(3);
    fake.serial.clearWritten(3);
    std::size_t start = 0;
    for (std::size_t end; (end = w.find(';', start)) != std::string::npos; start = end + 1) {
      out.push_back(w.substr(start, end - start));
    }
    return out;
  }

  // One poll out, then the radio's reply collected at the next tick.
  void exchange(std::string_view reply) {
    state.pollPending = 0;
    link.pollRadio();
    fake.serial.feed(3, reply);
    link.pollRadio();
  }

  std::vector<std::string> prints() { return fake.transcript.linesWithPrefix("print "); }

  fake::FakePlatform fake;
  PanelState state;
  SerialPort port{fake.serial};
  DebugLog log{fake.files};
  CatLink link{state, port, fake.window, log};
  std::vector<std::string> answers;
  int losses = 0;
  int reopens = 0;
};

TEST_F(CatLinkTest, SplitTurnsFrequencyCommandsToVfoB) {
  state.splitState = 1;
  link.send("FA00007100000");
  EXPECT_EQ(state.commandText.str(), "FB00007100000;");
  link.pollRadio();  // frequency poll
  state.splitState = 0;
  link.send("FB00014000000");
  link.send("FAX");
  EXPECT_THAT(wire(), ElementsAre("FB00007100000", "FB", "FB00014000000", "FAX"));
}

TEST_F(CatLinkTest, PollsAlternateFrequencyAndMeterAndMeterIsSwrWhileTuning) {
  for (int i = 0; i < 4; ++i) {
    fake.serial.feed(3, "X;");  // any answer keeps every tick sending
    link.pollRadio();
  }
  state.tuning = 1;
  state.splitState = 2;
  for (int i = 0; i < 2; ++i) {
    fake.serial.feed(3, "X;");
    link.pollRadio();
  }
  EXPECT_THAT(wire(), ElementsAre("FA", "SM0", "FA", "SM0", "FB", "RM"));
}

TEST_F(CatLinkTest, WatchdogDropsTheLinkAtTheTwentiethEmptyCollectionOnly) {
  state.radioConnected = 1;
  link.pollRadio();  // first poll out
  for (int missed = 1; missed <= 19; ++missed) {
    link.pollRadio();  // empty collection
    EXPECT_EQ(state.missedPolls, missed);
    EXPECT_EQ(state.radioConnected, 1) << "after " << missed << " missed polls";
    link.pollRadio();  // next poll out
  }
  EXPECT_EQ(losses, 0);
  link.pollRadio();
  EXPECT_EQ(state.radioConnected, 0);
  EXPECT_EQ(state.missedPolls, 19);
  EXPECT_EQ(losses, 1);
  // After an empty collection the next tick polls for the other kind.
  // The loss is told once, not at every later empty collection.
  link.pollRadio();
  link.pollRadio();
  EXPECT_EQ(losses, 1);
  const auto sent = wire();
  EXPECT_EQ(sent.size(), 21u);
  EXPECT_EQ(sent[0], "FA");
  EXPECT_EQ(sent[1], "SM0");
  // One byte resets the count; the link comes back with the next frequency answer.
  link.pollRadio();
  fake.serial.feed(3, "FA00014200000;");
  link.pollRadio();
  EXPECT_EQ(state.missedPolls, 0);
  EXPECT_EQ(state.radioConnected, 1);
}

TEST_F(CatLinkTest, SMeterShownInSUnits) {
  struct Case {
    const char* reply;
    const char* shown;
  };
  for (const Case& c : {Case{"SM00000;", "S0"}, Case{"SM00014;", "S4"}, Case{"SM00029;", "S9"},
                        Case{"SM00030;", "S9+"}}) {
    fake.transcript.clear();
    exchange(c.reply);
    std::string text;
    for (const std::string& p : prints()) {
      text += p.substr(p.find('"') + 1, p.rfind('"') - p.find('"') - 1);
    }
    ASSERT_FALSE(prints().empty());
    EXPECT_EQ(prints()[0].substr(0, 7), "750,45 ");
    EXPECT_EQ(text, c.shown) << c.reply;
  }
}

TEST_F(CatLinkTest, SMeterIgnoredWhileTuningButSwrAlwaysKept) {
  state.sMeter = 7;
  state.tuning = 1;
  exchange("SM00020;");
  EXPECT_EQ(state.sMeter, 7);
  EXPECT_TRUE(prints().empty());
  for (int tuning : {1, 0}) {
    state.tuning = tuning;
    state.swrText.clear();
    exchange("RM10015;");
    EXPECT_EQ(state.swrText.str(), "15");
  }
}

TEST_F(CatLinkTest, SeveralRepliesReadTogetherAreRoutedByTheirFirstTwoCharactersOnly) {
  exchange("SM00030;FA00014200000;");
  EXPECT_EQ(state.sMeter, 30);
  EXPECT_TRUE(answers.empty());
  exchange("?;FA00014200000;");  // an unknown answer first: nothing routed
  EXPECT_TRUE(answers.empty());
  exchange("FA00014200000;SM00030;");
  EXPECT_THAT(answers, ElementsAre("FA00014200000;SM00030;"));
}

// The operator steps the frequency while a frequency poll is on its way: the poll's answer holds
// the frequency from before the step and must not undo it (a second step would start from there).
TEST_F(CatLinkTest, AnswerToAFrequencyPollSentBeforeAFrequencyCommandIsPassedOver) {
  struct Case {
    const char* what;
    int connected;
    bool commandBeforeAnswer;
    std::string reply;  // to the frequency poll that went out before the command
    std::vector<std::string> taken;
  };
  const Case cases[] = {
      {"step before the answer: the old frequency passed over, the next answer taken",
       1,
       true,
       "FA00014200000;",
       {"FA00014201000;"}},
      {"step after the answer: both answers taken",
       1,
       false,
       "FA00014200000;",
       {"FA00014200000;", "FA00014201000;"}},
      {"radio not yet heard: its first answer says it is there",
       0,
       true,
       "FA00014200000;",
       {"FA00014200000;", "FA00014201000;"}},
      {"noise in place of the answer: the next answer taken",
       1,
       true,
       "F\x01;",
       {"FA00014201000;"}},
  };
  for (const Case& c : cases) {
    answers.clear();
    state.radioConnected = c.connected;
    state.pollPending = 0;
    state.pollMeterNext = 0;
    link.pollRadio();  // "FA;"
    if (c.commandBeforeAnswer) link.send("FA00014201000");
    fake.serial.feed(3, c.reply);
    link.pollRadio();  // takes the reply (or not), sends "SM0;"
    if (!c.commandBeforeAnswer) link.send("FA00014201000");
    fake.serial.feed(3, "SM00010;");
    link.pollRadio();  // "FA;"
    fake.serial.feed(3, "FA00014201000;");
    link.pollRadio();
    EXPECT_EQ(answers, c.taken) << c.what;
  }
}

TEST_F(CatLinkTest, MoreThan255BytesAreReadOverTwoTicks) {
  link.pollRadio();
  const std::string burst = "FA00014200000;" + std::string(300, 'x');
  fake.serial.feed(3, burst);
  link.pollRadio();
  EXPECT_EQ(state.replyText.size(), 255u);
  EXPECT_EQ(port.bytesWaiting(3), static_cast<int>(burst.size() - 255));
  link.pollRadio();  // sends the next poll; the rest is collected at the tick after
  link.pollRadio();
  EXPECT_EQ(state.replyText.str(), burst.substr(255));
  EXPECT_EQ(port.bytesWaiting(3), 0);
}

TEST_F(CatLinkTest, DebugLogLinesOnlyWhenSwitchedOn) {
  link.send("MD1");
  link.writeDebugLine("C/R");
  EXPECT_FALSE(fake.files.exists("debug.dat"));
  state.debugLog = 1;
  log.open("1.9", LocalDateTime{2026, 12, 7, 9, 5, 3});
  link.send("MD2");
  link.pollRadio();
  fake.serial.feed(3, "FA00014200000;");
  link.pollRadio();
  fake.serial.feed(3, "ID021;");
  link.pollRadio();
  link.writeDebugLine("C/R");
  EXPECT_EQ(fake.files.contents("debug.dat"),
            "ORVANEX 1.9  07-12-2026   09:05:03\r\nTX=MD2;\r\nTX=FA;\r\n"
            "RX=FA00014200000;\r\nTX=ID;\r\nRX=ID021;\r\nRADIO=TS-590S (ID021)\r\nTX=SM0;\r\n"
            "C/R\r\n");
}

TEST_F(CatLinkTest, PortThatCannotBeOpenedSendsNothingAndNeverConnects) {
  port.closePort(3);
  fake.serial.unplug(3);
  link.send("MD1");
  for (int i = 0; i < 50; ++i) link.pollRadio();
  EXPECT_TRUE(fake.serial.written(3).empty());
  EXPECT_EQ(state.radioConnected, 0);
  EXPECT_EQ(losses, 0);  // never connected: nothing to lose
}

TEST_F(CatLinkTest, OnlyWellFormedAnswersReachTheFrequencyAndTheMeters) {
  using namespace std::string_literals;
  const struct {
    std::string reply;
    bool frequency;  // handed to the frequency routine
    int sMeter;
    const char* swr;
  } cases[] = {
      {"FA00014200000;", true, 12, "04"},
      {"FB00007050000;SM00030;", true, 12, "04"},
      {"FA;", false, 12, "04"},
      {"FA12;TX1;FA00014200000;", false, 12, "04"},
      {"FA0001420A000;", false, 12, "04"},
      {"FA000142000001;", false, 12, "04"},  // twelve digits
      {"FA00014", false, 12, "04"},          // the first part of an answer split across reads
      {"FA00014200000", false, 12, "04"},    // its ";" still on the way
      {"\0\0FA00014200000;"s, false, 12, "04"},
      {"FA-0014200000;", false, 12, "04"},
      {"SM00099;", false, 12, "04"},
      {"SM00031;", false, 12, "04"},
      {"SM0;", false, 12, "04"},
      {"SM00 15;", false, 12, "04"},
      {"SM00015", false, 12, "04"},
      {"SM00015;", false, 15, "04"},
      {"RM10099;", false, 15, "04"},
      {"RM1XX15;", false, 15, "04"},
      {"RM;", false, 15, "04"},
      {"RM10015;", false, 15, "15"},
      {"SM00030;", false, 30, "15"},
  };
  state.sMeter = 12;
  state.swrText = "04";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    answers.clear();
    fake.transcript.clear();
    const int before = state.sMeter;
    exchange(c.reply);
    EXPECT_EQ(answers.size(), c.frequency ? 1u : 0u);
    EXPECT_EQ(state.sMeter, c.sMeter);
    EXPECT_EQ(state.swrText.str(), c.swr);
    // The screen shows only readings that were taken.
    EXPECT_EQ(!prints().empty(), state.sMeter != before);
  }
}

TEST_F(CatLinkTest, HungUpPortIsClosedAndTriedAgainAboutOnceASecondUntilTheAdapterIsBack) {
  state.debugLog = 1;
  log.open("1.9", LocalDateTime{2026, 12, 7, 9, 5, 3});
  exchange("FA00014200000;");
  ASSERT_EQ(state.radioConnected, 1);
  fake.serial.unplug(3);
  link.pollRadio();
  EXPECT_FALSE(port.isOpen(3));
  EXPECT_EQ(state.radioConnected, 0);
  EXPECT_EQ(losses, 1);

  // Five seconds without the adapter: five quiet tries, nothing written or logged meanwhile.
  fake.transcript.clear();
  wire();
  for (int tick = 0; tick < 100; ++tick) link.pollRadio();
  EXPECT_EQ(fake.transcript.lines(), std::vector<std::string>(5, "serial.open 3 failed"));
  EXPECT_TRUE(wire().empty());

  fake.serial.plug(3);
  int ticks = 0;
  while (!port.isOpen(3) && ticks < 100) {
    link.pollRadio();
    ++ticks;
  }
  EXPECT_EQ(ticks, CatLink::kReopenTicks);
  EXPECT_EQ(reopens, 1);
  // The line is set up exactly as at start: 9600 baud 8N2, reads that never wait.
  const SerialLineFormat f = fake.serial.lineFormat(3);
  EXPECT_EQ(f.baudRate, 9600);
  EXPECT_EQ(f.dataBits, 8);
  EXPECT_EQ(f.parity, 0);
  EXPECT_EQ(f.stopBits, 2);
  EXPECT_TRUE(fake.serial.readTimeouts(3).returnAtOnce);
  // Polling goes on at once, frequency first; its answer is what says "connected".
  EXPECT_THAT(wire(), ElementsAre("FA"));
  fake.serial.feed(3, "FA00007100000;");
  link.pollRadio();
  EXPECT_THAT(answers, ElementsAre("FA00014200000;", "FA00007100000;"));
  EXPECT_EQ(losses, 1);

  std::vector<std::string> notes;
  std::istringstream lines(fake.files.contents("debug.dat"));
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("TX=") && !line.starts_with("RX=") && !line.starts_with("ORVANEX"))
      notes.push_back(line);
  }
  EXPECT_THAT(notes, ElementsAre("PORT=lost\r", "PORT=open\r"));
}

TEST_F(CatLinkTest, PortMissingAtStartIsOpenedOnceItAppearsButABadNumberOrLineIsNeverTried) {
  port.closePort(3);
  fake.serial.unplug(3);
  for (int tick = 0; tick < 30; ++tick) link.pollRadio();
  fake.serial.plug(3);
  for (int tick = 0; tick < 10; ++tick) link.pollRadio();
  EXPECT_TRUE(port.isOpen(3));
  EXPECT_EQ(reopens, 1);
  EXPECT_EQ(losses, 0);

  for (const int number : {0, 257}) {
    fake.serial.addPort(number);
    state.comPort = number;
    fake.transcript.clear();
    for (int tick = 0; tick < 50; ++tick) link.pollRadio();
    EXPECT_TRUE(fake.transcript.linesWithPrefix("serial.").empty()) << number;
  }

  // A device that refuses the configured speed will refuse it again.
  fake.serial.addPort(4);
  fake.serial.refuseLineFormat(4);
  state.comPort = 4;
  EXPECT_FALSE(link.openRadioPort());
  fake.transcript.clear();
  for (int tick = 0; tick < 50; ++tick) link.pollRadio();
  EXPECT_TRUE(fake.transcript.linesWithPrefix("serial.").empty());
}

}  // namespace
}  // namespace orvane
