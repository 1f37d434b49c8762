// SPDX-License-Identifier: GPL-3.0-or-later
// The panel speaking through the system's speech service: what one event says is one phrase in
// words, handed over when the event's handling ends; notices are never cut; a service that fails
// gives way to the clip set for the rest of the run, starting with the phrase it did not take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "speech/phrases.h"
#include "tests/panel_harness.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class ServiceSpeech : public ::testing::Test {
 protected:
  explicit ServiceSpeech(std::string config = test::kDefaultConfig) : h(std::move(config)) {
    EXPECT_FALSE(h.settings.set(kSpeechSetting, "system"));
  }
  // The story from the first key on, without prints.
  std::vector<std::string> keys(std::initializer_list<int> keys) {
    h.queueConnect();
    h.queueKeys(keys);
    return h.runFromFirstKey(false, /*withPrints=*/false);
  }
  PanelHarness h;
};

TEST_F(ServiceSpeech, StartUpIsOnePhraseAfterTheStartCommands) {
  h.fake.window.queueTicks(2);
  h.fake.window.queueKey(vk::letter('Q'));
  h.run();
  const auto story = h.storyFrom(0);
  std::vector<std::string> speech;
  for (const std::string& line : story) {
    if (line.rfind("speech.", 0) == 0 || line.rfind("pause", 0) == 0 || line == "> RG255;")
      speech.push_back(line);
  }
  EXPECT_THAT(speech, ElementsAre("speech.start", "> RG255;",
                                  "speech.say notice \"Orvane, version one point nine\"",
                                  "speech.say notice \"connected\"",
                                  "speech.say notice \"goodbye\"", "pause wave/delay.wav"));
  // Nothing went to the clip set.
  EXPECT_TRUE(h.fake.transcript.linesWithPrefix("clip").empty());
}

TEST_F(ServiceSpeech, EachKeySaysOnePhrase) {
  struct Case {
    const char* what;
    std::vector<int> keys;
    std::vector<std::string> story;
  };
  const Case cases[] = {
      // Toggles send when their phrase is handed over: the service never holds the panel up.
      {"preamp", {vk::kF1}, {"> PA1;", "speech.say message \"preamp on\""}},
      {"preamp twice",
       {vk::kF1, vk::kF1},
       {"> PA1;", "speech.say message \"preamp on\"", "> PA0;",
        "speech.say message \"preamp off\""}},
      {"mode and frequency",
       {vk::letter('F')},
       {"speech.say message \"L S B, one four point two megahertz\""}},
      {"power", {vk::letter('P')}, {"speech.say message \"power, one zero zero watts\""}},
      {"width", {vk::letter('W')}, {"speech.say message \"bandwidth two point four kilohertz\""}},
      {"band", {vk::letter('B')}, {"speech.say message \"band, forty meters\""}},
      {"tune",
       {vk::letter('T'), vk::letter('F')},
       {"> RM1;", "> AC111;", "speech.say message \"tune on\"", "speech.say message \"tuner on\""}},
      {"noise reduction", {vk::kF1 + 3}, {"> NR1;", "speech.say message \"noise reduction on\""}},
      {"store channel",
       {vk::letter('C'), vk::kDigit0 + 4},
       {"> FA00014200000;", "speech.say message \"store channel\"",
        "speech.say message \"four okay\""}},
      {"help",
       {vk::letter('H')},
       {"> FA00014200000;", "speech.say message \"" + helpWords(builtInHelpFile()) + "\""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PanelHarness fresh;
    ASSERT_FALSE(fresh.settings.set(kSpeechSetting, "system"));
    fresh.queueConnect();
    for (int k : c.keys) fresh.fake.window.queueKey(k);
    EXPECT_THAT(fresh.runFromFirstKey(false, false), ElementsAreArray(c.story));
  }
}

TEST_F(ServiceSpeech, NotConnectedIsANotice) {
  h.fake.window.queueKey(vk::letter('F'));
  const auto story = h.runFromFirstKey(false, false);
  EXPECT_THAT(story, ElementsAre("speech.say notice \"not connected\""));
}

TEST_F(ServiceSpeech, TheRateAskedForIsHandedToTheService) {
  ASSERT_FALSE(h.settings.set(kSpeechRateSetting, "-40"));
  h.run();
  EXPECT_EQ(h.fake.transcript.linesWithPrefix("speech.start").at(0), " rate -40");
}

TEST_F(ServiceSpeech, ClipsUnlessTheStationAsksForTheService) {
  PanelHarness clips;
  clips.queueConnect();
  clips.fake.window.queueKey(vk::kF1);
  EXPECT_THAT(clips.runFromFirstKey(false, false), ElementsAre("preamp", "on", "> PA1;"));
  EXPECT_TRUE(clips.fake.transcript.linesWithPrefix("speech").empty());
}

class FailingService : public ServiceSpeech {
 protected:
  FailingService()
      : ServiceSpeech(
            "port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 0\r\n"
            "debug 1\r\n") {}
};

TEST_F(FailingService, TheClipSetSpeaksFromThePhraseThatFailedOn) {
  h.queueConnect();
  h.fake.window.queueKey(vk::kF1);
  h.fake.window.beforeEachEvent = [this](const WindowEvent& e) {
    if (e.kind == WindowEventKind::KeyDown && e.key == vk::kF1) h.fake.speech.fail("it went away");
  };
  h.queueKeys({vk::letter('W')});
  h.run();
  const auto story = h.storyFrom(0);
  const auto failed = std::find(story.begin(), story.end(), "speech.say failed");
  ASSERT_NE(failed, story.end());
  EXPECT_THAT(
      std::vector<std::string>(failed - 1, failed + 8),
      ElementsAre("> PA1;", "speech.say failed", "preamp", "on", "bw", "2", "point", "4", "khz"));
  EXPECT_EQ(std::count(story.begin(), story.end(), "speech.say failed"), 1);
  EXPECT_THAT(
      h.fake.files.contents("debug.dat"),
      ::testing::HasSubstr("speech service: it went away; the clip set speaks from now on\r\n"));
}

// A service that is still being reached does not hold the panel up: the clip set says what comes
// meanwhile, and the service takes over once it answers, with no word of a failure.
TEST_F(FailingService, TheClipSetSpeaksWhileTheServiceIsBeingReached) {
  h.fake.speech.notReadyFor = 1;
  h.queueConnect();
  h.fake.window.queueKey(vk::kF1);
  h.run();
  const auto story = h.storyFrom(0);
  const auto notReady = std::find(story.begin(), story.end(), "speech.say not ready");
  ASSERT_NE(notReady, story.end());
  EXPECT_THAT(std::vector<std::string>(notReady, notReady + 5),
              ElementsAre("speech.say not ready", "ts", "1", "point", "9"));
  EXPECT_THAT(story, ::testing::IsSupersetOf(
                         {"speech.say notice \"connected\"", "speech.say message \"preamp on\""}));
  EXPECT_THAT(h.fake.files.contents("debug.dat"),
              ::testing::Not(::testing::HasSubstr("speech service")));
}

}  // namespace
}  // namespace orvane
