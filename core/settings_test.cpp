// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include <gtest/gtest.h>

#include "platform/fake/fake_platform.h"

namespace orvane {
namespace {

TEST(SettingsTest, FileLinesCommentsAndProblems) {
  Settings s;
  std::vector<std::string> problems;
  s.readFile(
      "# the station's own settings\r\n"
      "\n"
      "   rig-server   8000  \r\n"
      "volume 3\n"
      "rig-server [::1]:99999\n"
      "rig-server 0.0.0.0:4533",
      problems);
  EXPECT_EQ(s.value("rig-server"), "0.0.0.0:4533");  // the last good line wins
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0], "settings.cfg line 4: unknown setting \"volume\"; left out");
  EXPECT_EQ(problems[1].rfind("settings.cfg line 5: rig-server takes ", 0), 0u) << problems[1];
  EXPECT_FALSE(s.value("volume"));
}

TEST(SettingsTest, CommandLineOptionsWinAndTheRestIsKept) {
  Settings s;
  std::vector<std::string> problems;
  s.readFile("rig-server off\n", problems);
  const auto rest = s.takeOptions({"--terminal", "--rig-server", "-t", "--rig-server=9000",
                                   "--rig-server", "bad host", "--rig-server"},
                                  problems);
  EXPECT_EQ(rest, (std::vector<std::string>{"--terminal", "-t"}));
  EXPECT_EQ(s.value("rig-server"), "on");  // a bare option at the end: its bare value
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("not \"bad host\""), std::string::npos) << problems[0];

  Settings t;
  t.takeOptions({"--rig-server", "--terminal"}, problems);
  EXPECT_EQ(t.value("rig-server"), "on");  // "--terminal" is the next option, not the value
}

TEST(SettingsTest, TheRadiosLineThroughARigServer) {
  struct Case {
    std::vector<std::string> options;
    std::optional<std::pair<std::string, int>> server;
    int fullPower;
    std::size_t problems;
  };
  const Case cases[] = {
      {{}, std::nullopt, 0, 0},
      {{"--rig", "192.168.1.20:4533"}, std::pair{"192.168.1.20", 4533}, 0, 0},
      {{"--rig=4600", "--rig-power", "10"}, std::pair{"localhost", 4600}, 10, 0},
      {{"--rig", "shack.local"}, std::pair{"shack.local", 4532}, 0, 0},
      {{"--rig", "shack:4532", "--rig", "off"}, std::nullopt, 0, 0},
      // The panel's own server is another setting, not a rig server named "-server".
      {{"--rig-server=9000"}, std::nullopt, 0, 0},
      {{"--rig", "on"}, std::pair{"localhost", 4532}, 0, 0},
      {{"--rig", "--rig-power", "25"}, std::pair{"localhost", 4532}, 25, 0},
      {{"--rig", "bad host"}, std::nullopt, 0, 1},
      {{"--rig-power", "0"}, std::nullopt, 0, 1},
      {{"--rig-power", "10001"}, std::nullopt, 0, 1},
      {{"--rig-power", "5W"}, std::nullopt, 0, 1},
  };
  for (const Case& c : cases) {
    Settings s;
    std::vector<std::string> problems;
    s.readFile("rig-power 100\nrig-power 50\n", problems);
    const std::vector<std::string> rest = s.takeOptions(c.options, problems);
    EXPECT_TRUE(rest.empty()) << c.options.size();
    const std::optional<RigServerAddress> server = rigServerAddress(s);
    ASSERT_EQ(server.has_value(), c.server.has_value()) << testing::PrintToString(c.options);
    if (server) {
      EXPECT_EQ(server->host, c.server->first);
      EXPECT_EQ(server->port, c.server->second);
    }
    // The file said 50 W (its last line); the command line wins when it gives a good value.
    EXPECT_EQ(rigFullPowerWatts(s), c.fullPower != 0 ? c.fullPower : 50)
        << testing::PrintToString(c.options);
    EXPECT_EQ(problems.size(), c.problems) << testing::PrintToString(c.options);
  }
}

TEST(SettingsTest, HostAndPortForms) {
  const HostAndPort d{"127.0.0.1", 4532};
  struct Case {
    const char* text;
    std::optional<std::pair<std::string, int>> want;
  };
  const Case cases[] = {
      {"4533", std::pair{"127.0.0.1", 4533}},
      {"0.0.0.0", std::pair{"0.0.0.0", 4532}},
      {"192.168.1.5:4000", std::pair{"192.168.1.5", 4000}},
      {"radio.local:4532", std::pair{"radio.local", 4532}},
      {"[::1]:4600", std::pair{"::1", 4600}},
      {"[::1]", std::pair{"::1", 4532}},
      {"::1", std::pair{"::1", 4532}},
      {"", std::nullopt},
      {"0", std::nullopt},
      {"65536", std::nullopt},
      {"host:", std::nullopt},
      {":4532", std::nullopt},
      {"host:12x", std::nullopt},
      {"[::1", std::nullopt},
      {"[::1]4532", std::nullopt},
      {"a b:1", std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = parseHostAndPort(c.text, d);
    if (!c.want) {
      EXPECT_FALSE(got) << c.text;
      continue;
    }
    ASSERT_TRUE(got) << c.text;
    EXPECT_EQ(got->host, c.want->first) << c.text;
    EXPECT_EQ(got->port, c.want->second) << c.text;
  }
}

TEST(SettingsTest, Percent) {
  EXPECT_EQ(parsePercent("200", 100, 300), 200);
  EXPECT_EQ(parsePercent("150%", 100, 300), 150);
  EXPECT_FALSE(parsePercent("99", 100, 300));
  EXPECT_FALSE(parsePercent("301%", 100, 300));
  EXPECT_FALSE(parsePercent("2x", 100, 300));
  EXPECT_FALSE(parsePercent("%", 100, 300));
}

}  // namespace
TEST(SettingsTest, SpeechSettingsTakeTheirValuesOnly) {
  struct Case {
    const char* name;
    const char* value;
    bool taken;
  };
  const Case cases[] = {
      {"speech", "clips", true},    {"speech", "system", true},    {"speech", "System", false},
      {"speech", "", false},        {"speech-rate", "off", true},  {"speech-rate", "-100", true},
      {"speech-rate", "+55", true}, {"speech-rate", "101", false}, {"speech-rate", "fast", false},
      {"clip-rate", "100", true},   {"clip-rate", "300%", true},   {"clip-rate", "99", false},
      {"clip-rate", "301", false},  {"clip-rate", "2x", false},
  };
  for (const Case& c : cases) {
    Settings settings;
    EXPECT_EQ(!settings.set(c.name, c.value).has_value(), c.taken) << c.name << " " << c.value;
  }
}

TEST(SettingsTest, TheStationsFileThenTheCommandLine) {
  fake::FakePlatform fake;
  fake.files.put("settings.cfg", "clip-rate 250\nspeech system\n");
  Settings settings;
  std::vector<std::string> problems;
  const auto rest =
      settings.readStation(fake.files, {"--clip-rate=150", "-t", "--speech-rate=-20"}, problems);
  EXPECT_EQ(rest, (std::vector<std::string>{"-t"}));
  EXPECT_TRUE(problems.empty());
  EXPECT_EQ(settings.clipRate(), 150);
  EXPECT_EQ(settings.value("speech"), "system");
  EXPECT_EQ(settings.value("speech-rate"), "-20");
  EXPECT_EQ(Settings().clipRate(), 100);
}

}  // namespace orvane
