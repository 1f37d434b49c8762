// SPDX-License-Identifier: GPL-3.0-or-later
// The rig server on the in-memory platform: clients on the fake network, the radio scripted on a
// fake serial line, the panel's modules real. Each test reads the whole story back: what went on
// the wire, what each client was answered, what the panel showed and said.
#include "rigserver/rig_server.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/fake/fake_platform.h"
#include "rigclient/answers.h"
#include "speech/vocabulary.h"

namespace orvane {
namespace {

using Peer = std::shared_ptr<fake::FakePeer>;

// A Kenwood TS-2000 (or the model identity names) on the line: answers the reads at once, takes
// the sets.
struct Radio {
  std::string identity = "019";
  std::string vfoA = "00014074000";
  std::string vfoB = "00014076000";
  int sMeter = 15;
  bool silent = false;
  std::string answer(std::string_view command) const {
    if (silent) return "";
    if (command == "FA;") return "FA" + vfoA + ";";
    if (command == "FB;") return "FB" + vfoB + ";";
    if (command == "PS;") return "PS1;";
    if (command == "ID;") return "ID" + identity + ";";
    if (command == "SM0;") {
      char buf[16];
      std::snprintf(buf, sizeof buf, "SM0%04d;", sMeter);
      return buf;
    }
    return "";
  }
};

class RigServerTest : public testing::Test {
 protected:
  RigServerTest() {
    fake.serial.addPort(3);
    fake.serial.onWrite(
        3, [this](std::string_view bytes) { fake.serial.feed(3, radio.answer(bytes)); });
    state.comPort = 3;
    state.baudRate = 9600;
    state.clipDir = "wave\\";
    state.modeTable = {{{"", ""},
                        {"MD1", "LSB "},
                        {"MD2", "USB "},
                        {"MD3", "CW   "},
                        {"MD5", "AM   "},
                        {"MD4", "FM   "}}};
    state.modeIndex = 2;
    state.filterWidth = 240;
    for (std::string_view name : kClipVocabulary) {
      std::string path = "wave/" + std::string(name);
      if (name.find('.') == std::string_view::npos) path += ".wav";
      fake.files.put(path, "RIFF");
    }
    link.setFrequencyAnswerHandler([this] { frequency.frequencyAnswer(); });
    link.openRadioPort();
    fake.window.open(WindowSpec{}, nullptr);
  }

  // Starts the server and lets the radio be heard (two ticks: a poll, its answer).
  Peer startWithClient(const std::string& setting = "on") {
    EXPECT_FALSE(server.start(setting).has_value());
    tick();
    tick();
    return arrive();
  }
  Peer arrive(const std::string& name = "127.0.0.1:50000") {
    Peer peer = fake.network.arrive(RigServer::kDefaultPort, name);
    fake.network.activity();
    return peer;
  }
  // What the client is answered to text, at once (without a tick).
  std::string ask(const Peer& peer, std::string_view text) {
    peer->write(text);
    fake.network.activity();
    return peer->takeReceived();
  }
  // One timer tick of the panel: the server first, then the poll.
  void tick() {
    server.tick();
    link.pollRadio();
  }
  // Commands written since the last call, polls left out unless asked for.
  std::vector<std::string> wire(bool withPolls = false) {
    std::vector<std::string> out;
    std::string w = fake.serial.written(3);
    fake.serial.clearWritten(3);
    std::size_t start = 0;
    for (std::size_t end; (end = w.find(';', start)) != std::string::npos; start = end + 1) {
      std::string cmd = w.substr(start, end - start);
      const bool poll = cmd == "FA" || cmd == "FB" || cmd == "SM0" || cmd == "RM" || cmd == "ID";
      if (withPolls || !poll) out.push_back(cmd);
    }
    return out;
  }
  std::vector<std::string> clips() {
    std::vector<std::string> out;
    for (std::string line : fake.transcript.linesWithPrefix("clip wave/")) {
      if (line.size() > 4 && line.compare(line.size() - 4, 4, ".wav") == 0)
        line.resize(line.size() - 4);
      out.push_back(line);
    }
    fake.transcript.clear();
    return out;
  }
  std::vector<std::string> netLog() const {
    std::vector<std::string> out;
    if (!fake.files.exists("debug.dat")) return out;
    std::string all = fake.files.contents("debug.dat");
    for (std::size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
      if (all.compare(start, 4, "NET=") == 0) out.push_back(all.substr(start + 4, end - start - 4));
    }
    return out;
  }

  fake::FakePlatform fake;
  Radio radio;
  PanelState state;
  SerialPort port{fake.serial};
  DebugLog log{fake.files};
  Announcer announcer{state, fake.sound, fake.files};
  CatLink link{state, port, fake.window, log};
  ModeControl mode{state, link, announcer, fake.window};
  FrequencyControl frequency{state, link, announcer, fake.window};
  LevelControl levels{state, link, announcer};
  RigServer server{fake.network, RigServer::Parts{state, link, announcer, frequency, mode, levels}};
};

TEST_F(RigServerTest, ReadsComeFromThePanelsPollsWithoutTouchingTheLine) {
  Peer client = startWithClient();
  wire(true);
  EXPECT_EQ(ask(client, "f\n"), "14074000\n");
  EXPECT_EQ(ask(client, "m\nv\ns\ni\nt\n"), "USB\n2400\nVFOA\n0\nVFOA\n14074000\n0\n");
  EXPECT_EQ(ask(client, "+\\get_powerstat\n\\chk_vfo\n+\\chk_vfo\n"),
            "get_powerstat:\nPower Status: 1\nRPRT 0\n0\nChkVFO: 0\n");
  // As rigctld 4.5 answers them; Hamlib's network client asks after every frequency set.
  EXPECT_EQ(ask(client, "\\get_lock_mode\n+\\get_lock_mode\n"),
            "0\nRPRT 0\nget_lock_mode:\nLocked: 0\nRPRT 0\n");
  // The S-meter of the next meter poll, in Hamlib's decibels relative to S9.
  radio.sMeter = 27;
  for (int i = 0; i < 3; ++i) tick();
  EXPECT_EQ(ask(client, "l STRENGTH\n"), "43\n");
  EXPECT_EQ(wire(), std::vector<std::string>{});
}

TEST_F(RigServerTest, TheCapabilityDumpInTheExtendedFormIsReadAsRigctldsIs) {
  Peer client = startWithClient();
  const std::string plain = ask(client, "\\dump_caps\n");
  EXPECT_EQ(ask(client, "1\n"), plain);
  const std::string extended = ask(client, "+\\dump_caps\n");
  EXPECT_EQ(extended, "dump_caps:\n" + plain);
  // Another panel works the radio through this one: its line reads the dump as rigctld's.
  rigclient::AnswerReader reader;
  reader.add(extended);
  const std::optional<rigclient::Answer> answer = reader.next();
  ASSERT_TRUE(answer.has_value());
  EXPECT_EQ(answer->name, "dump_caps");
  EXPECT_EQ(answer->status, rigclient::kOk);
  const rigclient::RigCaps caps = rigclient::parseCaps(answer->lines);
  EXPECT_TRUE(caps.modes.contains("USB"));
  EXPECT_TRUE(caps.getLevels.contains("STRENGTH"));
  EXPECT_FALSE(caps.setLevels.contains("PREAMP"));
}

TEST_F(RigServerTest, StrengthFollowsHamlibsCalibrationOfTheTs2000) {
  Peer client = startWithClient();
  // rigctld's answers for radiosim's "smeter N".
  const std::vector<std::pair<int, std::string>> measured = {
      {0, "-54"}, {2, "-46"}, {4, "-39"}, {9, "-21"}, {14, "-3"}, {15, "0"},
      {16, "3"},  {18, "10"}, {24, "32"}, {25, "36"}, {29, "50"}, {30, "54"}};
  for (const auto& [raw, dB] : measured) {
    state.sMeter = raw;
    EXPECT_EQ(ask(client, "l STRENGTH\n"), dB + "\n") << "S-meter " << raw;
  }
}

TEST_F(RigServerTest, AFrequencySetGoesOutAndThePanelFollowsAtOnce) {
  Peer client = startWithClient();
  wire();
  tick();  // a frequency poll goes out; the radio answers with the old frequency
  EXPECT_EQ(ask(client, "F 7074000\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"FA00007074000"}));
  EXPECT_EQ(state.frequencyHz, 7074000);
  EXPECT_EQ(state.frequencyText.str(), "    7.074000");
  EXPECT_EQ(state.vfoAReply.str(), "FA00007074000");
  EXPECT_EQ(ask(client, "f\n"), "7074000\n");
  // The poll's answer from before the command is passed over, not shown.
  radio.vfoA = "00007074000";
  tick();
  EXPECT_EQ(state.frequencyHz, 7074000);
  // VFO B is set as asked, never turned into A.
  EXPECT_EQ(ask(client, "I 7076000\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"FB00007076000"}));
  EXPECT_EQ(state.frequencyHz, 7074000);
  EXPECT_EQ(state.vfoBReply.str(), "FB00007076000");
}

TEST_F(RigServerTest, BadSetsAreRefusedAndNothingGoesOut) {
  Peer client = startWithClient();
  wire();
  for (const char* request : {"F abc\n", "F -5\n", "F 99999999999\n", "F 1e3\n", "M PKTUSB 0\n",
                              "M FOO 0\n", "M USB 100\n", "M USB 3500\n", "M USB wide\n", "T 5\n",
                              "S 2 VFOB\n", "S 1 foo\n", "V foo\n"}) {
    EXPECT_EQ(ask(client, request), "RPRT -1\n") << request;
  }
  EXPECT_EQ(ask(client, "F\n"), "RPRT -1\n");
  EXPECT_EQ(ask(client, "V VFOB\nS 1 VFOA\nX CW 0\n"), "RPRT -11\nRPRT -11\nRPRT -11\n");
  EXPECT_EQ(ask(client, "J 100\n\\send_morse CQ\n"), "RPRT -4\nRPRT -4\n");
  EXPECT_EQ(wire(), std::vector<std::string>{});
  EXPECT_EQ(state.modeIndex, 2);
  EXPECT_EQ(state.filterWidth, 240);
}

TEST_F(RigServerTest, ModesTheTableLacksAreSetRecordedShownAndSpoken) {
  Peer client = startWithClient();
  wire();
  fake.transcript.clear();
  EXPECT_EQ(ask(client, "M CWR 0\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"MD7"}));
  EXPECT_EQ(ask(client, "m\n+x\n"),
            "CWR\n2400\nget_split_mode:\nTX Mode: CWR\nTX Passband: 2400\nRPRT 0\n");
  EXPECT_EQ(fake.transcript.linesWithPrefix("print 50,45 "),
            std::vector<std::string>{"default \"CW-R \""});
  announcer.speakMode();
  EXPECT_EQ(clips(), (std::vector<std::string>{"cw", "reverse"}));
  EXPECT_EQ(ask(client, "M RTTY 500\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"MD6", "BW0050"}));
  announcer.speakMode();
  EXPECT_EQ(clips(), (std::vector<std::string>{"rtty"}));
  EXPECT_EQ(ask(client, "m\n"), "RTTY\n500\n");
  // The mode key goes on from the nearest of the panel's modes (LSB for FSK) and forgets it.
  state.bandIndex = 6;
  mode.modeKey();
  EXPECT_EQ(wire(), (std::vector<std::string>{"MD2"}));
  EXPECT_EQ(ask(client, "m\n"), "USB\n500\n");
  EXPECT_EQ(ask(client, "M CW 2405\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"MD3", "BW0241"}));
  EXPECT_EQ(state.modeIndex, 3);
  EXPECT_EQ(ask(client, "M USB -1\nM USB 0\n"), "RPRT 0\nRPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"MD2", "MD2"}));
  EXPECT_EQ(state.filterWidth, 241);
}

// The sets of a program go out in the forms of the radio that named itself, from the same table
// as the panel's own keys.
struct ModelForms {
  std::string identity;
  RadioModel model;
  std::vector<std::string> cw500;    // M CW 500
  std::vector<std::string> split;    // S 1 VFOB
  std::vector<std::string> usb2400;  // M USB 2400
};
const ModelForms kModelForms[] = {
    {"999", RadioModel::Unknown, {"MD3", "BW0050"}, {"FR0", "FT1"}, {"MD2", "BW0240"}},
    {"019", RadioModel::Ts2000, {"MD3", "FW0500"}, {"FR0", "FT1"}, {"MD2", "SH05"}},
    {"020", RadioModel::Ts480, {"MD3", "FW0500"}, {"FR0", "FT1"}, {"MD2", "SH07"}},
    {"021", RadioModel::Ts590s, {"MD3", "FW0500"}, {"FR0", "FT1"}, {"MD2", "SH07"}},
    {"023", RadioModel::Ts590sg, {"MD3", "FW0500"}, {"FR0", "FT1"}, {"MD2", "SH07"}},
    {"024", RadioModel::Ts890s, {"MD3", "BW0050"}, {"FR0", "FT1"}, {"MD2", "BW0240"}},
    {"022", RadioModel::Ts990s, {"OM03", "BW0050"}, {"CB0", "TB1"}, {"OM02", "BW0240"}},
};

class RigServerModelTest : public RigServerTest, public testing::WithParamInterface<ModelForms> {};

TEST_P(RigServerModelTest, SetsGoOutInTheFormsOfTheRadioOnTheLine) {
  const ModelForms& want = GetParam();
  radio.identity = want.identity;
  Peer client = startWithClient();
  for (int i = 0; i < 4 && state.identityAwaited != 0; ++i) tick();
  ASSERT_EQ(modelOnTheLine(state), want.model);
  wire();
  EXPECT_EQ(ask(client, "F 7074000\nM CW 500\n"), "RPRT 0\nRPRT 0\n");
  std::vector<std::string> expected{"FA00007074000"};
  expected.insert(expected.end(), want.cw500.begin(), want.cw500.end());
  EXPECT_EQ(wire(), expected);
  EXPECT_EQ(ask(client, "S 1 VFOB\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), want.split);
  EXPECT_EQ(ask(client, "T 1\nT 0\n"), "RPRT 0\nRPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"TX", "RX"}));
  EXPECT_EQ(ask(client, "M USB 2400\nm\n"), "RPRT 0\nUSB\n2400\n");
  EXPECT_EQ(wire(), want.usb2400);
  // A width this radio's filter cannot take in the mode refuses the whole set.
  EXPECT_EQ(ask(client, "M USB 2500\n"),
            want.usb2400[1].starts_with("SH") ? "RPRT -1\n" : "RPRT 0\n");
}

INSTANTIATE_TEST_SUITE_P(EveryModel, RigServerModelTest, testing::ValuesIn(kModelForms),
                         [](const testing::TestParamInfo<ModelForms>& param) {
                           return "ID" + param.param.identity;
                         });

TEST_F(RigServerTest, SplitFromAClientMovesThePanelToVfoB) {
  Peer client = startWithClient();
  wire();
  fake.transcript.clear();
  EXPECT_EQ(ask(client, "S 1 VFOB\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"FR0", "FT1"}));
  EXPECT_EQ(state.splitState, 2);
  EXPECT_EQ(fake.transcript.linesWithPrefix("print 80,150 "),
            std::vector<std::string>{"default \"B   \""});
  EXPECT_EQ(ask(client, "s\n"), "1\nVFOB\n");
  for (int i = 0; i < 3; ++i) tick();
  const std::vector<std::string> polls = wire(true);
  EXPECT_NE(std::find(polls.begin(), polls.end(), "FB"), polls.end());
  EXPECT_EQ(std::find(polls.begin(), polls.end(), "FA"), polls.end());
  EXPECT_EQ(ask(client, "i\n"), "14076000\n");
  EXPECT_TRUE(clips().empty());  // nothing said for what a program does by itself
  // VFO A stays VFO A in split (the panel's own frequency keys go to B then), and the B the panel
  // shows is left alone.
  EXPECT_EQ(ask(client, "F 7074000\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"FA00007074000"}));
  EXPECT_EQ(state.frequencyHz, 14076000);
  EXPECT_EQ(state.vfoBReply.str(), "FB00014076000");
  EXPECT_EQ(ask(client, "S 0 VFOA\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"FR0", "FT0"}));
  EXPECT_EQ(state.splitState, 0);
}

TEST_F(RigServerTest, AReadThePanelCannotAnswerWaitsForTheRadioAndOnlyThatSessionWaits) {
  Peer client = startWithClient();
  Peer other = arrive("127.0.0.1:50001");
  ask(client, "S 1 VFOB\n");
  tick();
  tick();
  tick();
  wire(true);
  radio.vfoA = "00014070000";
  // In split the panel polls B: VFO A is read from the radio, and the requests behind it wait.
  EXPECT_EQ(ask(client, "f\nm\n"), "");
  EXPECT_EQ(wire(true), (std::vector<std::string>{"FA"}));
  EXPECT_EQ(ask(other, "m\n"), "USB\n2400\n");
  tick();  // the answer is read with the poll's
  EXPECT_EQ(client->takeReceived(), "14070000\nUSB\n2400\n");
  // The panel did not take VFO A's answer for the B it shows.
  EXPECT_EQ(state.frequencyHz, 14076000);
  EXPECT_EQ(state.vfoBReply.str(), "FB00014076000");
}

TEST_F(RigServerTest, ARadioThatDoesNotAnswerGivesATimeoutAfterASecond) {
  Peer client = startWithClient();
  ask(client, "S 1 VFOB\n");
  radio.silent = true;
  EXPECT_EQ(ask(client, "+f\nv\n"), "");
  for (int i = 1; i < RigServer::kRadioReadTicks; ++i) tick();
  EXPECT_EQ(client->takeReceived(), "");
  tick();
  EXPECT_EQ(client->takeReceived(), "get_freq:\nRPRT -5\nVFOA\n");
}

TEST_F(RigServerTest, SetsWaitForARadioThatAnswersAndForTheTuner) {
  Peer client = startWithClient();
  wire();
  state.tuning = 1;
  EXPECT_EQ(ask(client, "F 7074000\nT 1\n"), "RPRT -9\nRPRT -9\n");
  state.tuning = 0;
  state.radioConnected = 0;
  EXPECT_EQ(ask(client, "F 7074000\nM CW 0\nT 1\n"), "RPRT -5\nRPRT -5\nRPRT -5\n");
  EXPECT_EQ(wire(), std::vector<std::string>{});
  // Receive is never refused.
  EXPECT_EQ(ask(client, "T 0\n"), "RPRT 0\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"RX"}));
  // A radio not answering the polls is asked whether it is switched on.
  EXPECT_EQ(ask(client, "\\get_powerstat\n"), "");
  tick();
  EXPECT_EQ(client->takeReceived(), "1\n");
}

TEST_F(RigServerTest, TransmittingIsSaidOnceAtTheNextTickBeforeThePoll) {
  Peer client = startWithClient();
  wire();
  clips();
  EXPECT_EQ(ask(client, "T 1\nT 1\nt\n"), "RPRT 0\nRPRT 0\n1\n");
  EXPECT_EQ(wire(), (std::vector<std::string>{"TX", "TX"}));
  EXPECT_TRUE(clips().empty());  // never from the network's handler
  fake.transcript.clear();
  tick();
  const auto& lines = fake.transcript.lines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "clip wave/transmit.wav");
  EXPECT_EQ(fake.transcript.linesWithPrefix("clip ").size(), 1u);
  EXPECT_EQ(fake.transcript.linesWithPrefix("serial.write 3 ").size(), 1u);
  clips();
  EXPECT_EQ(ask(client, "T 0\n"), "RPRT 0\n");
  tick();
  EXPECT_EQ(clips(), (std::vector<std::string>{"receive"}));
  EXPECT_EQ(wire(), (std::vector<std::string>{"RX"}));
}

TEST_F(RigServerTest, TheKeyedProgramGoneOrSilentPutsTheRadioBackToReceive) {
  Peer client = startWithClient();
  Peer poller = arrive("127.0.0.1:50001");
  ask(client, "T 1\n");
  tick();
  wire();
  clips();
  client->close();
  fake.network.activity();
  EXPECT_EQ(wire(), (std::vector<std::string>{"RX"}));
  tick();
  EXPECT_EQ(clips(), (std::vector<std::string>{"receive"}));
  EXPECT_EQ(server.clientCount(), 1u);

  // A program that keeps asking stays on the air; one that falls silent is unkeyed.
  ask(poller, "T 1\n");
  for (int i = 0; i < 3 * RigServer::kSilentTicks; ++i) {
    if (i % 20 == 0) ask(poller, "t\n");
    tick();
  }
  EXPECT_TRUE(server.transmitting());
  wire();
  clips();
  for (int i = 0; i < RigServer::kSilentTicks; ++i) tick();
  EXPECT_FALSE(server.transmitting());
  EXPECT_EQ(wire(), (std::vector<std::string>{"RX"}));
  EXPECT_EQ(clips(), (std::vector<std::string>{"receive"}));
}

TEST_F(RigServerTest, ALostLinkUnkeysAndTheLinkBackGetsReceiveFirst) {
  Peer client = startWithClient();
  ask(client, "T 1\n");
  wire();
  server.radioLost();
  EXPECT_EQ(wire(), (std::vector<std::string>{"RX"}));
  EXPECT_FALSE(server.transmitting());
  server.linkBack();
  server.linkBack();
  EXPECT_EQ(wire(), (std::vector<std::string>{"RX"}));
  // Without a keyed transmitter neither sends anything.
  server.radioLost();
  server.linkBack();
  EXPECT_EQ(wire(), std::vector<std::string>{});
}

TEST_F(RigServerTest, TheSeventeenthClientIsClosedAtOnceAndLogged) {
  state.debugLog = 1;
  log.open("1.9", LocalDateTime{});
  Peer first = startWithClient();
  std::vector<Peer> peers{first};
  for (int i = 1; i < 16; ++i) peers.push_back(arrive("127.0.0.1:" + std::to_string(50000 + i)));
  EXPECT_EQ(server.clientCount(), 16u);
  Peer late = arrive("127.0.0.1:50016");
  EXPECT_TRUE(late->closedByProgram());
  EXPECT_EQ(server.clientCount(), 16u);
  EXPECT_EQ(ask(peers[15], "f\n"), "14074000\n");
  first->close();
  fake.network.activity();
  const std::vector<std::string> lines = netLog();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "listening on 127.0.0.1:4532");
  EXPECT_EQ(lines[1], "client 127.0.0.1:50000 arrived");
  EXPECT_EQ(lines[lines.size() - 2], "client 127.0.0.1:50016 refused: 16 clients already");
  EXPECT_EQ(lines.back(), "client 127.0.0.1:50000 left");
}

TEST_F(RigServerTest, JunkLongLinesAndDeafClientsHarmNobodyElse) {
  Peer client = startWithClient();
  Peer deaf = arrive("127.0.0.1:50001");
  // A line longer than 1 KiB is refused once, in pieces or whole, and the client goes on.
  client->write(std::string(700, 'x'));
  fake.network.activity();
  client->write(std::string(700, 'y'));
  fake.network.activity();
  EXPECT_EQ(ask(client, "zzz\nf\n"), "RPRT -1\n14074000\n");
  EXPECT_EQ(ask(client, std::string(2000, 'f') + "\nf\n"), "RPRT -1\n14074000\n");
  EXPECT_EQ(ask(client, std::string("\x00\x01\xff\n", 4) + "f\n"), "14074000\n");
  // A client that never reads its answers is dropped when they pile up.
  deaf->reading = false;
  for (int i = 0; i < 200 && server.clientCount() == 2; ++i) {
    deaf->write(std::string(500, 'f') + "\n");
    fake.network.activity();
  }
  EXPECT_EQ(server.clientCount(), 1u);
  EXPECT_TRUE(deaf->closedByProgram());
  EXPECT_EQ(ask(client, "f\n"), "14074000\n");
}

TEST_F(RigServerTest, QuitClosesTheSessionAfterItsAnswer) {
  Peer client = startWithClient();
  EXPECT_EQ(ask(client, "f\nq\nf\n"), "14074000\nRPRT 0\n");
  EXPECT_TRUE(client->closedByProgram());
}

TEST_F(RigServerTest, AFloodIsTakenAPieceAtATime) {
  Peer client = startWithClient();
  std::string flood;
  for (int i = 0; i < 20000; ++i) flood += "f\n";
  client->write(flood);
  fake.network.activity();
  // One call takes no more than its share; the ticks take the rest, in order.
  EXPECT_EQ(client->takeReceived().size(), RigServer::kReceiveBudget / 2 * 9);
  for (int i = 0; i < 5; ++i) tick();
  EXPECT_EQ(client->takeReceived().size(), (20000 - RigServer::kReceiveBudget / 2) * 9);
}

TEST_F(RigServerTest, ListeningFollowsTheSetting) {
  EXPECT_FALSE(server.start(std::nullopt).has_value());
  EXPECT_FALSE(server.start(std::string("off")).has_value());
  EXPECT_FALSE(server.listening());
  EXPECT_FALSE(server.start(std::string("4600")).has_value());
  EXPECT_TRUE(fake.network.listening(4600));
  server.shutDown();
  EXPECT_FALSE(fake.network.listening(4600));
  fake.network.refused.insert("127.0.0.1:4532");
  const std::optional<std::string> problem = server.start(std::string("on"));
  ASSERT_TRUE(problem.has_value());
  EXPECT_EQ(*problem,
            "rig server: cannot listen on 127.0.0.1:4532: Address already in use; going on "
            "without it");
  EXPECT_FALSE(server.listening());
}

}  // namespace
}  // namespace orvane
