// SPDX-License-Identifier: GPL-3.0-or-later
// The committed clip set in wave/: every name the panel can play has a file there that SDL loads,
// in the format the sound device is opened at, trimmed, audible, of a sane length; and the
// frequency readout built from the clips fits its time budget. Runs in the source directory, so
// "wave/" is the directory the panel itself reads.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
