// SPDX-License-Identifier: GPL-3.0-or-later
// A damaged or unreadable "memory.dat": nothing but frequency commands may reach the radio from
// it, and a file the panel cannot read is never replaced.
#include "receiver/memory_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "tests/panel_harness.h"

namespace orvane {
namespace {

using namespace std::string_literals;
using test::PanelHarness;
using ::testing::ElementsAre;

constexpr char kGoodSlot[] = "FA00007155000";
constexpr char kGoodChannel[] = "0206FA00014200000FA00014200000";

// A whole, well-formed file with some lines (1-based) replaced.
std::string memoryFileWith(const std::map<int, std::string>& replaced) {
  std::string file;
  for (int n = 1; n <= 21; ++n) {
    const auto it = replaced.find(n);
    file += (it != replaced.end() ? it->second : n <= 11 ? kGoodSlot : kGoodChannel) + "\r\n";
  }
  return file;
}

struct LineCase {
  const char* name;
  std::string line;
  std::string loaded;  // what the 40 m slot (line 4) or channel 0 (line 12) holds after loading
};

std::ostream& operator<<(std::ostream& os, const LineCase& c) {
  return os << c.name;
}

class BandSlotLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(BandSlotLine, LoadsOnlyAFrequencyCommand) {
  PanelHarness h("");  // no configuration: the load alone
  h.fake.files.put("memory.dat", memoryFileWith({{4, GetParam().line}}));
  h.run();
  EXPECT_EQ(h.state().bandTable[4].str(), GetParam().loaded);
  EXPECT_EQ(h.state().bandTable[3].str(), kGoodSlot) << "the other lines load as they are";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, BandSlotLine,
    ::testing::Values(
        LineCase{"vfo_a", "FA00007155000", "FA00007155000"},
        LineCase{"vfo_b", "FB00007155000", "FB00007155000"},
        LineCase{"transmit_command", "TX1;", "FA00007100000"},
        LineCase{"empty", "", "FA00007100000"},
        LineCase{"ten_digits", "FA0000715500", "FA00007100000"},
        LineCase{"twelve_digits", "FA000071550000", "FA00007100000"},
        LineCase{"letter_among_digits", "FA0000715500x", "FA00007100000"},
        LineCase{"nul_among_digits",
                 "FA00007\0"s
                 "55000",
                 "FA00007100000"},
        LineCase{"lower_case", "fa00007155000", "FA00007100000"},
        LineCase{"binary", "\x89PNG\x1a\xff\xfe\x01\x02\x03\x04\x05\x06", "FA00007100000"},
        LineCase{"million_characters", "FA" + std::string(1'000'000, '7'), "FA00007100000"}),
    [](const auto& p) { return std::string(p.param.name); });

class ChannelLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ChannelLine, LoadsOnlyAWholeRecordOrTheEmptyMark) {
  PanelHarness h("");
  h.fake.files.put("memory.dat", memoryFileWith({{12, GetParam().line}}));
  h.run();
  EXPECT_EQ(h.state().memoryChannels[0].str(), GetParam().loaded);
  EXPECT_EQ(h.state().memoryChannels[1].str(), kGoodChannel);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChannelLine,
    ::testing::Values(LineCase{"record", kGoodChannel, kGoodChannel},
                      LineCase{"split_record", "1206FA00014200000FB00014250000",
                               "1206FA00014200000FB00014250000"},
                      LineCase{"fm_on_band_99", "0519FA00145000000FA00145000000",
                               "0519FA00145000000FA00145000000"},
                      LineCase{"empty_mark", "9", "9"},
                      // Only the first character marks an empty channel; it is never sent.
                      LineCase{"empty_mark_with_junk", "9\x01junk", "9\x01junk"},
                      LineCase{"empty_line", "", "9"}, LineCase{"transmit_command", "TX1;", "9"},
                      LineCase{"mode_0", "0006FA00014200000FA00014200000", "9"},
                      LineCase{"mode_6", "0606FA00014200000FA00014200000", "9"},
                      LineCase{"split_flag_2", "2206FA00014200000FA00014200000", "9"},
                      LineCase{"band_not_digits", "02x6FA00014200000FA00014200000", "9"},
                      LineCase{"junk_in_vfo_a", "0206TX1;000000000FA00014200000", "9"},
                      LineCase{"junk_in_vfo_b", "1206FA00014200000TX1;000000000", "9"},
                      LineCase{"one_short", "0206FA00014200000FA0001420000", "9"},
                      LineCase{"one_long", "0206FA00014200000FA000142000000", "9"},
                      LineCase{"nul_inside",
                               "0206FA00014\0"s
                               "00000FA00014200000",
                               "9"},
                      LineCase{"million_characters", kGoodChannel + std::string(1'000'000, '0'),
                               "9"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(DamagedMemoryFile, JunkNeverReachesTheRadioAndTheFileIsWrittenBackWhole) {
  PanelHarness h;
  h.fake.files.put("memory.dat",
                   memoryFileWith({{4, "TX1;"}, {12, "1506TX1;000000000TX1;000000000"}}));
  h.queueConnect();
  h.queueKeys({vk::letter('G'), vk::kDigit0});
  const auto story = h.runFromFirstKey(/*withPolls=*/false, /*withPrints=*/false);
  EXPECT_EQ(h.wireFrom(0).at(1), "FA00007100000;") << "the start-up sends the 40 m start value";
  // "G" goes on to the step stage, which sends the frequency; the channel itself is empty now.
  EXPECT_THAT(story, ElementsAre("gch", "> FA00014200000;", "0", "invalid"));
  const auto lines = firstLines(h.fake.files.contents("memory.dat"), 21, 254);
  EXPECT_EQ(lines[3], "FA00007100000");
  EXPECT_EQ(lines[11], "9");
  EXPECT_EQ(lines[12], kGoodChannel);
}

TEST(UnreadableMemoryFile, IsNeitherReplacedAtStartNorSavedOverAtExit) {
  PanelHarness h;
  const std::string theirs = memoryFileWith({{15, "1206FA00014200000FB00014250000"}});
  h.fake.files.put("memory.dat", theirs);
  h.fake.files.unreadableNames.insert("memory.dat");
  h.queueConnect();
  h.queueKeys({vk::letter('C'), vk::kDigit0 + 3});
  h.run();
  EXPECT_EQ(h.state().bandTable[4].str(), "FA00007100000") << "the start values are used";
  EXPECT_EQ(h.state().memoryChannels[3].str(), "0104FA00014200000FA00014200000");
  EXPECT_EQ(h.fake.files.contents("memory.dat"), theirs);
  EXPECT_TRUE(h.fake.transcript.linesWithPrefix("file.replace memory.dat").empty());
}

}  // namespace
}  // namespace orvane
