// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wav_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace orvane {
namespace {

std::string le(std::uint32_t value, int width) {
  std::string out;
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  return out;
}

std::string chunk(std::string_view id, std::string_view body, std::uint32_t declared) {
  std::string out = std::string(id) + le(declared, 4) + std::string(body);
  if (body.size() % 2 != 0) out += '\0';
  return out;
}

std::string chunk(std::string_view id, std::string_view body) {
  return chunk(id, body, static_cast<std::uint32_t>(body.size()));
}

struct Fmt {
  std::uint16_t code = 1;
  std::uint16_t channels = 1;
  std::uint32_t rate = 22050;
  std::uint16_t bits = 16;
  int blockAlign = -1;  // -1: the right one
};

std::string fmtBody(const Fmt& f) {
  const auto align = f.blockAlign >= 0 ? static_cast<std::uint32_t>(f.blockAlign)
                                       : std::uint32_t{f.channels} * f.bits / 8u;
  return le(f.code, 2) + le(f.channels, 2) + le(f.rate, 4) + le(f.rate * align, 4) + le(align, 2) +
         le(f.bits, 2);
}

std::string extensibleBody(const Fmt& f, std::uint16_t subFormat) {
  Fmt plain = f;
  plain.code = 0xFFFE;
  // cbSize, valid bits, channel mask, then the GUID whose first two bytes are the format code.
  return fmtBody(plain) + le(22, 2) + le(f.bits, 2) + le(0, 4) + le(subFormat, 2) +
         std::string(14, '\x11');
}

std::string riff(const std::string& chunks) {
  return "RIFF" + le(static_cast<std::uint32_t>(4 + chunks.size()), 4) + "WAVE" + chunks;
}

const std::string kSamples = "\x01\x02\x03\x04\x05\x06";  // three 16-bit mono frames

TEST(WavFile, ReadsTheFormatAndTheSamplesOfAPlainPcmClip) {
  const std::string file = riff(chunk("fmt ", fmtBody({})) + chunk("data", kSamples));
  const auto clip = parseWav(file);
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->format, (PcmFormat{1, 22050, 16, 2}));
  EXPECT_EQ(clip->samples, kSamples);
  EXPECT_EQ(clip->frames(), 3u);
}

TEST(WavFile, SkipsOtherChunksOfOddLengthAndReadsTheExtensibleFormat) {
  const Fmt stereo24{1, 2, 48000, 24};
  const std::string samples(12, '\x7f');  // two frames of 6 bytes
  const std::string file = riff(chunk("LIST", "abc") + chunk("fmt ", extensibleBody(stereo24, 1)) +
                                chunk("fact", "wxyz") + chunk("data", samples));
  const auto clip = parseWav(file);
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->format, (PcmFormat{2, 48000, 24, 6}));
  EXPECT_EQ(clip->frames(), 2u);
}

TEST(WavFile, AClipCutShortGivesTheWholeFramesThatAreThere) {
  // The data chunk claims 1000 bytes; five are there, two whole frames.
  const std::string file =
      riff(chunk("fmt ", fmtBody({})) + "data" + le(1000, 4) + kSamples.substr(0, 5));
  const auto clip = parseWav(file);
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->samples, kSamples.substr(0, 4));
}

TEST(WavFile, RefusesWhatItCannotPlayAsItStands) {
  const std::string data = chunk("data", kSamples);
  const struct {
    const char* what;
    std::string file;
  } cases[] = {
      {"empty", ""},
      {"not RIFF", "RIFX" + riff(chunk("fmt ", fmtBody({})) + data).substr(4)},
      {"not WAVE", riff(chunk("fmt ", fmtBody({})) + data).replace(8, 4, "AVI ")},
      {"floating point", riff(chunk("fmt ", fmtBody({.code = 3, .bits = 32})) + data)},
      {"extensible, not PCM", riff(chunk("fmt ", extensibleBody({}, 3)) + data)},
      {"extensible, cut short", riff(chunk("fmt ", extensibleBody({}, 1).substr(0, 30)) + data)},
      {"no channels", riff(chunk("fmt ", fmtBody({.channels = 0})) + data)},
      {"nine channels", riff(chunk("fmt ", fmtBody({.channels = 9})) + data)},
      {"rate 0", riff(chunk("fmt ", fmtBody({.rate = 0})) + data)},
      {"rate 4 GHz", riff(chunk("fmt ", fmtBody({.rate = 0xFFFFFFFF})) + data)},
      {"12-bit samples", riff(chunk("fmt ", fmtBody({.bits = 12})) + data)},
      {"frame size that does not fit", riff(chunk("fmt ", fmtBody({.blockAlign = 0})) + data)},
      {"format chunk too short", riff(chunk("fmt ", fmtBody({}).substr(0, 14)) + data)},
      {"samples before their format", riff(data + chunk("fmt ", fmtBody({})))},
      {"no samples at all", riff(chunk("fmt ", fmtBody({})))},
      {"a chunk claiming 4 GB", riff(chunk("LIST", "", 0xFFFFFFFF) + chunk("fmt ", fmtBody({})))},
  };
  for (const auto& c : cases) EXPECT_FALSE(parseWav(c.file)) << c.what;
}

TEST(WavFile, EveryCutOfAFileIsReadWithinItsBytes) {
  const std::string file =
      riff(chunk("LIST", "odd") + chunk("fmt ", extensibleBody({}, 1)) + chunk("data", kSamples));
  for (std::size_t length = 0; length <= file.size(); ++length) {
    const std::string cut = file.substr(0, length);
    if (const auto clip = parseWav(cut)) {
      EXPECT_GE(clip->samples.data(), cut.data());
      EXPECT_LE(clip->samples.data() + clip->samples.size(), cut.data() + cut.size());
      EXPECT_EQ(clip->samples.size() % 2, 0u);
    }
  }
}

}  // namespace
}  // namespace orvane
