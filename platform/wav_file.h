// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a WAV clip for a sound device that is handed PCM samples as they are: the sample format
// from the "fmt " chunk and where the samples lie in the file. Plain C++, for every platform layer
// that plays clips without a library of its own to read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace orvane {

struct PcmFormat {
  int channels = 0;
  int sampleRate = 0;     // frames per second
  int bitsPerSample = 0;  // 8, 16, 24 or 32
  int blockAlign = 0;     // bytes per frame: channels * bitsPerSample / 8

  bool operator==(const PcmFormat&) const = default;
};

struct PcmClip {
  PcmFormat format;
  // The samples: whole frames only, inside the bytes that were parsed.
  std::string_view samples;

  std::size_t frames() const {
    return format.blockAlign > 0 ? samples.size() / static_cast<std::size_t>(format.blockAlign) : 0;
  }
};

// The PCM clip in a RIFF/WAVE file's bytes. Integer PCM only, as format 1 or as the extensible
// format with the PCM sub-format; up to 8 channels at 1 Hz to 384 kHz. A data chunk that claims
// more bytes than the file holds (a clip cut short in copying) gives the frames that are there.
// Nothing when the bytes are no such file; a damaged header never reads outside the bytes.
std::optional<PcmClip> parseWav(std::string_view bytes);

}  // namespace orvane
