// SPDX-License-Identifier: GPL-3.0-or-later
// The demo radio's S-meter: it must stay on the scale, keep moving, rest on the band's noise and
// now and then show a station, and do the same again from the same seed.
#include "band_drift.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

namespace radiosim {
namespace {

std::vector<int> readings(std::uint32_t seed, int steps) {
  BandDrift drift(seed);
  std::vector<int> out;
  for (int i = 0; i < steps; ++i) out.push_back(drift.step());
  return out;
}

TEST(BandDrift, WandersOnTheScaleLikeABandWithSignals) {
  constexpr int kTenMinutes = static_cast<int>(600 / BandDrift::kStepSeconds);
  for (std::uint32_t seed : {1u, 2u, 1963u}) {
    SCOPED_TRACE(seed);
    const std::vector<int> s = readings(seed, kTenMinutes);
    EXPECT_GE(*std::min_element(s.begin(), s.end()), 0);
    EXPECT_LE(*std::max_element(s.begin(), s.end()), 30);
    int moves = 0;
    for (std::size_t i = 1; i < s.size(); ++i) moves += s[i] != s[i - 1] ? 1 : 0;
    EXPECT_GT(moves, kTenMinutes / 3) << "the needle hardly moves";
    EXPECT_GE(std::set<int>(s.begin(), s.end()).size(), 10u);
    // Mostly the band's noise, S4 or less; stations of S7 and more come and go.
    const auto quiet = std::count_if(s.begin(), s.end(), [](int v) { return v <= 14; });
    const auto strong = std::count_if(s.begin(), s.end(), [](int v) { return v >= 21; });
    EXPECT_GT(quiet, kTenMinutes / 2);
    EXPECT_GT(strong, 20);
  }
  EXPECT_EQ(readings(5, 400), readings(5, 400));
  EXPECT_NE(readings(5, 400), readings(6, 400));
}

}  // namespace
}  // namespace radiosim
