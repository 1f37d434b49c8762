// SPDX-License-Identifier: GPL-3.0-or-later
// Key presses as transcripts: keys and radio answers in; clips, commands and prints out.
#include "keys/key_dispatcher.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/panel_harness.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int K(char c) {
  return vk::letter(c);
}

// Key-down and key-up for each key.
std::vector<WindowEvent> keys(std::initializer_list<int> codes) {
  std::vector<WindowEvent> events;
  for (int k : codes) {
    events.push_back({WindowEventKind::KeyDown, k});
    events.push_back({WindowEventKind::KeyUp, k});
  }
  return events;
}

// A panel that has heard the radio once ("connected" spoken) and then gets the events.
class Keys : public ::testing::Test {
 protected:
  // Runs the panel over the events and returns the story from the first key on, without the
  // shut-down (and without the polls unless asked for).
  std::vector<std::string> run(const std::vector<WindowEvent>& events, bool withPolls = false) {
    h.queueConnect();
    for (const WindowEvent& e : events) h.fake.window.queueEvent(e);
    return h.runFromFirstKey(withPolls);
  }
  std::vector<std::string> press(std::initializer_list<int> codes) { return run(keys(codes)); }

  PanelHarness h;
};

TEST_F(Keys, HeldKeyActsOnceUntilReleased) {
  std::vector<WindowEvent> events(5, WindowEvent{WindowEventKind::KeyDown, K('T')});  // repeat
  events.push_back({WindowEventKind::KeyDown, K('W')});  // a second key while one is held
  events.push_back({WindowEventKind::KeyUp, K('T')});
  for (const WindowEvent& e : keys({K('T')})) events.push_back(e);
  EXPECT_THAT(run(events),
              ElementsAre("tune", "> RM1;", "on", "> AC111;", "tune", "> RM1;", "off", "> AC110;"));
}

TEST_F(Keys, TuneTwiceStartsAndStopsTheTuner) {
  EXPECT_THAT(press({K('T'), K('T')}),
              ElementsAre("tune", "> RM1;", "on", "> AC111;", "tune", "> RM1;", "off", "> AC110;"));
  EXPECT_EQ(h.state().tuning, 0);
}

TEST_F(Keys, WhileTuningOnlyTAndSAreTakenEvenQuitIsRefused) {
  h.radio.swr = 6;
  std::vector<WindowEvent> events = keys({K('T')});
  for (int i = 0; i < 4; ++i) events.push_back({WindowEventKind::TimerTick, 0});
  for (const WindowEvent& e : keys({K('Q'), K('F'), vk::kF1, K('S'), K('T')})) events.push_back(e);
  auto story = run(events);
  std::erase_if(story, [](const std::string& line) { return line.rfind("print", 0) == 0; });
  EXPECT_THAT(story, ElementsAre("tune", "> RM1;", "on", "> AC111;", "ton", "ton", "ton", "SWR",
                                 "2", "point", "0", "21", "tune", "> RM1;", "off", "> AC110;"));
  EXPECT_EQ(h.state().running, 0) << "ended by the close request at the end of the script";
}

TEST_F(Keys, WhileTuningTheMeterPollAsksForTheSwr) {
  std::vector<WindowEvent> events = keys({K('T')});
  for (int i = 0; i < 4; ++i) events.push_back({WindowEventKind::TimerTick, 0});
  EXPECT_THAT(
      run(events, /*withPolls=*/true),
      ElementsAre("tune", "> RM1;", "on", "> AC111;", "> FA;", "print 80,150 Ariel/50/700 \"    \"",
                  "print 285,150 Ariel/50/700 \"   14.200000             \"", "> RM;", "> FA;",
                  "print 80,150 Ariel/50/700 \"    \"",
                  "print 285,150 Ariel/50/700 \"   14.200000             \"", "> RM;"));
}

TEST_F(Keys, ClosingTheWindowEndsARunEvenWhileTuning) {
  h.queueConnect();
  h.queueKeys({K('T')});
  h.fake.window.queueClose();
  h.fake.window.queueKey(K('F'));  // never handled: the pass ends the run after the close
  h.run();
  EXPECT_EQ(h.state().running, 0);
  EXPECT_EQ(h.state().tuning, 1);
}

TEST_F(Keys, NotConnectedAnswersEveryKeyButQuitWithNc) {
  h.radio.silent = true;
  EXPECT_THAT(press({K('F'), K('B'), vk::kDigit0 + 4, vk::kF1, K('T'), K('X'), K('Q')}),
              ElementsAre("nc", "nc", "nc", "nc", "nc", "nc", "quit"));
  EXPECT_EQ(h.state().tuning, 0);
}

struct IgnoredCase {
  const char* name;
  int stateKey;  // 0: none
  int entryState;
};

class IgnoredKeys : public ::testing::TestWithParam<IgnoredCase> {};

TEST_P(IgnoredKeys, NSlashAndVDoNothing) {
  const IgnoredCase& c = GetParam();
  std::vector<int> codes;
  if (c.stateKey != 0) codes.push_back(c.stateKey);
  PanelHarness alone;
  PanelHarness withIgnored;
  for (PanelHarness* h : {&alone, &withIgnored}) {
    h->queueConnect();
    for (int k : codes) h->fake.window.queueKey(k);
  }
  for (int k : {K('N'), vk::kSlash, K('V')}) withIgnored.fake.window.queueKey(k);
  alone.run();
  withIgnored.run();
  EXPECT_EQ(withIgnored.state().entryState, c.entryState);
  EXPECT_EQ(alone.storyFrom(0, true), withIgnored.storyFrom(0, true));
}

INSTANTIATE_TEST_SUITE_P(
    EveryEntryState, IgnoredKeys,
    ::testing::Values(IgnoredCase{"frequency", 0, 0}, IgnoredCase{"band", K('B'), 1},
                      IgnoredCase{"width", K('W'), 2}, IgnoredCase{"power", K('P'), 3},
                      IgnoredCase{"rf", K('R'), 4}, IgnoredCase{"af", K('A'), 7}),
    [](const ::testing::TestParamInfo<IgnoredCase>& p) { return std::string(p.param.name); });

TEST_F(Keys, CwSpotOnlyInCw) {
  EXPECT_THAT(
      press({vk::kF6, K('M'), K('M'), vk::kF6}),
      ElementsAre("print 50,45 Ariel/50/700 \"USB \"", "> MD2;", "usb",
                  "print 50,45 Ariel/50/700 \"CW   \"", "> MD3;", "cw", "spot", "> SWT28;"));
}

TEST_F(Keys, UnassignedKeyResendsTheFrequencyOnlyInTheFrequencyState) {
  EXPECT_THAT(press({K('X'), K('B'), K('X')}),
              ElementsAre("> FA00014200000;", "band", "40", "metres"));
}

TEST_F(Keys, ModeAfterPowerKeepsPowerAsTheUpDownTarget) {
  const auto story = press({K('P'), K('M'), vk::kUp});
  EXPECT_EQ(h.state().entryState, 3);
  EXPECT_THAT(story, ElementsAre("Power", "1", "0", "0", "watts",
                                 "print 50,45 Ariel/50/700 \"USB \"", "> MD2;", "usb", "> PC100;"));
}

TEST_F(Keys, HelpStartsWithoutWaitingAndTheNextClipCutsIt) {
  EXPECT_THAT(press({K('H'), K('F')}), ElementsAre("nowait help", "> FA00014200000;", "clip.stop",
                                                   "lsb", "1", "4", "point", "2", "mhz"));
}

TEST_F(Keys, KeyLinesInTheDebugLogAlsoForRefusedKeys) {
  h.fake.files.put("orvane.cfg",
                   "port 3\nspeed 9600\npower 100\nswr 2\ntopband 1\nswitch 0\ndebug 1\n");
  h.radio.silent = true;
  press({K('F'), vk::kEnter, vk::kFullStop, vk::kF1});
  const std::string log = h.fake.files.contents("debug.dat");
  EXPECT_NE(log.find("\r\nF\r\nC/R\r\n.\r\np\r\n"), std::string::npos) << log;
}

TEST_F(Keys, FrequencyStepKeys) {
  EXPECT_THAT(
      press({vk::kPageUp, vk::kRight, vk::kLeft, vk::kEqualsPlus, vk::kMinus, vk::kPageDown,
             vk::kUp, vk::kDown}),
      // No answer comes between the keys, so each step builds on the one before.
      ElementsAre("> FA00014210000;", "> FA00014210100;", "> FA00014210000;", "> FA00015210000;",
                  "> FA00014210000;", "> FA00014200000;", "> FA00014201000;", "> FA00014200000;"));
}

TEST_F(Keys, StepsDownStopAtZeroHertz) {
  h.radio.vfoA = "00000000500";
  // Up from the floor starts at 0 Hz again, not at the 500 Hz below it.
  EXPECT_THAT(press({vk::kDown, vk::kLeft, vk::kUp}),
              ElementsAre("> FA00000000000;", "> FA00000000000;", "> FA00000001000;"));
  EXPECT_EQ(h.state().frequencyHz, 1000);
}

struct ZeroCase {
  const char* vfoA;
  bool usb;
  const char* sent;
};

class ZeroKey : public ::testing::TestWithParam<ZeroCase> {};

TEST_P(ZeroKey, RoundsDownToAWholeKilohertzOrUpInUsb) {
  PanelHarness h;
  h.radio.vfoA = GetParam().vfoA;
  h.queueConnect();
  if (GetParam().usb) h.queueKeys({K('M')});
  h.queueKeys({K('Z')});
  const std::size_t start = h.mark();
  h.run();
  const auto story = h.storyFrom(start);
  const auto zero = std::find(story.begin(), story.end(), std::string("> ") + GetParam().sent);
  ASSERT_NE(zero, story.end());
  EXPECT_THAT(std::vector<std::string>(zero + 1, zero + 3), ElementsAre("0", "ok"));
}

INSTANTIATE_TEST_SUITE_P(Cases, ZeroKey,
                         ::testing::Values(ZeroCase{"00014200450", false, "FA00014200000;"},
                                           ZeroCase{"00014200450", true, "FA00014201000;"},
                                           ZeroCase{"00014200000", true, "FA00014200000;"},
                                           ZeroCase{"00000000999", false, "FA00000000000;"}));

TEST_F(Keys, KeyTableRowsAreUniqueAndDescribed) {
  for (std::size_t i = 0; i < KeyDispatcher::kKeyTable.size(); ++i) {
    const KeyRow& row = KeyDispatcher::kKeyTable[i];
    EXPECT_FALSE(row.keys.empty());
    EXPECT_FALSE(row.does.empty());
    for (std::size_t j = i + 1; j < KeyDispatcher::kKeyTable.size(); ++j) {
      const KeyRow& other = KeyDispatcher::kKeyTable[j];
      EXPECT_TRUE(row.lastKey < other.firstKey || other.lastKey < row.firstKey)
          << row.keys << " and " << other.keys << " overlap";
    }
  }
}

}  // namespace
}  // namespace orvane
