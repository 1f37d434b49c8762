// SPDX-License-Identifier: GPL-3.0-or-later
// The rig server inside the whole panel: started from the setting, served while clips play,
// its notices spoken from the tick, and the radio put back to receive before the panel ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/panel_harness.h"

namespace orvane {
namespace {

using test::PanelHarness;
using ::testing::ElementsAre;

constexpr char kDebugConfig[] =
    "port 3\r\nspeed 9600\r\npower 100\r\nswr 1\r\ntopband 7\r\nswitch 1\r\ndebug 1\r\n";

std::vector<std::string> netLines(const fake::FakeFileSystem& files) {
  std::vector<std::string> out;
  const std::string& all = files.contents("debug.dat");
  for (std::size_t start = 0, end; (end = all.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    if (all.compare(start, 4, "NET=") == 0) out.push_back(all.substr(start, end - start));
  }
  return out;
}

TEST(RigServerInPanel, AClientsCommandDuringAKeysClipLeavesThatKeysCommandWhole) {
  PanelHarness h;
  h.settings.set("rig-server", "on");
  std::shared_ptr<fake::FakePeer> client;
  // The CW spot key puts its command in commandText, says "spot", then sends: the client's
  // frequency command arrives while "spot" plays.
  h.fake.sound.whilePlaying = [&](const std::string& path) {
    if (path == "wave/usb.wav") client = h.fake.network.arrive(4532);
    if (path != "wave/spot.wav" || !client) return;
    client->write("F 7074000\n");
    h.fake.network.activity();
  };
  h.queueConnect();
  h.queueKeys({'M', 'M', vk::kF6});
  const auto story = h.runFromFirstKey(false, false);
  EXPECT_THAT(story,
              ElementsAre("> MD2;", "usb", "> MD3;", "cw", "spot", "> FA00007074000;", "> SWT28;"));
  EXPECT_EQ(client->takeReceived(), "RPRT 0\n");
}

TEST(RigServerInPanel, TransmitIsSaidAtTheTickAndTheShutDownSendsReceiveFirst) {
  PanelHarness h(kDebugConfig);
  h.settings.set("rig-server", "on");
  std::shared_ptr<fake::FakePeer> client;
  int ticks = 0;
  h.fake.window.beforeEachEvent = [&](const WindowEvent& e) {
    if (e.kind != WindowEventKind::TimerTick) return;
    if (++ticks == 3) {
      client = h.fake.network.arrive(4532, "127.0.0.1:40000");
      client->write("T 1\n");
      h.fake.network.activity();
    }
  };
  h.fake.window.queueTicks(4);
  h.fake.window.queueKey('Q');
  const std::size_t start = h.mark();
  h.run();
  std::vector<std::string> story = h.storyFrom(start, true);
  std::erase_if(story, [](const std::string& s) { return s.rfind("print", 0) == 0; });
  const auto tx = std::find(story.begin(), story.end(), "> TX;");
  ASSERT_NE(tx, story.end());
  // The notice opens the next tick, before its poll; the shut-down's first command is "RX".
  EXPECT_EQ(*(tx + 1), "transmit");
  const auto quit = std::find(story.begin(), story.end(), "quit");
  ASSERT_NE(quit, story.end());
  EXPECT_EQ(*(quit + 1), "> RX;");
  EXPECT_EQ(*(quit + 2), "window.close");
  EXPECT_EQ(std::count(story.begin(), story.end(), "> PS9;"), 1);
  EXPECT_THAT(netLines(h.fake.files),
              ElementsAre("NET=listening on 127.0.0.1:4532", "NET=client 127.0.0.1:40000 arrived",
                          "NET=client 127.0.0.1:40000 left"));
}

TEST(RigServerInPanel, ARefusedListenIsToldOnceAndThePanelGoesOn) {
  PanelHarness h(kDebugConfig);
  h.settings.set("rig-server", "127.0.0.1:4600");
  h.fake.network.refused.insert("127.0.0.1:4600");
  h.queueConnect();
  h.queueKeys({'F'});
  h.panel = std::make_unique<Panel>(h.fake.platform(), h.settings);
  std::vector<std::string> told;
  h.panel->setProblemReporter([&](const std::string& text) { told.push_back(text); });
  h.panel->run();
  EXPECT_THAT(told, ElementsAre("rig server: cannot listen on 127.0.0.1:4600: Address already in "
                                "use; going on without it"));
  EXPECT_THAT(netLines(h.fake.files),
              ElementsAre("NET=cannot listen on 127.0.0.1:4600: Address already in use"));
  EXPECT_GT(h.fake.transcript.linesWithPrefix("clip wave/connected").size(), 0u);
}

TEST(RigServerInPanel, OffByDefault) {
  PanelHarness h;
  h.queueConnect();
  h.run();
  EXPECT_TRUE(h.fake.transcript.linesWithPrefix("net.").empty());
}

}  // namespace
}  // namespace orvane
