// SPDX-License-Identifier: GPL-3.0-or-later
// The tuning and receiver commands as the operator uses them: keys in, clips and commands out.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/panel_harness.h"
#include "tuning/bands.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int K(char c) {
  return vk::letter(c);
}
constexpr int D(int d) {
  return vk::kDigit0 + d;
}

// Connects, presses the keys, and returns clips and commands (no prints, no polls) from the first
// key on, without the shut-down.
std::vector<std::string> heard(PanelHarness& h, std::initializer_list<int> keys) {
  h.queueConnect();
  h.queueKeys(keys);
  return h.runFromFirstKey(/*withPolls=*/false, /*withPrints=*/false);
}

struct KeyCase {
  const char* name;
  std::vector<int> keys;
  std::vector<std::string> story;
  std::string config = test::kDefaultConfig;
  std::string vfoA = "00014200000";
  // The radio's answer to "ID": a TS-2000, or "000", a radio the panel does not know, which gets
  // the panel's own forms.
  std::string identity = "019";
};

std::ostream& operator<<(std::ostream& os, const KeyCase& c) {
  return os << c.name;
}

class Commands : public ::testing::TestWithParam<KeyCase> {};

TEST_P(Commands, KeysGiveTheirClipsAndCommandsInOrder) {
  const KeyCase& c = GetParam();
  PanelHarness h(c.config);
  h.radio.vfoA = c.vfoA;
  h.radio.identity = c.identity;
  h.fake.window.queueTicks(4);  // the frequency, the radio's identity and the meter all in
  for (int k : c.keys) h.fake.window.queueKey(k);
  const auto story = h.runFromFirstKey(/*withPolls=*/false, /*withPrints=*/false);
  EXPECT_THAT(story, ElementsAreArray(c.story));
}

const std::string kTop1 = "port 3\nspeed 9600\npower 100\nswr 1\ntopband 1\n";
const std::string kTop7 = "port 3\nspeed 9600\npower 100\nswr 1\ntopband 7\n";
const std::string kPower5 = "port 3\nspeed 9600\npower 5\n";
const std::string kPower25 = "port 3\nspeed 9600\npower 25\n";

INSTANTIATE_TEST_SUITE_P(
    Receiver, Commands,
    ::testing::Values(KeyCase{"preamp_twice",
                              {vk::kF1, vk::kF1},
                              {"preamp", "on", "> PA1;", "preamp", "off", "> PA0;"}},
                      KeyCase{"attenuator",
                              {vk::kF1 + 1, vk::kF1 + 1},
                              {"at", "on", "> RA01;", "at", "off", "> RA00;"}},
                      KeyCase{"blanker", {vk::kF1 + 2}, {"nb", "on", "> NB1;"}},
                      KeyCase{"noise_reduction", {vk::kF1 + 3}, {"nr", "on", "> NR1;"}},
                      KeyCase{"notch",
                              {vk::kF1 + 4, vk::kF1 + 4},
                              {"notch", "on", "> NT1;", "notch", "off", "> NT0;"}},
                      KeyCase{"notch_of_a_radio_not_known",
                              {vk::kF1 + 4, vk::kF1 + 4},
                              {"notch", "on", "> NT10;", "notch", "off", "> NT00;"},
                              test::kDefaultConfig,
                              "00014200000",
                              "000"}),
    [](const auto& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Levels, Commands,
    ::testing::Values(
        KeyCase{"power_from_5_up",
                {K('P'), vk::kUp, vk::kUp},
                {"Power", "5", "watts", "> PC020;", "> PC030;"},
                kPower5},
        KeyCase{"power_down_floor",
                {K('P'), vk::kDown, vk::kDown},
                {"Power", "5", "watts", "> PC005;", "> PC005;"},
                kPower5},
        KeyCase{
            "power_from_25", {K('P'), vk::kUp}, {"Power", "2", "5", "watts", "> PC035;"}, kPower25},
        KeyCase{"power_ceiling", {K('P'), vk::kUp}, {"Power", "1", "0", "0", "watts", "> PC100;"}},
        KeyCase{"rf_gain",
                {K('R'), vk::kDown, vk::kUp, vk::kUp},
                {"rf", "> RG235;", "> RG255;", "max", "> RG255;", "max"}},
        KeyCase{"af_gain",
                {K('A'), vk::kUp, vk::kDown, vk::kDown},
                {"ag", "> AG0060;", "> AG0050;", "> AG0040;"}},
        // The TS-2000's SSB widths come in 200 Hz steps: 2.5 kHz is answered, not sent.
        KeyCase{"width",
                {K('W'), vk::kUp, vk::kDown},
                {"bw", "2", "point", "4", "khz", "invalid", "> SH05;"}},
        KeyCase{"width_of_a_radio_not_known",
                {K('W'), vk::kUp, vk::kDown},
                {"bw", "2", "point", "4", "khz", "> BW0250;", "> BW0240;"},
                test::kDefaultConfig,
                "00014200000",
                "000"}),
    [](const auto& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(Meters, Commands,
                         ::testing::Values(
                             // The harness radio answers "SM0015": S5.
                             KeyCase{"s_meter", {K('S')}, {"s", "5"}},
                             KeyCase{"swr_wording_once",
                                     {K('T'), K('S'), K('S')},
                                     {"tune", "> RM1;", "on", "> AC111;", "SWR", "1", "point", "0",
                                      "21", "1", "point", "0"}}),
                         [](const auto& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Modes, Commands,
    ::testing::Values(KeyCase{"forty_metres_skips_fm",
                              {K('M'), K('M'), K('M'), K('M')},
                              {"> MD2;", "usb", "> MD3;", "cw", "> MD5;", "am", "> MD1;", "lsb"}},
                      KeyCase{"ten_metres_offers_fm",
                              {K('B'), D(0), K('M'), K('M'), K('M'), K('M'), K('M')},
                              {"band",   "40",     "metres", "> FA00028500000;",
                               "preamp", "on",     "> PA1;", "10",
                               "metres", "> MD2;", "> MD3;", "cw",
                               "> MD5;", "am",     "> MD4;", "fm",
                               "> MD1;", "lsb",    "> MD2;", "usb"}}),
    [](const auto& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Bands, Commands,
    ::testing::Values(KeyCase{"b5_cw",
                              {K('B'), D(5)},
                              {"band", "40", "metres", "> FA00010100000;", "preamp", "off",
                               "> PA0;", "30", "metres", "> MD3;"}},
                      // A digit ends the band state, so "B" comes again before stepping.
                      KeyCase{"up_wraps_at_top_1",
                              {K('B'), D(0), K('B'), vk::kUp},
                              {"band", "40",     "metres", "> FA00028500000;", "preamp",
                               "on",   "> PA1;", "10",     "metres",           "> MD2;",
                               "band", "10",     "metres", "> FA00001900000;", "preamp",
                               "off",  "> PA0;", "160",    "metres",           "> MD1;"},
                              kTop1},
                      KeyCase{"down_wraps_to_top_7",
                              {K('B'), D(1), K('B'), vk::kDown},
                              {"band", "40",     "metres", "> FA00001900000;", "preamp",
                               "off",  "> PA0;", "160",    "metres",           "> MD1;",
                               "band", "160",    "metres", "> FA00432000000;", "preamp",
                               "on",   "> PA1;", "70",     "metres",           "> MD2;"},
                              kTop7},
                      KeyCase{"out_of_band_refuses_steps",
                              {K('E'), D(1), D(2), vk::kEnter, K('B'), vk::kUp},
                              {"EF", "> FA00014200000;", "1", "2", "> FA00012000000;", "preamp",
                               "off", "> PA0;", "ok", "band", "un", "band", "un"}}),
    [](const auto& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Entry, Commands,
    ::testing::Values(
        KeyCase{"fourteen_point_two",
                {K('E'), D(1), D(4), vk::kFullStop, D(2), vk::kEnter},
                {"EF", "> FA00014200000;", "1", "4", "point", "2", "> FA00014200000;", "preamp",
                 "on", "> PA1;", "ok"}},
        KeyCase{"leading_fraction_zeros",
                {K('E'), D(1), D(4), vk::kFullStop, D(0), D(0), D(5), vk::kEnter},
                {"EF", "> FA00014200000;", "1", "4", "point", "0", "0", "5", "> FA00014005000;",
                 "preamp", "on", "> PA1;", "ok"}},
        KeyCase{"seven_digits_after_point_keep_six",
                {K('E'), D(7), vk::kFullStop, D(0), D(7), D(4), D(5), D(6), D(7), D(8), vk::kEnter},
                {"EF", "> FA00014200000;", "7", "point", "0", "7", "4", "5", "6", "7", "8",
                 "> FA00007074567;", "preamp", "off", "> PA0;", "ok"}},
        // Six zeros fill the command; the next entry must not inherit them either.
        KeyCase{"six_zeros_after_point",
                {K('E'), D(1), D(4), vk::kFullStop, D(0), D(0), D(0), D(0), D(0), D(0), vk::kEnter,
                 K('E'), D(7), vk::kEnter},
                {"EF",     "> FA00014200000;",
                 "1",      "4",
                 "point",  "0",
                 "0",      "0",
                 "0",      "0",
                 "0",      "> FA00014000000;",
                 "preamp", "on",
                 "> PA1;", "ok",
                 "EF",     "> FA00014200000;",
                 "7",      "> FA00007000000;",
                 "preamp", "off",
                 "> PA0;", "ok"}},
        KeyCase{"too_high_refused",
                {K('E'), D(4), D(4), D(0), vk::kEnter},
                {"EF", "> FA00014200000;", "4", "4", "0", "invalid"}},
        KeyCase{"zero_refused", {K('E'), D(0)}, {"EF", "> FA00014200000;", "0", "invalid"}},
        KeyCase{"two_metres",
                {K('E'), D(1), D(4), D(4), vk::kFullStop, D(3), vk::kEnter},
                {"EF", "> FA00014200000;", "1", "4", "4", "point", "3", "> FA00144300000;",
                 "preamp", "on", "> PA1;", "ok"}}),
    [](const auto& p) { return std::string(p.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Channels, Commands,
    ::testing::Values(
        KeyCase{"store_and_recall",
                {K('M'), K('C'), D(3), K('G'), D(3)},
                {"> MD2;", "usb", "sch", "> FA00014200000;", "3", "ok", "gch", "> FA00014200000;",
                 "3", "ok", "> FA00014200000;", "preamp", "on", "> PA1;", "> MD2;"}},
        KeyCase{"empty_channel", {K('G'), D(7)}, {"gch", "> FA00014200000;", "7", "invalid"}},
        KeyCase{"digit_after_band_key_goes_to_channel",
                {K('C'), K('B'), D(5)},
                {"sch", "> FA00014200000;", "band", "40", "metres", "5", "ok"}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Channels, StoredRecordLayout) {
  PanelHarness h;
  heard(h, {K('B'), D(6), K('C'), D(3)});
  EXPECT_EQ(h.state().memoryChannels[3].str(), "0206FA00014200000FA00014200000");
  // Written at shut-down: line 15 of the memory file.
  const auto lines = firstLines(h.fake.files.contents("memory.dat"), 21, 254);
  EXPECT_EQ(lines[14], "0206FA00014200000FA00014200000");
}

TEST(Channels, RecallOfASplitChannelSendsBothVfosAndAnnouncesSplit) {
  PanelHarness h;
  std::string memory;
  for (int i = 0; i < 11; ++i) memory += "FA00007100000\n";
  memory += "1206FA00014200000FB00014250000\n9\n";  // channels 0 and 1
  h.fake.files.put("memory.dat", memory);
  h.queueConnect();
  h.queueKeys({K('G'), D(0)});
  h.fake.window.queueTicks(2);
  h.queueKeys({K('G'), D(1)});
  const auto story = h.runFromFirstKey(/*withPolls=*/true, /*withPrints=*/false);
  // "G" goes on to the step stage, which re-sends the frequency (to VFO B while split is on).
  EXPECT_THAT(story, ElementsAre("gch", "> FA00014200000;", "0", "ok", "> FA00014200000;",
                                 "> FB00014250000;", "> FT1;", "preamp", "on", "> PA1;", "> MD2;",
                                 // the next frequency answer comes from VFO B, and says split
                                 "> FB;", "split", "> SM0;",
                                 // a second recall ends split before anything else
                                 "gch", "> FB00007050000;", "> FT0;", "1", "invalid"));
  EXPECT_EQ(h.state().splitState, 0);
}

TEST(BandMemory, RemembersOnlyFrequenciesInsideTheBand) {
  struct Case {
    const char* vfoA;
    const char* slot6;
  };
  for (const Case& c :
       {Case{"00014074000", "FA00014074000"}, Case{"00013900000", "FA00014200000"}}) {
    PanelHarness h;
    h.radio.vfoA = c.vfoA;
    heard(h, {K('B'), D(6), K('B')});
    EXPECT_EQ(h.state().bandTable[6].str(), c.slot6) << c.vfoA;
  }
}

TEST(BandMemory, BandFromMegahertz) {
  const std::vector<std::pair<int, int>> table = {
      {1, 1},    {3, 2},   {5, 3},   {7, 4},   {10, 5},  {14, 6},   {18, 7},   {21, 8},
      {24, 9},   {28, 10}, {29, 10}, {50, 11}, {54, 11}, {144, 12}, {148, 12}, {430, 13},
      {439, 13}, {2, 99},  {12, 99}, {30, 99}, {55, 99}, {149, 99}, {440, 99}, {0, 99}};
  for (const auto& [mhz, band] : table) EXPECT_EQ(bandFromMHz(mhz), band) << mhz;
}

TEST(MemoryFile, LineEndsOfAnyKindLoadAndAreWrittenBackWithCrLf) {
  for (const char* end : {"\n", "\r", "\r\n"}) {
    PanelHarness h;
    std::string memory;
    for (int i = 0; i < 11; ++i) memory += "FA00007000000" + std::string(end);
    for (int i = 0; i < 10; ++i) memory += "9" + std::string(end);
    memory += "extra line" + std::string(end);
    h.fake.files.put("memory.dat", memory);
    h.run();
    std::string expected;
    for (int i = 0; i < 11; ++i) expected += "FA00007000000\r\n";
    for (int i = 0; i < 10; ++i) expected += "9\r\n";
    EXPECT_EQ(h.fake.files.contents("memory.dat"), expected);
  }
}

TEST(MemoryFile, ShortFileKeepsStartValuesAndAFailedSaveKeepsTheOldFile) {
  PanelHarness h;
  h.fake.files.put("memory.dat", "");
  h.fake.files.failingNames.insert("memory.dat");
  h.run();
  // Missing lines would send empty commands: they keep the start values instead.
  EXPECT_EQ(h.state().bandTable[1].str(), "FA00001900000");
  EXPECT_EQ(h.state().memoryChannels[9].str(), "9");
  EXPECT_EQ(h.state().bandTable[12].str(), "FA00145000000");
  EXPECT_EQ(h.fake.files.contents("memory.dat"), "");
}

}  // namespace
}  // namespace orvane
