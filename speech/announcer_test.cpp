// SPDX-License-Identifier: GPL-3.0-or-later
// Clip names, the clip directory, and every readout as the operator hears it.
#include "speech/announcer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"
#include "speech/vocabulary.h"

namespace orvane {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class AnnouncerTest : public ::testing::Test {
 protected:
  AnnouncerTest() {
    state.clipDir = "wave\\";
    for (std::string_view name : kClipVocabulary) {
      fake.files.put(announcer.clipPath(name), "RIFF");
    }
  }

  // The clips played, by the names the operator hears.
  std::vector<std::string> heard() {
    std::vector<std::string> out;
    for (const std::string& line : fake.transcript.lines()) {
      if (line.rfind("clip wave/", 0) == 0) out.push_back(line.substr(10));
      if (line.rfind("clip.nowait wave/", 0) == 0) out.push_back("nowait " + line.substr(17));
      if (line == "clip.stop") out.push_back("stop");
    }
    fake.transcript.clear();
    return out;
  }

  fake::FakePlatform fake;
  PanelState state;
  Announcer announcer{state, fake.sound, fake.files};
};

TEST_F(AnnouncerTest, NamesWithAndWithoutExtensionNameTheSameFile) {
  EXPECT_EQ(announcer.clipPath("on"), "wave/on.wav");
  EXPECT_EQ(announcer.clipPath("on.wav"), "wave/on.wav");
  EXPECT_EQ(announcer.clipPath("ts"), "wave/ts.wav");
  announcer.playClip("on");
  announcer.playClip("on.wav");
  EXPECT_THAT(heard(), ElementsAre("on.wav", "on.wav"));
}

TEST_F(AnnouncerTest, MixedCaseNamesFallBackToAnyCaseOnDisk) {
  fake.files.remove("wave/Power.wav");
  fake.files.put("wave/power.wav", "RIFF");
  fake.files.remove("wave/SWR.wav");
  fake.files.put("wave/swr.WAV", "RIFF");
  announcer.playClip("Power");
  announcer.playClip("SWR");
  announcer.playClip("EF");
  EXPECT_THAT(heard(), ElementsAre("power.wav", "swr.WAV", "EF.wav"));
}

TEST_F(AnnouncerTest, MissingClipsAndBlanksAreSilent) {
  fake.files.remove("wave/ok.wav");
  announcer.playClip("ok");
  announcer.playClip(" ");
  announcer.playClip("");
  announcer.playClip("..");
  announcer.playClip("no-such-clip");
  EXPECT_TRUE(heard().empty());
}

TEST_F(AnnouncerTest, HelpClipIsCutByTheNextClip) {
  announcer.playClipNoWait("help.wav");
  announcer.playClip("band");
  announcer.playClip("40");
  EXPECT_THAT(heard(), ElementsAre("nowait help.wav", "stop", "band.wav", "40.wav"));
}

TEST_F(AnnouncerTest, HelpClipIsCutEvenWhenTheNextClipIsMissing) {
  fake.files.remove("wave/nc.wav");
  announcer.playClipNoWait("help.wav");
  announcer.playClip("nc");
  EXPECT_THAT(heard(), ElementsAre("nowait help.wav", "stop"));
}

struct Readout {
  const char* name;
  std::function<void(PanelState&)> set;
  void (Announcer::*speak)();
  std::vector<std::string> clips;
};

std::ostream& operator<<(std::ostream& os, const Readout& r) {
  return os << r.name;
}

auto frequency(const char* text, int split = 0) {
  return [text, split](PanelState& s) {
    s.frequencyText = text;
    s.splitState = split;
  };
}
auto width(int w) {
  return [w](PanelState& s) { s.filterWidth = w; };
}
auto power(int p) {
  return [p](PanelState& s) { s.powerWatts = p; };
}
auto band(int b) {
  return [b](PanelState& s) { s.bandIndex = b; };
}
auto mode(int m) {
  return [m](PanelState& s) { s.modeIndex = m; };
}

class Readouts : public AnnouncerTest, public ::testing::WithParamInterface<Readout> {};

TEST_P(Readouts, SpeakAsTheOperatorExpects) {
  const Readout& r = GetParam();
  r.set(state);
  (announcer.*r.speak)();
  std::vector<std::string> expected;
  for (const std::string& c : r.clips)
    expected.push_back(c.find('.') == std::string::npos ? c + ".wav" : c);
  EXPECT_THAT(heard(), ElementsAreArray(expected));
}

constexpr auto kFreq = &Announcer::speakFrequency;
constexpr auto kWidth = &Announcer::speakFilterWidth;
constexpr auto kPower = &Announcer::speakPower;
constexpr auto kBand = &Announcer::speakBand;
constexpr auto kMode = &Announcer::speakMode;

INSTANTIATE_TEST_SUITE_P(
    Examples, Readouts,
    ::testing::Values(
        Readout{"f14_2", frequency("   14.200000"), kFreq, {"1", "4", "point", "2", "mhz"}},
        Readout{"f7_074", frequency("    7.074000"), kFreq, {"7", "point", "0", "7", "4", "mhz"}},
        Readout{"f14_whole", frequency("   14.000000"), kFreq, {"1", "4", "mhz"}},
        Readout{"f145_5", frequency("  145.500000"), kFreq, {"1", "4", "5", "point", "5", "mhz"}},
        Readout{"f14_195255",
                frequency("   14.195255"),
                kFreq,
                {"1", "4", "point", "1", "9", "5", "2", "5", "mhz"}},
        Readout{"f14_000005", frequency("   14.000005"), kFreq, {"1", "4", "point", "0", "mhz"}},
        Readout{"f0_5", frequency("     .500000"), kFreq, {"point", "5", "mhz"}},
        Readout{"f_split1",
                frequency("   14.200000", 1),
                kFreq,
                {"vfob", "1", "4", "point", "2", "mhz"}},
        Readout{"f_split2", frequency("   14.200000", 2), kFreq, {"1", "4", "point", "2", "mhz"}},
        Readout{"f_none", frequency(""), kFreq, {"nc"}},
        Readout{"w240", width(240), kWidth, {"bw", "2", "point", "4", "khz"}},
        Readout{"w50", width(50), kWidth, {"bw", "0", "point", "5", "khz"}},
        Readout{"w300", width(300), kWidth, {"bw", "3", "point", "0", "khz"}},
        Readout{"w90", width(90), kWidth, {"bw", "0", "point", "9", "khz"}},
        Readout{"p100", power(100), kPower, {"1", "0", "0", "watts"}},
        Readout{"p5", power(5), kPower, {"5", "watts"}},
        Readout{"p0", power(0), kPower, {"0", "watts"}},
        Readout{"b1", band(1), kBand, {"160", "metres"}},
        Readout{"b11", band(11), kBand, {"6", "metres"}},
        Readout{"b13", band(13), kBand, {"70", "metres"}}, Readout{"b99", band(99), kBand, {"un"}},
        Readout{"b0", band(0), kBand, {"metres"}}, Readout{"b14", band(14), kBand, {"metres"}},
        Readout{"m1", mode(1), kMode, {"lsb.wav"}}, Readout{"m4", mode(4), kMode, {"am.wav"}},
        Readout{"m5", mode(5), kMode, {"fm.wav"}}, Readout{"m6", mode(6), kMode, {}},
        Readout{"m0", mode(0), kMode, {}}),
    [](const ::testing::TestParamInfo<Readout>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace orvane
