// SPDX-License-Identifier: GPL-3.0-or-later
// The whole panel when the radio goes away and comes back: a radio that stops answering, an
// adapter pulled out and plugged in again, and a port that only appears after the start. What the
// operator hears, what goes on the wire, and what is kept.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/panel_harness.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int K(char c) {
  return vk::letter(c);
}

const std::vector<std::string> kFrequencyReadout = {"lsb", "1", "4", "point", "2", "mhz"};

// The clips and the non-poll commands from the start of the run, start-up included.
std::vector<std::string> storyWithoutPrints(const PanelHarness& h) {
  std::vector<std::string> story = h.storyFrom(0);
  std::erase_if(story, [](const std::string& line) {
    return line.starts_with("print") || line.starts_with("window.");
  });
  return story;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const std::vector<std::string> kStart = {"> MD1;",  "> FA00007100000;", "> PA00;",
                                         "> RA00;", "> NB0;",           "> PC100;",
                                         "> FR0;",  "> AG0050;",        "> RG255;"};
const std::vector<std::string> kAnnouncement = {"ts", "1", "point", "9"};

TEST(RadioLoss, RadioThatStopsAnsweringIsToldOnceAndItsReturnOnce) {
  PanelHarness h;
  h.atTicks({{5, [&] { h.radio.silent = true; }}, {60, [&] { h.radio.silent = false; }}});
  h.fake.window.queueTicks(4);
  h.queueKeys({K('F')});
  h.fake.window.queueTicks(50);  // 20 unanswered polls take 40 ticks
  h.queueKeys({K('F')});
  h.fake.window.queueTicks(10);
  h.queueKeys({K('F'), K('Q')});
  h.run();
  EXPECT_THAT(storyWithoutPrints(h), ElementsAreArray(joined({kStart,
                                                              kAnnouncement,
                                                              {"connected"},
                                                              kFrequencyReadout,
                                                              {"nc", "nc", "connected"},
                                                              kFrequencyReadout,
                                                              {"quit", "delay"}})));
}

TEST(RadioLoss, AdapterPulledOutAndPluggedInAgainReconnectsAndKeepsTheChannels) {
  PanelHarness h;
  h.atTicks({{8, [&] { h.fake.serial.unplug(3); }}, {70, [&] { h.fake.serial.plug(3); }}});
  h.fake.window.queueTicks(4);
  h.queueKeys({K('C'), vk::kDigit0 + 5});
  h.fake.window.queueTicks(30);
  h.queueKeys({K('F')});
  h.fake.window.queueTicks(60);
  h.queueKeys({K('F'), K('Q')});
  h.run();
  // The store key goes on to re-send the frequency; after the return only polls go out: the radio
  // kept its settings, so the start state is not sent again.
  EXPECT_THAT(storyWithoutPrints(h),
              ElementsAreArray(joined(
                  {kStart,
                   kAnnouncement,
                   {"connected", "sch", "> FA00014200000;", "5", "ok", "nc", "nc", "connected"},
                   kFrequencyReadout,
                   {"quit", "delay"}})));
  const std::string memory = h.fake.files.contents("memory.dat");
  EXPECT_NE(memory.find("\r\n0104FA00014200000FA00014200000\r\n"), std::string::npos) << memory;
  // One try a second while the adapter was out, all failed; then one that opened it.
  EXPECT_EQ(h.fake.transcript.linesWithPrefix("serial.open 3 failed").size(), 3u);
  EXPECT_EQ(h.fake.transcript.linesWithPrefix("serial.open 3").size(), 5u);
}

TEST(RadioLoss, PortThatAppearsAfterTheStartGetsTheStartStateItMissed) {
  PanelHarness h;
  h.fake.serial.unplug(3);
  h.atTicks({{10, [&] { h.fake.serial.plug(3); }}});
  h.fake.window.queueTicks(21);  // the first try, at tick 20, opens it
  h.queueKeys({K('F'), K('Q')});
  h.run();
  EXPECT_THAT(storyWithoutPrints(h),
              ElementsAreArray(joined(
                  {kAnnouncement, kStart, {"connected"}, kFrequencyReadout, {"quit", "delay"}})));
  EXPECT_THAT(h.wireFrom(0, /*withPolls=*/true),
              ElementsAre("MD1;", "FA00007100000;", "PA00;", "RA00;", "NB0;", "PC100;", "FR0;",
                          "AG0050;", "RG255;", "FA;", "ID;"));
}

}  // namespace
}  // namespace orvane
