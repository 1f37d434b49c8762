// SPDX-License-Identifier: GPL-3.0-or-later
// Every Kenwood CAT command the rig server sends on another program's behalf, and how it reads
// the radio's answers to them, in one place: a radio model with other command forms changes them
// here. These are the TS-2000's forms, which Hamlib's TS-2000 driver sends for the same requests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::rig {

// A mode of the radio as the protocol names it, and what the panel makes of it.
struct RadioMode {
  std::string_view name;   // Hamlib's name: "USB", "CWR"
  char catDigit;           // the digit of the mode command "MD"
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
std::string setFrequency(char vfo, std::int64_t hz);
// The read of a VFO's frequency ("FA"), and the frequency in its answer ("FA00014074000").
std::string readFrequency(char vfo);
std::optional<std::int64_t> frequencyIn(std::string_view answer, char vfo);

std::string setMode(const RadioMode& mode);
// The filter width in tens of hertz.
std::string setWidth(std::int32_t width);

// Split on: receive on VFO A, transmit on VFO B; off: both on VFO A.
std::vector<std::string> setSplit(bool on);

std::string transmit();
std::string receive();

std::string readPower();
// 1 or 0 from a power answer ("PS1").
std::optional<int> powerIn(std::string_view answer);

// The two letters an answer to the read begins with.
std::string_view answerPrefix(std::string_view read);

}  // namespace cat
}  // namespace orvane::rig
