// SPDX-License-Identifier: GPL-3.0-or-later
// The S-meter of a band with signals on it, for the demo: the band's noise wanders a little around
// S2, and now and then a station comes up on the frequency, fades in and out for a few seconds at
// S5 to S9+, and goes again. A seeded random walk, so two runs with the same seed move alike.
#pragma once

#include <cstdint>
#include <random>

namespace radiosim {

class BandDrift {
 public:
  // How often step() is meant to be called: the S-meter moves four times a second.
  static constexpr double kStepSeconds = 0.25;

  explicit BandDrift(std::uint32_t seed = 1) : random_(seed) {}

  // The signal one step later, on the S-meter scale 0..30.
  int step();

 private:
  double uniform(double low, double high);
  bool chance(double probability) { return uniform(0, 1) < probability; }

  std::mt19937 random_;
  double noise_ = 6;    // the band's noise, S2
  double station_ = 0;  // strength of the station on the frequency; 0 while there is none
  int stationStepsLeft_ = 0;
};

}  // namespace radiosim
