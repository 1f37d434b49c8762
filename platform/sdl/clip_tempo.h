// SPDX-License-Identifier: GPL-3.0-or-later
// The clip set played faster for an operator who listens at two or three times normal speed: each
// clip is time-stretched once, when it is loaded, keeping its pitch (SoundTouch's WSOLA, set up for
// speech). A stretched clip starts and ends where the recording does, so clips still follow one
// another without a gap.
#pragma once

#include <cstdint>
#include <vector>

namespace orvane::sdl {

// The samples (16-bit mono at sampleRate) played at percent of their recorded pace: 100 returns
// them unchanged, 200 in half the time. The result holds samples.size() * 100 / percent samples,
// rounded.
std::vector<std::int16_t> changeTempo(const std::vector<std::int16_t>& samples, int sampleRate,
                                      int percent);

}  // namespace orvane::sdl
