// SPDX-License-Identifier: GPL-3.0-or-later
// The committed clip set in wave/: every name the panel can play has a file there that SDL loads,
// in the format the sound device is opened at, trimmed, audible, of a sane length; and the
// frequency readout built from the clips fits its time budget. Runs in the source directory, so
// "wave/" is the directory the panel itself reads.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sdl/sdl_sound.h"
#include "speech/vocabulary.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

const fs::path kClipDir = "wave";
constexpr double kMaxWordSeconds = 3.0;
constexpr double kDelaySeconds = 1.5;
constexpr double kDelayTolerance = 0.1;
constexpr double kMinHelpSeconds = 5.0;  // every key of the help lines takes far longer
constexpr double kMaxHelpSeconds = 120.0;
// espeak-ng at its default rate saying "fourteen point one nine five two five megahertz".
constexpr double kReadoutBudgetSeconds = 3.06;
// Normalised clips peak near -1 dBFS; half of full scale leaves room for own recordings.
constexpr int kMinPeak = 16384;
// Trimmed clips start and end within this much of sound louder than kEdgeLevel (-40 dBFS).
constexpr double kEdgeSeconds = 0.010;
constexpr int kEdgeLevel = 328;
// The clip maker takes out the rumble below the voice (a high-pass at 300 Hz): what is left under
// 150 Hz is well below a fifth of a word's energy. An unshaped male voice keeps a third to a
// quarter of it there (-4 to -6 dB), level that sounds like nothing under band noise.
constexpr double kMaxRumbleDb = -7.0;
constexpr double kRumbleHz = 150.0;

std::string fileName(std::string_view name) {
  std::string file(name);
  if (file.find('.') == std::string::npos) file += ".wav";
  return file;
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The file names in the clip directory, exactly as the file system spells them.
std::set<std::string> listClipDir() {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(kClipDir, error)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

struct Clip {
  bool loaded = false;
  std::string error;
  SDL_AudioSpec spec{};
  std::vector<std::int16_t> samples;

  double seconds() const {
    return static_cast<double>(samples.size()) / static_cast<double>(SdlSound::kRate);
  }
};

struct WavDeleter {
  void operator()(Uint8* buffer) const { SDL_FreeWAV(buffer); }
};

Clip loadClip(const fs::path& path) {
  Clip clip;
  Uint8* raw = nullptr;
  Uint32 length = 0;
  if (SDL_LoadWAV(path.c_str(), &clip.spec, &raw, &length) == nullptr) {
    clip.error = SDL_GetError();
    return clip;
  }
  std::unique_ptr<Uint8, WavDeleter> bytes(raw);
  clip.loaded = true;
  if (clip.spec.format == AUDIO_S16LSB) {
    clip.samples.resize(length / sizeof(std::int16_t));
    std::memcpy(clip.samples.data(), bytes.get(), clip.samples.size() * sizeof(std::int16_t));
  }
  return clip;
}

int peakOf(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t to) {
  int peak = 0;
  for (std::size_t i = from; i < to && i < samples.size(); ++i) {
    peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
  }
  return peak;
}

class ClipFile : public testing::TestWithParam<std::string_view> {};

TEST_P(ClipFile, LoadsInTheDeviceFormatTrimmedAndAudible) {
  const std::string name(GetParam());
  const std::string file = fileName(name);
  // Exact letter case: the panel asks for "Power", "SWR" and "EF" and only falls back to a
  // case-blind search when the exact name is missing.
  ASSERT_TRUE(listClipDir().count(file)) << kClipDir / file << " is missing (exact case)";

  const Clip clip = loadClip(kClipDir / file);
  ASSERT_TRUE(clip.loaded) << file << ": SDL cannot load it: " << clip.error;
  EXPECT_EQ(clip.spec.format, SdlSound::kFormat) << file << ": not 16-bit signed PCM";
  EXPECT_EQ(clip.spec.channels, SdlSound::kChannels) << file;
  EXPECT_EQ(clip.spec.freq, SdlSound::kRate) << file;
  ASSERT_FALSE(clip.samples.empty()) << file << ": no samples";

  const double seconds = clip.seconds();
  if (name == "help.wav") {
    EXPECT_GT(seconds, kMinHelpSeconds) << file;
    EXPECT_LT(seconds, kMaxHelpSeconds) << file;
  } else if (name == "delay") {
    EXPECT_NEAR(seconds, kDelaySeconds, kDelayTolerance) << file << ": the radio's power-on pause";
  } else {
    EXPECT_LT(seconds, kMaxWordSeconds) << file;
  }

  EXPECT_GE(peakOf(clip.samples, 0, clip.samples.size()), kMinPeak)
      << file << ": too quiet or silent";
  // Silence at either end would be heard as a gap inside every readout. "delay" is the one clip
  // whose trailing silence is its purpose.
  const auto edge = static_cast<std::size_t>(kEdgeSeconds * SdlSound::kRate);
  EXPECT_GE(peakOf(clip.samples, 0, edge), kEdgeLevel) << file << ": leading silence";
  if (name != "delay") {
    const std::size_t size = clip.samples.size();
    EXPECT_GE(peakOf(clip.samples, size - std::min(size, edge), size), kEdgeLevel)
        << file << ": trailing silence";
  }
}

// The share of the clip's energy below kRumbleHz, in dB: a 2-pole Butterworth low-pass (the
// audio cookbook's biquad) against the whole.
double rumbleShareDb(const std::vector<std::int16_t>& samples) {
  constexpr double kPi = 3.14159265358979323846;
  const double w = 2 * kPi * kRumbleHz / SdlSound::kRate;
  const double alpha = std::sin(w) / std::sqrt(2.0);
  const double a0 = 1 + alpha;
  const double b0 = (1 - std::cos(w)) / 2 / a0, b1 = (1 - std::cos(w)) / a0, b2 = b0;
  const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0, low = 0, all = 0;
  for (const std::int16_t sample : samples) {
    const double x = sample;
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    low += y * y;
    all += x * x;
  }
  return all > 0 ? 10 * std::log10(low / all) : 0;
}

TEST_P(ClipFile, RumbleBelowTheVoiceIsTakenOut) {
  const std::string name(GetParam());
  if (name == "help.wav" || name == "delay") return;  // the help is checked by ear; delay pads
  const Clip clip = loadClip(kClipDir / fileName(name));
  ASSERT_TRUE(clip.loaded) << name << ": " << clip.error;
  EXPECT_LE(rumbleShareDb(clip.samples), kMaxRumbleDb)
      << name << ": energy below " << kRumbleHz << " Hz; made without the clip maker's shaping?";
}

std::string testName(const testing::TestParamInfo<std::string_view>& info) {
  std::string id;
  for (const char c : info.param) id += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return "clip_" + id;
}

INSTANTIATE_TEST_SUITE_P(Vocabulary, ClipFile, testing::ValuesIn(kClipVocabulary), testName);

TEST(ClipSet, FrequencyReadoutFitsItsBudget) {
  // 14.195250 MHz as the frequency readout speaks it.
  constexpr std::string_view kReadout[] = {"1", "4", "point", "1", "9", "5", "2", "5", "mhz"};
  double total = 0;
  for (const std::string_view name : kReadout) {
    const Clip clip = loadClip(kClipDir / fileName(name));
    ASSERT_TRUE(clip.loaded) << name << ": " << clip.error;
    ASSERT_FALSE(clip.samples.empty()) << name;
    total += clip.seconds();
  }
  std::cout << "frequency readout 1 4 point 1 9 5 2 5 mhz: " << total << " s (budget "
            << kReadoutBudgetSeconds << " s)\n";
  EXPECT_LE(total, kReadoutBudgetSeconds);
}

TEST(ClipSet, EveryFileIsAClipAndNoTwoDifferOnlyInCase) {
  std::set<std::string> known;
  for (const std::string_view name : kClipVocabulary) known.insert(fileName(name));
  std::map<std::string, std::string> byLowerCase;
  for (const std::string& file : listClipDir()) {
    if (fs::path(file).extension() != ".wav") continue;
    // A stale clip left behind, e.g. "power.wav" beside "Power.wav", would make the panel's
    // case-blind fallback pick either one.
    EXPECT_TRUE(known.count(file)) << file << " is no clip the panel plays";
    const auto [previous, inserted] = byLowerCase.emplace(lower(file), file);
    EXPECT_TRUE(inserted) << file << " and " << previous->second << " differ only in case";
  }
}

}  // namespace
}  // namespace orvane
