// SPDX-License-Identifier: GPL-3.0-or-later
#include "rigserver/cat_forms.h"

#include <array>

#include "core/panel_state.h"
#include "core/text.h"
#include "tuning/levels.h"

namespace orvane::rig::cat {

namespace {

// The TS-2000's modes: MD1 LSB, MD2 USB, MD3 CW, MD4 FM, MD5 AM, MD6 FSK, MD7 CW-R, MD9 FSK-R.
// FSK works on the lower sideband and FSK-R on the upper, so the mode key goes on from those.
constexpr auto kModes = std::to_array<RadioMode>({
    {"LSB", '1', 1, kNoOtherMode},
    {"USB", '2', 2, kNoOtherMode},
    {"CW", '3', 3, kNoOtherMode},
    {"AM", '5', 4, kNoOtherMode},
    {"FM", '4', 5, kNoOtherMode},
    {"RTTY", '6', 1, kFskMode},
    {"CWR", '7', 3, kCwReverseMode},
    {"RTTYR", '9', 2, kFskReverseMode},
});

}  // namespace

const RadioMode* modeNamed(std::string_view name) {
  for (const RadioMode& mode : kModes) {
    if (mode.name == name) return &mode;
  }
  return nullptr;
}

const RadioMode* modeOf(std::int32_t modeIndex, std::int32_t otherMode) {
  for (const RadioMode& mode : kModes) {
    if (otherMode == kNoOtherMode ? mode.otherMode == kNoOtherMode && mode.modeIndex == modeIndex
                                  : mode.otherMode == otherMode) {
      return &mode;
    }
  }
  return nullptr;
}

std::string setFrequency(char vfo, std::int64_t hz) {
  return readFrequency(vfo) + zeroPadded(hz, 11);
}

std::string readFrequency(char vfo) {
  return std::string("F") + vfo;
}

std::optional<std::int64_t> frequencyIn(std::string_view answer, char vfo) {
  if (!isFrequencyCommand(answer) || answer[1] != vfo) return std::nullopt;
  std::int64_t hz = 0;
  for (char c : answer.substr(2)) hz = hz * 10 + (c - '0');
  return hz;
}

std::string setMode(const RadioMode& mode) {
  return std::string("MD") + mode.catDigit;
}

std::string setWidth(std::int32_t width) {
  return LevelControl::widthCommand(width);
}

std::vector<std::string> setSplit(bool on) {
  return {"FR0", on ? "FT1" : "FT0"};
}

std::string transmit() {
  return "TX";
}

std::string receive() {
  return "RX";
}

std::string readPower() {
  return "PS";
}

std::optional<int> powerIn(std::string_view answer) {
  if (answer.size() != 3 || answer.substr(0, 2) != "PS") return std::nullopt;
  if (answer[2] != '0' && answer[2] != '1') return std::nullopt;
  return answer[2] - '0';
}

std::string_view answerPrefix(std::string_view read) {
  return read.substr(0, 2);
}

}  // namespace orvane::rig::cat
