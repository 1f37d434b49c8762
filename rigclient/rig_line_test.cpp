// SPDX-License-Identifier: GPL-3.0-or-later
// The radio's line through a Hamlib rig server, on the in-memory network: what each Kenwood
// command becomes, how answers are read whatever the server's bytes look like, and the whole
// panel saying "not available" for what the radio behind the server lacks.
#include "rigclient/rig_line.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "platform/fake/fake_platform.h"
#include "tests/panel_harness.h"

namespace orvane::rigclient {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A capability dump of a radio that has everything the panel uses (as Hamlib's dummy rig), in
// the form rigctld 4.5 writes it.
const std::vector<std::string> kEverything = {
    "Caps dump for model: 1",
    "Model name:\tDummy",
    "Mfg name:\tHamlib",
    "Preamp: 10dB",
    "Attenuator: 10dB 20dB 30dB",
    "Set functions: FAGC NB COMP ANF NR MN TUNER ",
    "Get level: PREAMP(0..0/0) ATT(0..0/0) SWR(0..0/0) STRENGTH(0..0/0) ",
    "Set level: PREAMP(0..0/0) ATT(0..0/0) AF(0..0/0) RF(0..0/0) RFPOWER(0..0/0) ",
    "Mode list: AM CW USB LSB RTTY FM WFM CWR RTTYR ",
    "VFO Ops: CPY XCHG UP DOWN TUNE ",
    "\t\tLow power: 5 W, High power: 100 W",
    "\t\tLow power: 1 W, High power: 12.5 W",
    "Can set Split VFO:\tY",
    "Can set Power Stat:\tY",
};

// What Hamlib 4.5's TS-2000 backend tells: no tuner, no manual notch, no SWR, no FM on this list.
const std::vector<std::string> kTs2000 = {
    "Model name:\tTS-2000",
    "Mfg name:\tKenwood",
    "Preamp: 20dB",
    "Attenuator: 20dB",
    "Set functions: NB COMP TONE TSQL ANF NR BC RIT XIT ",
    "Get level: PREAMP(10..20/10) ATT(12..12/0) RFPOWER(0.05..1/0.01) STRENGTH(0..60/0) ",
    "Set level: PREAMP(10..20/10) ATT(12..12/0) AF(0..1/0.00392157) RF(0..1/0.00392157) "
    "RFPOWER(0.05..1/0.01) ",
    "Mode list: AM CW USB LSB RTTY ",
    "VFO Ops: UP DOWN BAND_UP BAND_DOWN ",
    "\t\tLow power: 5 W, High power: 100 W",
    "Can set Split VFO:\tY",
    "Can set Power Stat:\tY",
};

std::vector<std::string> requestsFor(Translator& t, std::initializer_list<std::string_view> cmds) {
  std::vector<std::string> out;
  std::string immediate;
  for (std::string_view c : cmds) {
    for (const Request& r : t.translate(c, immediate)) out.push_back(r.text);
  }
  if (!immediate.empty()) out.push_back("answered " + immediate);
  return out;
}

struct Mapping {
  std::string command;
  std::vector<std::string> everything;  // the requests for a radio that has it all
  std::vector<std::string> ts2000;      // and for Hamlib's TS-2000
};

TEST(Translator, EveryCommandOfThePanelBecomesTheRequestsWithTheSameEffect) {
  const std::vector<Mapping> table = {
      {"FA00014074000", {"+\\set_freq 14074000"}, {"+\\set_freq 14074000"}},
      {"FA", {"+\\get_freq"}, {"+\\get_freq"}},
      {"SM0", {"+\\get_level STRENGTH"}, {"+\\get_level STRENGTH"}},
      {"RM", {"+\\get_level SWR"}, {"answered ?;"}},
      {"ID", {"answered ?;"}, {"answered ?;"}},
      {"MD2", {"+\\set_mode USB -1"}, {"+\\set_mode USB -1"}},
      {"MD4", {"+\\set_mode FM -1"}, {}},
      {"PA1", {"+\\set_level PREAMP 10"}, {"+\\set_level PREAMP 20"}},
      {"PA00", {"+\\set_level PREAMP 0"}, {"+\\set_level PREAMP 0"}},
      {"RA01", {"+\\set_level ATT 10"}, {"+\\set_level ATT 20"}},
      {"NB1", {"+\\set_func NB 1"}, {"+\\set_func NB 1"}},
      {"NR0", {"+\\set_func NR 0"}, {"+\\set_func NR 0"}},
      {"NT10", {"+\\set_func ANF 1"}, {"+\\set_func ANF 1"}},
      {"NT1", {"+\\set_func ANF 1"}, {"+\\set_func ANF 1"}},
      {"PC050", {"+\\set_level RFPOWER 0.500010"}, {"+\\set_level RFPOWER 0.500010"}},
      {"PC005", {"+\\set_level RFPOWER 0.050010"}, {"+\\set_level RFPOWER 0.050010"}},
      {"RG255", {"+\\set_level RF 1.000000"}, {"+\\set_level RF 1.000000"}},
      {"AG0050", {"+\\set_level AF 0.196082"}, {"+\\set_level AF 0.196082"}},
      {"AG050", {"+\\set_level AF 0.196082"}, {"+\\set_level AF 0.196082"}},
      {"AC111", {"+\\set_func TUNER 1", "+\\vfo_op TUNE"}, {}},
      {"AC110", {}, {}},
      {"RM1", {}, {}},
      {"SWT28", {}, {}},
      {"PS1", {"+\\set_powerstat 1"}, {"+\\set_powerstat 1"}},
      {"PS9", {"+\\set_powerstat 0"}, {"+\\set_powerstat 0"}},
      {"Poweron", {}, {}},
      {"FR0", {"+\\set_vfo VFOA"}, {"+\\set_vfo VFOA"}},
      {"TX", {"+\\set_ptt 1"}, {"+\\set_ptt 1"}},
      {"RX", {"+\\set_ptt 0"}, {"+\\set_ptt 0"}},
      {"XY123", {}, {}},
  };
  for (const Mapping& row : table) {
    Translator everything(parseCaps(kEverything), 0);
    Translator ts2000(parseCaps(kTs2000), 0);
    EXPECT_EQ(requestsFor(everything, {row.command}), row.everything) << row.command;
    EXPECT_EQ(requestsFor(ts2000, {row.command}), row.ts2000) << row.command;
  }
}

TEST(Translator, WhatIsSentIsWhatTheRadioCanCarryOut) {
  Translator ts2000(parseCaps(kTs2000), 0);
  for (const char* command : {"AC111", "AC110", "SWT28", "RM", "MD4", "XY1"}) {
    EXPECT_FALSE(ts2000.canCarryOut(command)) << command;
  }
  for (const char* command : {"FA00007100000", "PA1", "NT10", "PC100", "MD3", "PS1", "SM0"}) {
    EXPECT_TRUE(ts2000.canCarryOut(command)) << command;
  }
  // A server that tells nothing but the frequency and the mode (another panel's rig server).
  Translator bare(parseCaps({"Get level: STRENGTH(-54..54/0)", "Set level:", "Mode list: USB"}), 0);
  for (const char* command : {"PA1", "RA01", "NB1", "NR1", "NT10", "PC050", "PS1", "FT1"}) {
    EXPECT_FALSE(bare.canCarryOut(command)) << command;
  }
}

TEST(Translator, VfoBWaitsForSplitAndAWidthIsSetInTheModeTheRadioIsIn) {
  Translator t(parseCaps(kEverything), 0);
  // A memory channel with split: VFO A, VFO B (before split is on at the radio), then split on.
  EXPECT_THAT(
      requestsFor(t, {"FA00014200000", "FB00014205000", "FT1"}),
      ElementsAre("+\\set_freq 14200000", "+\\set_split_vfo 1 VFOB", "+\\set_split_freq 14205000"));
  // With split on, the transmit VFO is named again with every frequency for it.
  EXPECT_THAT(requestsFor(t, {"FB00014206000", "FT0"}),
              ElementsAre("+\\set_split_vfo 1 VFOB", "+\\set_split_freq 14206000",
                          "+\\set_split_vfo 0 VFOA"));
  // No mode known yet: no width can be set.
  EXPECT_THAT(requestsFor(t, {"BW0240"}), IsEmpty());
  Answer mode{"get_mode", {"Mode: CW", "Passband: 500"}, kOk};
  EXPECT_EQ(t.kenwoodAnswer(Reply::Mode, mode), std::nullopt);
  EXPECT_THAT(requestsFor(t, {"BW0050", "MD2", "BW0240"}),
              ElementsAre("+\\set_mode CW 500", "+\\set_mode USB -1", "+\\set_mode USB 2400"));
}

TEST(Translator, PowerIsAFractionOfTheRadiosFullPowerOrOfTheStationsSetting) {
  Translator fromCaps(parseCaps(kEverything), 0);
  EXPECT_EQ(fromCaps.fullPowerWatts(), 100);
  Translator fromSetting(parseCaps(kEverything), 200);
  EXPECT_THAT(requestsFor(fromSetting, {"PC050"}), ElementsAre("+\\set_level RFPOWER 0.250005"));
  // Held within the range the server takes: the TS-2000 goes no lower than 5 %.
  Translator ts2000(parseCaps(kTs2000), 400);
  EXPECT_THAT(requestsFor(ts2000, {"PC005"}), ElementsAre("+\\set_level RFPOWER 0.050000"));
  Translator unknown(parseCaps({"Set level: RFPOWER"}), 0);
  EXPECT_EQ(unknown.fullPowerWatts(), 100);
}

TEST(Translator, AnswersComeBackInKenwoodFormOnThePanelsScales) {
  Translator t(parseCaps(kEverything), 0);
  const auto answer = [&t](Reply reply, std::string line, int status = kOk) {
    return t.kenwoodAnswer(reply, Answer{"x", {std::move(line)}, status}).value_or("none");
  };
  EXPECT_EQ(answer(Reply::FrequencyA, "Frequency: 14074000"), "FA00014074000;");
  EXPECT_EQ(answer(Reply::FrequencyB, "TX Frequency: 7000000.000000"), "FB00007000000;");
  EXPECT_EQ(answer(Reply::FrequencyA, "Frequency: 1e12"), "none");
  EXPECT_EQ(answer(Reply::FrequencyA, "Frequency: abc"), "none");
  EXPECT_EQ(answer(Reply::FrequencyA, "Frequency: 14074000", -5), "none");
  // S0 is -54 dB, each S-unit 6 dB and three steps; S9 is 0 dB; 10 dB over S9 is "S9 plus".
  const std::vector<std::pair<std::string, std::string>> meters = {
      {"-60", "SM00000;"}, {"-54", "SM00000;"}, {"-48", "SM00003;"},
      {"-18", "SM00018;"}, {"-6", "SM00024;"},  {"0", "SM00027;"},
      {"9", "SM00027;"},   {"10", "SM00030;"},  {"54", "SM00030;"},
  };
  for (const auto& [db, kenwood] : meters) EXPECT_EQ(answer(Reply::SMeter, db), kenwood) << db;
  // SWR in sixths over 1:1: 1.5:1 is raw 3 ("1 point 3"), 2:1 raw 6, beyond 6:1 raw 30.
  const std::vector<std::pair<std::string, std::string>> swr = {
      {"1.000000", "RM10000;"}, {"1.5", "RM10003;"}, {"2.0", "RM10006;"},
      {"0.5", "RM10000;"},      {"9.9", "RM10030;"},
  };
  for (const auto& [ratio, kenwood] : swr) EXPECT_EQ(answer(Reply::Swr, ratio), kenwood) << ratio;
  EXPECT_EQ(answer(Reply::PowerStat, "Power Status: 1"), "PS1;");
}

TEST(AnswerReader, AnswersInPiecesAmidNoiseComeOutWholeAndInOrder) {
  const std::string stream =
      "garbage line\nRPRT 0\n"  // a stray status with no request's name: dropped
      "get_freq:\nFrequency: 14074000\nRPRT 0\r\n"
      "noise\nget_level: STRENGTH\n-18\nRPRT 0\n"
      "set_func: NB 1\nRPRT -11\n";
  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
    AnswerReader reader;
    std::vector<std::string> got;
    for (std::size_t i = 0; i < stream.size(); i += piece) {
      reader.add(std::string_view(stream).substr(i, piece));
      while (auto a = reader.next())
        got.push_back(a->name + "=" + a->value(0) + "/" + std::to_string(a->status));
    }
    EXPECT_THAT(got, ElementsAre("get_freq=14074000/0", "get_level=-18/0", "set_func=/-11"))
        << "pieces of " << piece;
    EXPECT_FALSE(reader.lost());
  }
}

TEST(AnswerReader, SomethingNoRigServerSendsLosesTheReader) {
  AnswerReader longLine;
  longLine.add(std::string(AnswerReader::kMaxLine + 1, 'x'));
  EXPECT_TRUE(longLine.lost());
  AnswerReader endless;
  for (int i = 0; i < 20000 && !endless.lost(); ++i) endless.add("Frequency: 1\n");
  EXPECT_TRUE(endless.lost());
}

// A rig server on the in-memory network that answers every request from a small memory, as
// Hamlib's dummy rig does.
struct FakeRigServer {
  explicit FakeRigServer(fake::FakeNetwork& network, std::vector<std::string> caps = kEverything)
      : peer(network.serve("127.0.0.1", 4532)), capabilities(std::move(caps)) {}

  // Answers the whole request lines received so far.
  void answer() {
    if (silent) return;
    received += peer->takeReceived();
    for (auto end = received.find('\n'); end != std::string::npos; end = received.find('\n')) {
      const std::string line = received.substr(0, end);
      received.erase(0, end + 1);
      requests.push_back(line);
      peer->write(answerTo(line));
    }
  }
  std::string answerTo(const std::string& line) {
    const auto gap = line.find(' ');
    const std::string name = line.substr(2, gap == std::string::npos ? gap : gap - 2);
    const std::string args = gap == std::string::npos ? "" : line.substr(gap + 1);
    std::string out = name + ":" + (args.empty() ? "" : " " + args) + "\n";
    if (name == "dump_caps") {
      for (const std::string& l : capabilities) out += l + "\n";
    } else if (name == "get_freq") {
      out += "Frequency: " + memory["freq"] + "\n";
    } else if (name == "get_level") {
      out += memory[args] + "\n";
    } else if (name == "get_mode") {
      out += "Mode: USB\nPassband: 2400\n";
    } else if (name == "set_freq") {
      memory["freq"] = args;
    } else if (name == "set_level") {
      memory[args.substr(0, args.find(' '))] = args.substr(args.find(' ') + 1);
    }
    return out + "RPRT 0\n";
  }

  std::shared_ptr<fake::FakePeer> peer;
  std::vector<std::string> capabilities;
  std::map<std::string, std::string> memory{{"freq", "7100000"}, {"STRENGTH", "-18"}};
  std::vector<std::string> requests;
  std::string received;
  bool silent = false;
};

struct LineHarness {
  fake::Transcript transcript;
  fake::FakeNetwork network{transcript};
  RigServerPorts ports{network, "127.0.0.1", 4532, 0};
  int readyCalls = 0;
  LineHarness() {
    ports.setReadyHandler([this] { ++readyCalls; });
  }
};

TEST(RigServerLine, OpensOnceTheServerHasToldWhatTheRadioCanDoAndThenCarriesPollsBothWays) {
  LineHarness h;
  FakeRigServer server(h.network);
  EXPECT_EQ(h.ports.open(1), nullptr);  // connecting: the capabilities are not known yet
  server.answer();
  h.ports.activity();
  EXPECT_EQ(h.readyCalls, 1);
  std::unique_ptr<SerialDevice> line = h.ports.open(1);
  ASSERT_NE(line, nullptr);
  EXPECT_THAT(server.requests, ElementsAre("+\\dump_caps"));

  EXPECT_EQ(line->write("FA00014074000;FA;SM0;ID;"), 24u);
  server.answer();
  h.ports.activity();
  EXPECT_EQ(line->read(255), "?;FA00014074000;SM00018;");
  EXPECT_THAT(server.requests, ElementsAre("+\\dump_caps", "+\\get_mode", "+\\set_freq 14074000",
                                           "+\\get_freq", "+\\get_level STRENGTH"));
  EXPECT_FALSE(line->hungUp());
  EXPECT_FALSE(line->canCarryOut("SWT28"));
  EXPECT_TRUE(line->canCarryOut("PA1"));

  server.peer->close();
  h.ports.activity();
  EXPECT_TRUE(line->hungUp());
}

TEST(RigServerLine, AServerThatNeverAnswersIsGivenUpAndAskedAgain) {
  LineHarness h;
  FakeRigServer mute(h.network);
  mute.silent = true;
  EXPECT_EQ(h.ports.open(1), nullptr);
  FakeRigServer second(h.network);  // the next connection reaches one that answers
  for (int i = 0; i < RigServerPorts::kOpenTries; ++i) EXPECT_EQ(h.ports.open(1), nullptr);
  second.answer();
  h.ports.activity();
  EXPECT_NE(h.ports.open(1), nullptr);
  EXPECT_EQ(h.transcript.linesWithPrefix("net.connect ").size(), 2u);
}

TEST(RigServerLine, AServerThatStopsAnsweringHangsTheLineUp) {
  LineHarness h;
  FakeRigServer server(h.network);
  h.ports.open(1);
  server.answer();
  h.ports.activity();
  std::unique_ptr<SerialDevice> line = h.ports.open(1);
  ASSERT_NE(line, nullptr);
  server.answer();  // the mode
  h.ports.activity();
  server.silent = true;
  int polls = 0;
  while (!line->hungUp() && polls < 1000) {
    line->write(polls % 2 == 0 ? "FA;" : "SM0;");
    ++polls;
  }
  EXPECT_EQ(polls, Session::kSilentPolls + 2);
  // No more than a few polls were ever waiting at the server.
  EXPECT_LE(std::count(server.peer->fromProgram.begin(), server.peer->fromProgram.end(), '\n'),
            static_cast<long>(Session::kMaxReadsInFlight));
}

// The whole panel with its line on a rig server.
struct RigPanel {
  explicit RigPanel(std::vector<std::string> caps) : server(h.fake.network, std::move(caps)) {
    settings.set("rig", "127.0.0.1:4532");
    h.fake.window.beforeEachEvent = [this](const WindowEvent&) {
      server.answer();
      h.fake.network.activity();
    };
  }
  std::vector<std::string> clipsAfterConnecting(std::initializer_list<int> keys) {
    h.fake.window.queueTicks(6);
    h.queueKeys(keys);
    h.fake.window.queueTicks(2);
    h.panel = std::make_unique<Panel>(h.fake.platform(), settings);
    h.panel->run();
    std::vector<std::string> clips;
    for (const std::string& line : h.fake.transcript.linesWithPrefix("clip wave/")) {
      clips.push_back(test::PanelHarness::clipName("wave/" + line));
    }
    return clips;
  }
  std::vector<std::string> setRequests() const {
    std::vector<std::string> sets;
    for (const std::string& r : server.requests) {
      if (r.rfind("+\\set_", 0) == 0 || r.rfind("+\\vfo_op", 0) == 0) sets.push_back(r);
    }
    return sets;
  }
  test::PanelHarness h;
  FakeRigServer server;
  Settings settings;
};

TEST(RigPanel, KeysForWhatTheRadioLacksSayNotAvailableAndSendNothing) {
  RigPanel p(kTs2000);
  const std::vector<std::string> clips =
      p.clipsAfterConnecting({vk::kF1, vk::letter('T'), vk::letter('S'), vk::letter('M'),
                              vk::letter('M'), vk::letter('M'), vk::letter('M')});
  EXPECT_THAT(clips, ElementsAre("ts", "1", "point", "9", "connected", "preamp", "on", "tune", "na",
                                 "s", "6", "usb", "cw", "am", "lsb", "delay"));
  EXPECT_EQ(p.h.state().tuning, 0);
  const std::vector<std::string> sets = p.setRequests();
  EXPECT_THAT(std::vector<std::string>(sets.end() - 5, sets.end()),
              ElementsAre("+\\set_level PREAMP 20", "+\\set_mode USB -1", "+\\set_mode CW -1",
                          "+\\set_mode AM -1", "+\\set_mode LSB -1"));
}

TEST(RigPanel, AServerThatTellsNoFunctionsAnswersEveryToggleNotAvailable) {
  RigPanel p({"Get level: STRENGTH(-54..54/0)", "Set level:", "Mode list: LSB USB CW AM"});
  const std::vector<std::string> clips = p.clipsAfterConnecting(
      {vk::kF1, vk::kF1 + 1, vk::kF1 + 2, vk::kF1 + 3, vk::kF1 + 4, vk::letter('P'), vk::kUp});
  EXPECT_THAT(clips, ElementsAre("ts", "1", "point", "9", "connected", "preamp", "na", "at", "na",
                                 "nb", "na", "nr", "na", "notch", "na", "Power", "1", "0", "0",
                                 "watts", "na", "delay"));
  EXPECT_EQ(p.h.state().preampOn, 0);
  EXPECT_EQ(p.h.state().powerWatts, 100);
  EXPECT_THAT(p.setRequests(),
              ElementsAre("+\\set_mode LSB -1", "+\\set_freq 7100000", "+\\set_vfo VFOA"));
}

}  // namespace
}  // namespace orvane::rigclient
