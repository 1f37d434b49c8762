// SPDX-License-Identifier: GPL-3.0-or-later
// The waveOut clip player. Under Wine (tests/win32/wine_run.sh) the sound device is an ALSA device
// that takes the samples in real time; with ORVANE_WINE_SOUND_CAPTURE it also writes them to that
// file, which the tests then read back through Wine's drive Z:.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_network.h"
#include "platform/win32/win32_sound.h"

namespace orvane {
namespace {

using Clock = std::chrono::steady_clock;

std::string le(std::uint32_t value, int width) {
  std::string out;
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

// A clip of `frames` samples of one value, 16-bit mono at 22050 Hz.
std::string wavFile(std::uint32_t frames, std::int16_t value) {
  std::string samples;
  for (std::uint32_t i = 0; i < frames; ++i) samples += le(static_cast<std::uint16_t>(value), 2);
  const std::string fmt = le(1, 2) + le(1, 2) + le(22050, 4) + le(44100, 4) + le(2, 2) + le(16, 2);
  return "RIFF" + le(static_cast<std::uint32_t>(36 + samples.size()), 4) + "WAVEfmt " + le(16, 4) +
         fmt + "data" + le(static_cast<std::uint32_t>(samples.size()), 4) + samples;
}

std::string writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
  return name;
}

std::chrono::milliseconds since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

struct Stretch {
  std::int16_t value;
  std::size_t frames;
  bool operator==(const Stretch&) const = default;
};

// The captured samples as runs of equal values: one run per clip, silence as runs of 0.
std::vector<Stretch> capturedStretches(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::vector<Stretch> runs;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto value = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
    if (runs.empty() || runs.back().value != value) runs.push_back(Stretch{value, 0});
    ++runs.back().frames;
  }
  return runs;
}

TEST(Win32Sound, AClipThatCannotBeReadIsSilentAndReturnsAtOnce) {
  const std::string damaged = writeFile("orvane-damaged.wav", wavFile(2205, 1000).substr(0, 30));
  const std::string notWav = writeFile("orvane-text.wav", "port 3\r\nspeed 9600\r\n");
  Win32Sound sound;
  const auto start = Clock::now();
  for (const std::string& path : {std::string("orvane-missing.wav"), damaged, notWav}) {
    EXPECT_FALSE(sound.playBlocking(path)) << path;
    EXPECT_FALSE(sound.playNoWait(path)) << path;
  }
  sound.stop();
  EXPECT_LT(since(start), std::chrono::milliseconds(500));
  std::remove(damaged.c_str());
  std::remove(notWav.c_str());
}

TEST(Win32Sound, AReadoutIsHeardWholeInOrderWithoutGapsAndHelpIsCutOffByTheNextClip) {
  const char* capture = std::getenv("ORVANE_WINE_SOUND_CAPTURE");
  if (capture == nullptr) GTEST_SKIP() << "no capture of the sound device";
  std::vector<std::string> clips;
  for (int value : {1000, 2000, 3000})
    clips.push_back(writeFile("orvane-" + std::to_string(value) + ".wav",
                              wavFile(2205, static_cast<std::int16_t>(value))));
  const std::string help = writeFile("orvane-help.wav", wavFile(22050 * 20, 4000));
  const std::string last = writeFile("orvane-last.wav", wavFile(1103, 5000));
  {
    Win32Sound sound;
    for (const std::string& clip : clips) ASSERT_TRUE(sound.playBlocking(clip));
    ASSERT_TRUE(sound.playNoWait(help));
    const auto cut = Clock::now();
    ::Sleep(300);  // the operator listens to the help for a while
    sound.stop();
    ASSERT_TRUE(sound.playBlocking(last));
    // Twenty seconds of help were not waited for.
    EXPECT_LT(since(cut), std::chrono::milliseconds(1300));
  }  // the last clip plays out before the device is closed

  std::vector<Stretch> runs = capturedStretches(std::string("Z:") + capture);
  // The device may have been started with silence; everything after it is what was played.
  if (!runs.empty() && runs.front().value == 0) runs.erase(runs.begin());
  ASSERT_GE(runs.size(), 4u);
  const std::vector<Stretch> readout(runs.begin(), runs.begin() + 3);
  EXPECT_EQ(readout, (std::vector<Stretch>{{1000, 2205}, {2000, 2205}, {3000, 2205}}));
  // Help may start after a moment of silence; it was heard, and cut off.
  const auto helpHeard =
      std::find_if(runs.begin() + 3, runs.end(), [](Stretch r) { return r.value; });
  ASSERT_NE(helpHeard, runs.end());
  EXPECT_EQ(helpHeard->value, 4000);
  EXPECT_LT(helpHeard->frames, 22050u * 20);
  const auto lastHeard =
      std::find_if(runs.rbegin(), runs.rend(), [](Stretch r) { return r.value; });
  EXPECT_EQ(*lastHeard, (Stretch{5000, 1103}));
  for (const std::string& clip : clips) std::remove(clip.c_str());
  std::remove(help.c_str());
  std::remove(last.c_str());
}

// The network served from inside a blocking clip's wait, as main_win32 sets it up: a client's line,
// sent before the clip starts, is answered before the clip has played out.
TEST(Win32Sound, AClientIsAnsweredWhileAClipPlays) {
  Win32Network network;
  std::string whyNot;
  std::unique_ptr<Listener> listener = network.listen("127.0.0.1", 0, whyNot);
  ASSERT_NE(listener, nullptr) << whyNot;
  const std::string name = listener->localName();
  std::unique_ptr<Connection> client =
      network.connect("127.0.0.1", std::stoi(name.substr(name.rfind(':') + 1)), whyNot);
  ASSERT_NE(client, nullptr) << whyNot;
  ASSERT_TRUE(client->send("f\n"));

  const std::string clip = writeFile("orvane-long.wav", wavFile(22050 * 3, 1000));
  const std::string other = writeFile("orvane-other.wav", wavFile(2205, 2000));
  Win32Sound sound;
  std::unique_ptr<Connection> server;
  std::string heard;
  std::optional<bool> nestedPlay;
  network.setActivityHandler([&] {
    if (!server) server = listener->accept();
    if (!server) return;
    for (std::string bytes; !(bytes = server->receive(64)).empty();) {
      heard += bytes;
      server->send("RPRT 0\n");
      if (!nestedPlay) nestedPlay = sound.playBlocking(other);
    }
  });
  sound.serveWhileWaiting(network.waitHandle(), [&network] { network.dispatch(); });
  // Nothing else serves the network here: only the clip's wait can have answered.
  EXPECT_TRUE(sound.playBlocking(clip));
  EXPECT_EQ(heard, "f\n");
  EXPECT_EQ(nestedPlay, std::optional<bool>(false)) << "a clip asked for inside the wait played";
  sound.serveWhileWaiting(nullptr, nullptr);
  std::remove(clip.c_str());
  std::remove(other.c_str());
}

}  // namespace
}  // namespace orvane
