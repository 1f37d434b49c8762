// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace orvane {
namespace {

using namespace std::string_literals;

struct ConfigCase {
  const char* name;
  std::string file;
  std::int32_t comPort;
  std::int32_t baudRate;
  std::int32_t powerWatts;
  std::int32_t swrWording;
  const char* topBand;
  std::int32_t powerSwitch;
  std::int32_t debugLog;
};

std::ostream& operator<<(std::ostream& os, const ConfigCase& c) {
  return os << c.name;
}

class ConfigRules : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigRules, SettingsByFixedPositions) {
  const ConfigCase& c = GetParam();
  PanelState s;
  applyConfiguration(c.file, s);
  EXPECT_EQ(s.comPort, c.comPort);
  EXPECT_EQ(s.baudRate, c.baudRate);
  EXPECT_EQ(s.powerWatts, c.powerWatts);
  EXPECT_EQ(s.swrWording, c.swrWording);
  EXPECT_EQ(s.topBand.str(), c.topBand);
  EXPECT_EQ(s.powerSwitch, c.powerSwitch);
  EXPECT_EQ(s.debugLog, c.debugLog);
}

// Lines: port, speed, power, SWR wording, top band, power switch, debug log.
INSTANTIATE_TEST_SUITE_P(
    Lines, ConfigRules,
    ::testing::Values(
        ConfigCase{"typical_crlf",
                   "port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\n"
                   "switch 1\r\ndebug 1\r\n",
                   3, 9600, 100, 1, "7", 1, 1},
        ConfigCase{"lf_only", "port 3\nspeed 4800\npower 50\nswr 2\ntopband 6\nswitch 0\ndebug 0",
                   3, 4800, 50, 2, "6", 0, 0},
        ConfigCase{"cr_only", "port 3\rspeed 4800\rpower 5\rswr 0\rtopband 2\rswitch 1\rdebug 1", 3,
                   4800, 5, 0, "2", 1, 1},
        ConfigCase{"port12_on_six_chars", "port12\n", 12, 0, 0, 0, "", 0, 0},
        ConfigCase{"port_12_on_seven_chars_is_2", "port 12\n", 2, 0, 0, 0, "", 0, 0},
        ConfigCase{"port_12_on_five_chars_is_2", "pt 12\n", 2, 0, 0, 0, "", 0, 0},
        ConfigCase{"empty_port_line", "\nspeed 9600\n", 0, 9600, 0, 0, "", 0, 0},
        ConfigCase{"letter_as_port", "port x\n", 0, 0, 0, 0, "", 0, 0},
        ConfigCase{"speed_short_line", "port 3\nspeed\n", 3, 0, 0, 0, "", 0, 0},
        ConfigCase{"speed_six_chars", "port 3\nspeed9\n", 3, 0, 0, 0, "", 0, 0},
        ConfigCase{"speed_fraction_cut", "port 3\nspeed 9600.9\n", 3, 9600, 0, 0, "", 0, 0},
        ConfigCase{"speed_too_large_saturates", "port 3\nspeed 99999999999\n", 3, 2147483647, 0, 0,
                   "", 0, 0},
        ConfigCase{"power_nine_chars", "p\ns\npower 999\n", 0, 0, 999, 0, "", 0, 0},
        ConfigCase{"power_eight_chars", "p\ns\npower 50\n", 0, 0, 50, 0, "", 0, 0},
        ConfigCase{"power_seven_chars", "p\ns\npower 5\n", 0, 0, 5, 0, "", 0, 0},
        ConfigCase{"power_ten_chars_ignored", "p\ns\npower  100\n", 0, 0, 0, 0, "", 0, 0},
        ConfigCase{"power_six_chars_ignored", "p\ns\npower5\n", 0, 0, 0, 0, "", 0, 0},
        ConfigCase{"power_half_rounds_to_even_down", "p\ns\npower 2.5\n", 0, 0, 2, 0, "", 0, 0},
        ConfigCase{"power_half_rounds_to_even_up", "p\ns\npower 3.5\n", 0, 0, 4, 0, "", 0, 0},
        ConfigCase{"power_above_half_rounds_up", "p\ns\npower 2.6\n", 0, 0, 3, 0, "", 0, 0},
        ConfigCase{"debug_at_position_7", "\n\n\n\n\n\ndebug 1\n", 0, 0, 0, 0, "", 0, 1},
        ConfigCase{"debug_at_position_8_is_off", "\n\n\n\n\n\ndebug  1\n", 0, 0, 0, 0, "", 0, 0},
        ConfigCase{"power_switch_needs_exactly_1", "\n\n\n\n\npower  2\n", 0, 0, 0, 0, "", 2, 0},
        ConfigCase{"three_line_file", "port 3\nspeed 9600\npower 50\n", 3, 9600, 50, 0, "", 0, 0},
        ConfigCase{"extra_lines_ignored", "port 3\n\n\n\n\n\n\nport 9\n", 3, 0, 0, 0, "", 0, 0},
        ConfigCase{"long_line_cut_at_255", std::string(300, 'x') + "1\nspeed 1200\n", 0, 1200, 0, 0,
                   "", 0, 0},
        ConfigCase{"empty_file", "", 0, 0, 0, 0, "", 0, 0},
        // Damaged files: the same fixed positions, whatever the bytes.
        ConfigCase{"nul_bytes",
                   "port 3\0\nspeed 96\0"
                   "00\npower\0"
                   "50\n\0\0\0\0"
                   "2\n"s,
                   0, 96, 50, 2, "", 0, 0},
        ConfigCase{"picture_saved_as_config", "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\x03\x20\x08\x06"s,
                   0, 0, 0, 0, "", 0, 0},
        ConfigCase{"million_character_first_line",
                   std::string(1'000'000, '7') + "\nspeed 9600\npower 5\n", 7, 9600, 5, 0, "", 0,
                   0},
        ConfigCase{"million_characters_without_line_end", "port 3\n" + std::string(1'000'000, '4'),
                   3, 2147483647, 0, 0, "", 0, 0}));

TEST(Config, MissingFileLeavesEverySettingEmpty) {
  PanelState s;
  applyConfiguration(std::nullopt, s);
  EXPECT_EQ(s.comPort, 0);
  EXPECT_EQ(s.baudRate, 0);
  EXPECT_EQ(s.powerWatts, 0);
  EXPECT_TRUE(s.topBand.empty());
  EXPECT_EQ(s.debugLog, 0);
}

// The example that orvane-station puts into a new station is read as it stands: its comments come
// after the seventh line, where they cannot shift a value, and it sets what its comments say.
TEST(Config, StationExampleReadsAsItsCommentsSay) {
  std::ifstream in(ORVANE_SOURCE_DIR "/tools/station/orvane.cfg", std::ios::binary);
  ASSERT_TRUE(in);
  std::stringstream text;
  text << in.rdbuf();
  PanelState s;
  applyConfiguration(text.str(), s);
  EXPECT_EQ(s.comPort, 1);
  EXPECT_EQ(s.baudRate, 9600);
  EXPECT_EQ(s.powerWatts, 100);
  EXPECT_EQ(s.swrWording, 1);
  EXPECT_EQ(s.topBand.str(), "1");
  EXPECT_EQ(s.powerSwitch, 0);
  EXPECT_EQ(s.debugLog, 0);
}

}  // namespace
}  // namespace orvane
