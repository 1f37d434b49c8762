// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/clip_tempo.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace orvane::sdl {

namespace {

// Speech rather than music: short sequences follow the syllables, and a narrow seek window keeps
// consonants from being doubled or dropped at high rates.
constexpr int kSequenceMs = 40;
constexpr int kSeekWindowMs = 15;
constexpr int kOverlapMs = 8;
constexpr float kFullScale = 32768.0F;

}  // namespace

std::vector<std::int16_t> changeTempo(const std::vector<std::int16_t>& samples, int sampleRate,
                                      int percent) {
  if (percent == 100 || samples.empty() || percent <= 0) return samples;
  const std::size_t wanted =
      static_cast<std::size_t>(std::llround(static_cast<double>(samples.size()) * 100.0 / percent));

  soundtouch::SoundTouch stretch;
  stretch.setSampleRate(static_cast<unsigned>(sampleRate));
  stretch.setChannels(1);
  stretch.setTempo(percent / 100.0);
  stretch.setSetting(SETTING_SEQUENCE_MS, kSequenceMs);
  stretch.setSetting(SETTING_SEEKWINDOW_MS, kSeekWindowMs);
  stretch.setSetting(SETTING_OVERLAP_MS, kOverlapMs);

  std::vector<float> in(samples.size());
  std::transform(samples.begin(), samples.end(), in.begin(),
                 [](std::int16_t s) { return static_cast<float>(s) / kFullScale; });
  stretch.putSamples(in.data(), static_cast<unsigned>(in.size()));
  stretch.flush();

  std::vector<float> out(wanted + 4096);
  std::size_t got = 0;
  while (got < out.size()) {
    const unsigned n =
        stretch.receiveSamples(out.data() + got, static_cast<unsigned>(out.size() - got));
    if (n == 0) break;
    got += n;
  }
  // flush() pads the end with silence to push the last samples through: the clip keeps its own
  // length at the new pace, so a readout stays gapless.
  out.resize(std::min(got, wanted));
  out.resize(wanted, 0.0F);
  std::vector<std::int16_t> result(wanted);
  std::transform(out.begin(), out.end(), result.begin(), [](float v) {
    return static_cast<std::int16_t>(std::clamp(std::lround(v * kFullScale), -32768L, 32767L));
  });
  return result;
}

}  // namespace orvane::sdl
