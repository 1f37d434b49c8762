// SPDX-License-Identifier: GPL-3.0-or-later
// The clip rate: clips played faster keep their pitch, start where the recording starts, and
// last exactly the recorded length divided by the rate.
#include "platform/sdl/clip_tempo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace orvane::sdl {
namespace {

constexpr int kRate = 22050;

std::vector<std::int16_t> tone(double hertz, double seconds) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * kRate));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(
        10000.0 * std::sin(2.0 * std::numbers::pi * hertz * static_cast<double>(i) / kRate));
  }
  return samples;
}

// The pitch of a steady tone, from its rising zero crossings between from and to.
double pitch(const std::vector<std::int16_t>& s, std::size_t from, std::size_t to) {
  int crossings = 0;
  for (std::size_t i = from + 1; i < to; ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) ++crossings;
  }
  return crossings * static_cast<double>(kRate) / static_cast<double>(to - from);
}

TEST(ClipTempo, FasterClipsKeepTheirPitchAndLastTheirLengthOverTheRate) {
  const auto clip = tone(440.0, 0.6);
  for (int percent : {100, 150, 200, 300}) {
    SCOPED_TRACE(percent);
    const auto fast = changeTempo(clip, kRate, percent);
    const auto expected =
        static_cast<std::size_t>(std::llround(static_cast<double>(clip.size()) * 100.0 / percent));
    ASSERT_EQ(fast.size(), expected);
    // Away from the ends, where the stretcher fades in and out.
    EXPECT_NEAR(pitch(fast, fast.size() / 5, fast.size() * 4 / 5), 440.0, 15.0);
  }
}

TEST(ClipTempo, AStretchedClipStartsWithTheRecordingNotWithSilence) {
  // A word that starts at once: the first 10 ms of the stretched clip must carry it.
  const auto clip = tone(300.0, 0.4);
  const auto fast = changeTempo(clip, kRate, 250);
  int loudest = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(kRate / 100); ++i) {
    loudest = std::max(loudest, std::abs(static_cast<int>(fast[i])));
  }
  EXPECT_GT(loudest, 3000);
}

TEST(ClipTempo, EmptyAndShortClips) {
  EXPECT_TRUE(changeTempo({}, kRate, 200).empty());
  const std::vector<std::int16_t> click = {1000, -1000, 500};
  EXPECT_EQ(changeTempo(click, kRate, 300).size(), 1u);
  EXPECT_EQ(changeTempo(click, kRate, 100), click);
}

}  // namespace
}  // namespace orvane::sdl
