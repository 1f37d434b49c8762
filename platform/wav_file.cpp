// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wav_file.h"

namespace orvane {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kPlainFormatSize = 16;
// The extensible format's sub-format GUID starts 24 bytes into the chunk; its first two bytes
// are the plain format code.
constexpr std::size_t kExtensibleFormatSize = 40;
constexpr std::size_t kSubFormatOffset = 24;
constexpr int kMaxChannels = 8;
constexpr int kMaxSampleRate = 384000;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i > 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i - 1]);
  return value;
}

std::uint16_t word(std::string_view bytes, std::size_t at) {
  return static_cast<std::uint16_t>(littleEndian(bytes, at, 2));
}

std::uint32_t dword(std::string_view bytes, std::size_t at) {
  return littleEndian(bytes, at, 4);
}

std::optional<PcmFormat> readFormat(std::string_view chunk) {
  if (chunk.size() < kPlainFormatSize) return std::nullopt;
  std::uint16_t code = word(chunk, 0);
  if (code == kFormatExtensible) {
    if (chunk.size() < kExtensibleFormatSize) return std::nullopt;
    code = word(chunk, kSubFormatOffset);
  }
  if (code != kFormatPcm) return std::nullopt;

  PcmFormat format;
  format.channels = word(chunk, 2);
  const std::uint32_t rate = dword(chunk, 4);
  format.blockAlign = word(chunk, 12);
  format.bitsPerSample = word(chunk, 14);
  const int bits = format.bitsPerSample;
  if (format.channels < 1 || format.channels > kMaxChannels) return std::nullopt;
  if (rate < 1 || rate > kMaxSampleRate) return std::nullopt;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return std::nullopt;
  if (format.blockAlign != format.channels * bits / 8) return std::nullopt;
  format.sampleRate = static_cast<int>(rate);
  return format;
}

}  // namespace

std::optional<PcmClip> parseWav(std::string_view bytes) {
  if (bytes.size() < kRiffHeaderSize || bytes.substr(0, 4) != "RIFF" ||
      bytes.substr(8, 4) != "WAVE")
    return std::nullopt;

  std::optional<PcmFormat> format;
  std::size_t at = kRiffHeaderSize;
  while (bytes.size() - at >= kChunkHeaderSize) {
    const std::string_view id = bytes.substr(at, 4);
    const std::size_t declared = dword(bytes, at + 4);
    const std::size_t start = at + kChunkHeaderSize;
    const std::string_view body = bytes.substr(start, declared);  // cut at the end of the file
    if (id == "fmt ") {
      format = readFormat(body);
      if (!format) return std::nullopt;
    } else if (id == "data") {
      // The samples are useless without knowing their format, which comes first in every file.
      if (!format) return std::nullopt;
      const auto frameBytes = static_cast<std::size_t>(format->blockAlign);
      return PcmClip{*format, body.substr(0, body.size() - body.size() % frameBytes)};
    }
    // Chunks are padded to an even length.
    const std::size_t next = declared + (declared % 2);
    if (next >= bytes.size() - start) break;
    at = start + next;
  }
  return std::nullopt;
}

}  // namespace orvane
