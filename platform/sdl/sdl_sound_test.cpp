// SPDX-License-Identifier: GPL-3.0-or-later
// Clip playback through SDL's disk audio driver, which writes the device's samples to a file in
// real time: what comes out of the "speaker" can be read back sample for sample.
#include "platform/sdl/sdl_sound.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/loopback_client.h"
#include "platform/posix/posix_network.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

struct WavFormat {
  int rate = SdlSound::kRate;
  int channels = 1;
  int bits = 16;
};

void putLE(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A PCM WAV file; samples are interleaved, 16-bit values (8-bit files take value/256+128).
// claimedDataBytes, when given, is what the header says the data chunk holds.
std::string wavBytes(const std::vector<std::int16_t>& samples, WavFormat f = {},
                     std::optional<std::uint32_t> claimedDataBytes = std::nullopt) {
  std::string out;
  const auto bytesPerSample = static_cast<std::uint32_t>(f.bits / 8);
  const auto dataBytes =
      claimedDataBytes.value_or(static_cast<std::uint32_t>(samples.size()) * bytesPerSample);
  const auto channels = static_cast<std::uint32_t>(f.channels);
  const auto rate = static_cast<std::uint32_t>(f.rate);
  out += "RIFF";
  putLE(out, 36 + dataBytes, 4);
  out += "WAVEfmt ";
  putLE(out, 16, 4);
  putLE(out, 1, 2);
  putLE(out, channels, 2);
  putLE(out, rate, 4);
  putLE(out, rate * channels * bytesPerSample, 4);
  putLE(out, channels * bytesPerSample, 2);
  putLE(out, static_cast<std::uint32_t>(f.bits), 2);
  out += "data";
  putLE(out, dataBytes, 4);
  for (std::int16_t s : samples) {
    if (f.bits == 8) {
      putLE(out, static_cast<std::uint32_t>(s / 256 + 128), 1);
    } else {
      putLE(out, static_cast<std::uint16_t>(s), 2);
    }
  }
  return out;
}

void writeWav(const fs::path& path, const std::vector<std::int16_t>& samples, WavFormat f = {}) {
  std::ofstream(path, std::ios::binary) << wavBytes(samples, f);
}

// A clip whose samples say which clip they belong to and where in it they are; never zero, so the
// silence between clips can be told from the clips.
std::vector<std::int16_t> pattern(int clip, std::size_t frames) {
  std::vector<std::int16_t> s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    s[i] = static_cast<std::int16_t>(clip * 1000 + static_cast<int>(i % 499) + 1);
  }
  return s;
}

// The disk driver's output, taken through a pipe: the driver starts its file afresh each time the
// device is opened, and the player closes and opens the device as it goes.
class Speaker {
 public:
  Speaker() {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    readEnd_ = fds[0];
    writeEnd_ = fds[1];
    reader_ = std::thread([this] {
      char buffer[4096];
      ssize_t n = 0;
      while ((n = ::read(readEnd_, buffer, sizeof buffer)) > 0) {
        std::lock_guard lock(mutex_);
        bytes_.insert(bytes_.end(), buffer, buffer + n);
      }
    });
  }
  ~Speaker() {
    heard();
    ::close(readEnd_);
  }
  // The name under which the driver opens the pipe.
  std::string path() const { return "/proc/self/fd/" + std::to_string(writeEnd_); }
  std::size_t framesSoFar() {
    std::lock_guard lock(mutex_);
    return bytes_.size() / 2;
  }
  // Everything played, once the player is gone.
  std::vector<std::int16_t> heard() {
    if (writeEnd_ >= 0) ::close(std::exchange(writeEnd_, -1));
    if (reader_.joinable()) reader_.join();
    std::vector<std::int16_t> samples(bytes_.size() / 2);
    std::memcpy(samples.data(), bytes_.data(), samples.size() * 2);
    return samples;
  }

 private:
  int readEnd_ = -1;
  int writeEnd_ = -1;
  std::thread reader_;
  std::mutex mutex_;
  std::vector<char> bytes_;
};

class DiskSound : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("orvane_sound_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", speaker_.path().c_str(), 1);
  }
  void TearDown() override {
    unsetenv("SDL_AUDIODRIVER");
    unsetenv("SDL_DISKAUDIOFILE");
    fs::remove_all(dir_);
  }
  std::string clipFile(const std::string& name, const std::vector<std::int16_t>& samples,
                       WavFormat f = {}) {
    const fs::path path = dir_ / name;
    writeWav(path, samples, f);
    return path.string();
  }
  // What the speaker played; only once the player is gone.
  std::vector<std::int16_t> heard() { return speaker_.heard(); }

  Speaker speaker_;
  fs::path dir_;
};

struct SoundRun {
  std::size_t start = 0;
  std::vector<std::int16_t> samples;
};

// The stretches of sound in the output, split wherever silence lies between them.
std::vector<SoundRun> soundRuns(const std::vector<std::int16_t>& out) {
  std::vector<SoundRun> runs;
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (out[i] == 0) continue;
    if (runs.empty() || i != runs.back().start + runs.back().samples.size()) {
      runs.push_back(SoundRun{i, {}});
    }
    runs.back().samples.push_back(out[i]);
  }
  return runs;
}

// Everything that sounded, the silences left out.
std::vector<std::int16_t> allSound(const std::vector<std::int16_t>& out) {
  std::vector<std::int16_t> sound;
  for (const SoundRun& r : soundRuns(out)) {
    sound.insert(sound.end(), r.samples.begin(), r.samples.end());
  }
  return sound;
}

std::vector<std::int16_t> joined(std::initializer_list<const std::vector<std::int16_t>*> parts) {
  std::vector<std::int16_t> all;
  for (const auto* p : parts) all.insert(all.end(), p->begin(), p->end());
  return all;
}

// The longest silence between consecutive clips in the output, in frames, with a line for the
// test's log.
std::size_t largestGap(const std::vector<std::int16_t>& out, int bufferFrames, int clips) {
  const auto runs = soundRuns(out);
  std::size_t gapTotal = 0, gapMax = 0;
  for (std::size_t i = 1; i < runs.size(); ++i) {
    const std::size_t gap = runs[i].start - (runs[i - 1].start + runs[i - 1].samples.size());
    gapTotal += gap;
    gapMax = std::max(gapMax, gap);
  }
  std::cout << "device buffer " << bufferFrames << " frames; " << runs.size()
            << " stretches of sound for " << clips << " clips; silence between clips: total "
            << gapTotal << " frames, largest " << gapMax << " frames ("
            << static_cast<double>(gapMax) * 1000.0 / SdlSound::kRate << " ms)\n";
  return gapMax;
}

TEST_F(DiskSound, BlockingClipsInARowComeOutWholeInOrderWithoutGaps) {
  const auto a = pattern(1, 1500), b = pattern(2, 2205), c = pattern(3, 1000);
  const std::string fa = clipFile("a.wav", a), fb = clipFile("b.wav", b), fc = clipFile("c.wav", c);
  int bufferFrames = 0;
  {
    SdlSound sound;
    ASSERT_TRUE(sound.hasDevice());
    bufferFrames = sound.deviceBufferFrames();
    EXPECT_TRUE(sound.playBlocking(fa));
    EXPECT_TRUE(sound.playBlocking(fb));
    EXPECT_TRUE(sound.playBlocking(fc));
    // And again from the cache, with one clip twice.
    EXPECT_TRUE(sound.playBlocking(fc));
    EXPECT_TRUE(sound.playBlocking(fa));
  }
  const auto out = heard();
  EXPECT_EQ(allSound(out), joined({&a, &b, &c, &c, &a})) << "every sample of every clip, in order";
  // A late append could insert at most about a buffer of silence; waiting for the queue to run
  // dry inserts several.
  EXPECT_LE(largestGap(out, bufferFrames, 5), static_cast<std::size_t>(bufferFrames));
}

// The panel's network, served from inside a blocking play's wait as main sets it up: a listener on
// the loopback interface whose clients get "RPRT 0" for every line they send.
class ServedNetwork {
 public:
  explicit ServedNetwork(SdlSound& sound) : sound_(sound) {
    std::string whyNot;
    listener_ = network_.listen("127.0.0.1", 0, whyNot);
    EXPECT_NE(listener_, nullptr) << whyNot;
    network_.setActivityHandler([this] { serve(); });
    sound.serveWhileWaiting(network_.waitFd(), [this] { network_.dispatch(); });
  }
  ~ServedNetwork() { sound_.serveWhileWaiting(-1, nullptr); }
  ServedNetwork(const ServedNetwork&) = delete;
  ServedNetwork& operator=(const ServedNetwork&) = delete;
  int port() const {
    const std::string name = listener_ ? listener_->localName() : ":0";
    return std::stoi(name.substr(name.rfind(':') + 1));
  }
  // Waits, without serving it, until the network has news.
  bool hasNews() {
    pollfd fd{network_.waitFd(), POLLIN, 0};
    return ::poll(&fd, 1, 10000) == 1;
  }
  // Serves the network as the panel's event wait does, until done() holds.
  void serveUntil(const std::function<bool()>& done) {
    while (!done()) {
      pollfd fd{network_.waitFd(), POLLIN, 0};
      ::poll(&fd, 1, 10);
      network_.dispatch();
    }
  }
  int linesAnswered() const { return answered_; }
  // What a clip asked for from inside the network's handler did.
  std::optional<bool> nestedPlay() const { return nestedPlay_; }
  std::string nestedClip;

 private:
  void serve() {
    while (auto client = listener_->accept()) clients_.push_back(std::move(client));
    for (auto& client : clients_) {
      for (std::string bytes; !(bytes = client->receive(256)).empty();) {
        for (char c : bytes) {
          if (c != '\n') continue;
          client->send("RPRT 0\n");
          ++answered_;
          if (!nestedClip.empty() && !nestedPlay_) nestedPlay_ = sound_.playBlocking(nestedClip);
        }
      }
    }
  }

  SdlSound& sound_;
  PosixNetwork network_;
  std::unique_ptr<Listener> listener_;
  std::vector<std::unique_ptr<Connection>> clients_;
  int answered_ = 0;
  std::optional<bool> nestedPlay_;
};

TEST_F(DiskSound, AClientIsAnsweredWhileALongClipPlays) {
  const auto help = pattern(5, SdlSound::kRate), a = pattern(1, 800);
  const std::string fhelp = clipFile("help.wav", help), fa = clipFile("a.wav", a);
  std::atomic<bool> playing{true};
  std::atomic<bool> answeredWhilePlaying{false};
  {
    SdlSound sound;
    ServedNetwork network(sound);
    network.nestedClip = fa;
    // The client's line is on its way before the clip starts: only the clip's wait can answer it.
    testing::LoopbackClient client(network.port());
    ASSERT_TRUE(client.connected() && client.send("f\n"));
    ASSERT_TRUE(network.hasNews());
    std::thread listening([&] {
      const std::string answer = client.receive(64, std::chrono::seconds(10));
      answeredWhilePlaying = answer == "RPRT 0\n" && playing;
    });
    EXPECT_TRUE(sound.playBlocking(fhelp));
    playing = false;
    listening.join();
    EXPECT_EQ(network.linesAnswered(), 1);
    EXPECT_EQ(network.nestedPlay(), std::optional<bool>(false))
        << "a clip asked for inside the wait of another must play nothing";
  }
  EXPECT_TRUE(answeredWhilePlaying) << "the client waited for the clip to end";
  EXPECT_EQ(allSound(heard()), help) << "the clip plays whole, and nothing else";
}

TEST_F(DiskSound, AReadoutIsGaplessWhileAClientKeepsAsking) {
  const auto a = pattern(1, 1500), b = pattern(2, 2205), c = pattern(3, 1000);
  const std::string fa = clipFile("a.wav", a), fb = clipFile("b.wav", b), fc = clipFile("c.wav", c);
  int bufferFrames = 0;
  int answers = 0;
  {
    SdlSound sound;
    ASSERT_TRUE(sound.hasDevice());
    bufferFrames = sound.deviceBufferFrames();
    ServedNetwork network(sound);
    testing::LoopbackClient client(network.port());
    ASSERT_TRUE(client.connected());
    // A digital-mode program asking for the frequency over and over while the readout runs.
    std::atomic<bool> reading{true};
    std::atomic<bool> asked{false};
    std::thread asking([&] {
      while (reading && client.send("f\n")) {
        if (client.receive(64, std::chrono::seconds(10)).empty()) break;
        ++answers;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      asked = true;
    });
    for (const std::string* clip : {&fa, &fb, &fc, &fc, &fa})
      EXPECT_TRUE(sound.playBlocking(*clip));
    reading = false;
    // The last question may come after the last clip: the panel's event wait answers it.
    network.serveUntil([&] { return asked.load(); });
    asking.join();
  }
  std::cout << answers << " questions answered during the readout\n";
  EXPECT_GT(answers, 0) << "the client was never answered during the readout";
  const auto out = heard();
  EXPECT_EQ(allSound(out), joined({&a, &b, &c, &c, &a})) << "every sample of every clip, in order";
  EXPECT_LE(largestGap(out, bufferFrames, 5), static_cast<std::size_t>(bufferFrames));
}

// An open device keeps its thread writing silence; the player lets it go when there is nothing to
// say, and the next clip opens it again and plays whole.
TEST_F(DiskSound, TheDeviceIsLetGoWhenQuietAndOpenedAgainForTheNextClip) {
  const auto a = pattern(1, 1000), b = pattern(2, 1500);
  const std::string fa = clipFile("a.wav", a), fb = clipFile("b.wav", b);
  {
    SdlSound sound;
    ASSERT_TRUE(sound.hasDevice());
    EXPECT_TRUE(sound.playBlocking(fa));
    SDL_Delay(static_cast<Uint32>(SdlSound::kQuietBeforeClosing.count()) + 700);
    const std::size_t written = speaker_.framesSoFar();
    SDL_Delay(500);
    EXPECT_EQ(speaker_.framesSoFar(), written) << "the device still runs";
    EXPECT_TRUE(sound.playBlocking(fb));
    EXPECT_TRUE(sound.hasDevice());
  }
  EXPECT_EQ(allSound(heard()), joined({&a, &b}));
}

TEST_F(DiskSound, ANoWaitClipIsCutByTheNextClipAndByStop) {
  const auto help = pattern(5, SdlSound::kRate * 2), a = pattern(1, 800), b = pattern(2, 600);
  const std::string fhelp = clipFile("help.wav", help), fa = clipFile("a.wav", a),
                    fb = clipFile("b.wav", b);
  {
    SdlSound sound;
    EXPECT_TRUE(sound.playNoWait(fhelp));
    SDL_Delay(150);
    EXPECT_TRUE(sound.playBlocking(fa));  // cuts the help clip
    EXPECT_TRUE(sound.playNoWait(fhelp));
    SDL_Delay(150);
    sound.stop();
    SDL_Delay(100);
    EXPECT_TRUE(sound.playBlocking(fb));
  }
  const auto sound = allSound(heard());
  // help (part), a, help (part), b.
  auto cursor = sound.begin();
  auto helpPart = [&]() {
    std::size_t n = 0;
    while (cursor != sound.end() && *cursor >= 5000 && *cursor < 6000) {
      EXPECT_EQ(*cursor, help[n]) << "the help clip plays from its start, in order";
      ++cursor;
      ++n;
    }
    return n;
  };
  auto clip = [&](const std::vector<std::int16_t>& c) {
    ASSERT_GE(static_cast<std::size_t>(sound.end() - cursor), c.size());
    EXPECT_TRUE(std::equal(c.begin(), c.end(), cursor));
    cursor += static_cast<std::ptrdiff_t>(c.size());
  };
  const std::size_t firstHelp = helpPart();
  clip(a);
  const std::size_t secondHelp = helpPart();
  clip(b);
  EXPECT_EQ(cursor, sound.end());
  std::cout << "help clip heard for " << firstHelp << " and " << secondHelp << " of " << help.size()
            << " frames\n";
  EXPECT_GT(firstHelp, 0u);
  EXPECT_LT(firstHelp, help.size() / 2);
  EXPECT_GT(secondHelp, 0u);
  EXPECT_LT(secondHelp, help.size() / 2);
}

TEST_F(DiskSound, MissingDamagedOrEmptyFilesPlayNothing) {
  const std::string garbage = (dir_ / "garbage.wav").string();
  std::ofstream(garbage) << "this is no RIFF file at all";
  const std::string empty = (dir_ / "empty.wav").string();
  std::ofstream{empty};
  const auto a = pattern(1, 500);
  const std::string fa = clipFile("a.wav", a);
  {
    SdlSound sound;
    ASSERT_TRUE(sound.hasDevice());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(sound.playBlocking((dir_ / "missing.wav").string()));
    EXPECT_FALSE(sound.playNoWait((dir_ / "missing.wav").string()));
    EXPECT_FALSE(sound.playBlocking((dir_ / "no_such_dir" / "on.wav").string()));
    EXPECT_FALSE(sound.playBlocking(garbage));
    EXPECT_FALSE(sound.playBlocking(empty));
    EXPECT_FALSE(sound.playBlocking(dir_.string()));
    std::cout << "six failed plays took "
              << std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() -
                                                           started)
                     .count()
              << " ms\n";
    EXPECT_TRUE(sound.playBlocking(fa)) << "and the player still works";
  }
  EXPECT_EQ(allSound(heard()), a);
}

// Clips damaged in the ways files get damaged: what is whole of them plays, the rest is silent,
// and the player goes on.
TEST_F(DiskSound, DamagedClipsPlayWhatIsWholeOfThemAndNothingElse) {
  const auto a = pattern(1, 1000);
  const std::string whole = wavBytes(a);
  constexpr std::size_t kHeader = 44;
  std::string mp3InWav = whole;
  mp3InWav[20] = 0x55;  // format tag: MPEG layer 3 inside a RIFF file
  std::string noChannels = whole;
  noChannels[22] = 0;
  const struct {
    const char* name;
    std::string bytes;
    std::size_t framesHeard;  // 0: nothing plays
  } cases[] = {
      {"header_cut", whole.substr(0, 30), 0},
      {"data_cut_mid_sample", whole.substr(0, kHeader + 2 * 400 + 1), 400},
      {"data_shorter_than_claimed", wavBytes(a, {}, 4'000'000), 1000},
      {"mp3_file", "ID3\x04\x00\x00\x00\x00\x00\x0f\xff\xfb\x90\x64" + std::string(400, '\x55'), 0},
      {"mp3_in_a_riff_file", mp3InWav, 0},
      {"no_channels", noChannels, 0},
  };
  std::vector<std::int16_t> expected;
  {
    SdlSound sound;
    ASSERT_TRUE(sound.hasDevice());
    for (const auto& c : cases) {
      SCOPED_TRACE(c.name);
      const fs::path path = dir_ / (std::string(c.name) + ".wav");
      std::ofstream(path, std::ios::binary) << c.bytes;
      EXPECT_EQ(sound.playBlocking(path.string()), c.framesHeard > 0);
      expected.insert(expected.end(), a.begin(),
                      a.begin() + static_cast<std::ptrdiff_t>(c.framesHeard));
    }
    // A clip the operator may not read. Root reads anything, so a test run as root asks for it
    // with the file permissions of an ordinary user (this thread only).
    const std::string locked = clipFile("locked.wav", a);
    fs::permissions(locked, fs::perms::none);
    const bool root = ::geteuid() == 0;
    if (root) ::setfsuid(65534);
    EXPECT_FALSE(sound.playBlocking(locked)) << "a clip that cannot be read";
    if (root) ::setfsuid(0);
    // A header that claims 1 Hz: converting its 1000 samples to the device's rate would take
    // 176 MB (and play for 17 minutes); a few more samples and it would be gigabytes.
    EXPECT_FALSE(sound.playNoWait(clipFile("one_hertz.wav", a, WavFormat{1, 1, 16})));
    EXPECT_TRUE(sound.playBlocking(clipFile("good.wav", a))) << "and the player still works";
    expected.insert(expected.end(), a.begin(), a.end());
  }
  EXPECT_EQ(allSound(heard()), expected);
}

TEST_F(DiskSound, AClipChangedOnDiskIsLoadedAgain) {
  const auto a = pattern(1, 700), b = pattern(2, 900);
  const std::string path = clipFile("on.wav", a);
  {
    SdlSound sound;
    EXPECT_TRUE(sound.playBlocking(path));
    clipFile("on.wav", b);
    EXPECT_TRUE(sound.playBlocking(path));
  }
  EXPECT_EQ(allSound(heard()), joined({&a, &b}));
}

TEST_F(DiskSound, ClipsInOtherFormatsAreConverted) {
  // 0.1 s at 44100 Hz stereo and 0.1 s at 11025 Hz 8-bit: each becomes about 2205 frames.
  const std::vector<std::int16_t> stereo(4410 * 2, 8000);
  const std::vector<std::int16_t> eightBit(1102, 16384);
  const std::string fs1 = clipFile("stereo.wav", stereo, WavFormat{44100, 2, 16});
  const std::string fs2 = clipFile("eight.wav", eightBit, WavFormat{11025, 1, 8});
  {
    SdlSound sound;
    EXPECT_TRUE(sound.playBlocking(fs1));
    SDL_Delay(100);  // silence between them, to tell them apart
    EXPECT_TRUE(sound.playBlocking(fs2));
  }
  const auto runs = soundRuns(heard());
  ASSERT_EQ(runs.size(), 2u);
  for (const SoundRun& r : runs) {
    std::cout << "converted clip: " << r.samples.size() << " frames\n";
    EXPECT_NEAR(static_cast<double>(r.samples.size()), 2205.0, 40.0);
  }
  EXPECT_NEAR(runs[0].samples[runs[0].samples.size() / 2], 8000, 100);
  EXPECT_NEAR(runs[1].samples[runs[1].samples.size() / 2], 16384, 300);
}

TEST(NoSoundDevice, EveryPlayFailsAtOnceAndNothingBreaks) {
  setenv("SDL_AUDIODRIVER", "nonexistent", 1);
  {
    SdlSound sound;
    EXPECT_FALSE(sound.hasDevice());
    EXPECT_EQ(sound.deviceBufferFrames(), 0);
    EXPECT_FALSE(sound.playBlocking("wave/on.wav"));
    EXPECT_FALSE(sound.playNoWait("wave/help.wav"));
    sound.stop();
  }
  unsetenv("SDL_AUDIODRIVER");
}

}  // namespace
}  // namespace orvane
