// SPDX-License-Identifier: GPL-3.0-or-later
#include "band_drift.h"

#include <algorithm>
#include <cmath>

namespace radiosim {
namespace {

// The noise stays between S1 and S4 and leans back towards S2.
constexpr double kNoiseLow = 3;
constexpr double kNoiseHigh = 12;
constexpr double kNoiseRest = 6;
// About one station every 15 seconds, for 2 to 10 seconds, S5 to S9+.
constexpr double kStationChancePerStep = 0.017;
constexpr int kShortestStationSteps = 8;
constexpr int kLongestStationSteps = 40;
constexpr double kWeakestStation = 15;
constexpr double kStrongestStation = 32;
// How far a station's signal swings with the fading, up and down.
constexpr double kFading = 3;

}  // namespace

double BandDrift::uniform(double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(random_);
}

int BandDrift::step() {
  noise_ += uniform(-1.5, 1.5) + 0.1 * (kNoiseRest - noise_);
  noise_ = std::clamp(noise_, kNoiseLow, kNoiseHigh);
  if (stationStepsLeft_ > 0) {
    --stationStepsLeft_;
  } else if (chance(kStationChancePerStep)) {
    station_ = uniform(kWeakestStation, kStrongestStation);
    stationStepsLeft_ =
        std::uniform_int_distribution<int>(kShortestStationSteps, kLongestStationSteps)(random_);
  } else {
    station_ = 0;
  }
  double signal = noise_;
  if (station_ > 0) signal = std::max(signal, station_ + uniform(-kFading, kFading));
  return std::clamp(static_cast<int>(std::lround(signal)), 0, 30);
}

}  // namespace radiosim
