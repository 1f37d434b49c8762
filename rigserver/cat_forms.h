// SPDX-License-Identifier: GPL-3.0-or-later
// Every Kenwood CAT command the rig server sends on another program's behalf, and how it reads
// the radio's answers to them, in one place. The sets go out in the forms of the radio on the line
// (link/radio_models.h, the table the panel's own keys use): the TS-990S takes its mode as "OM0"
// and splits with "TB", each model sets the filter in its own way. The reads and the mode digits
// are the same on every model the panel knows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/radio_models.h"

namespace orvane::rig {

// A mode of the radio as the protocol names it, and what the panel makes of it.
struct RadioMode {
  std::string_view name;   // Hamlib's name: "USB", "CWR"
  char catDigit;           // the digit of the mode command ("MD", "OM0")
  std::int32_t modeIndex;  // the panel's mode (1 LSB .. 5 FM), or its nearest one
  std::int32_t otherMode;  // kNoOtherMode for the panel's own five
};

namespace cat {

// The mode Hamlib calls name, or nothing when the radio has none such.
const RadioMode* modeNamed(std::string_view name);
// The mode the panel holds (modeIndex, otherMode), for the answers.
const RadioMode* modeOf(std::int32_t modeIndex, std::int32_t otherMode);

inline constexpr std::int64_t kLowestHz = 1;
inline constexpr std::int64_t kHighestHz = 2'000'000'000;

// 'A' or 'B': "FA"/"FB" and the frequency in hertz as eleven digits.
std::string setFrequency(RadioModel model, char vfo, std::int64_t hz);
// The read of a VFO's frequency ("FA"), and the frequency in its answer ("FA00014074000").
std::string readFrequency(char vfo);
std::optional<std::int64_t> frequencyIn(std::string_view answer, char vfo);

std::string setMode(RadioModel model, const RadioMode& mode);
// The filter width in tens of hertz, for the mode about to be set; nothing when the radio cannot
// take that width in that mode.
std::optional<std::string> setWidth(RadioModel model, const RadioMode& mode, std::int32_t width);

// Split on: receive on VFO A, transmit on VFO B; off: both on VFO A.
std::vector<std::string> setSplit(RadioModel model, bool on);

std::string transmit(RadioModel model);
std::string receive(RadioModel model);

std::string readPower();
// 1 or 0 from a power answer ("PS1").
std::optional<int> powerIn(std::string_view answer);

// The two letters an answer to the read begins with.
std::string_view answerPrefix(std::string_view read);

}  // namespace cat
}  // namespace orvane::rig
