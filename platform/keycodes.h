// SPDX-License-Identifier: GPL-3.0-or-later
// Windows virtual-key codes, the key identities the panel works with on every platform.
#pragma once

namespace orvane::vk {

inline constexpr int kEnter = 13;
inline constexpr int kShift = 16;
inline constexpr int kControl = 17;
inline constexpr int kEscape = 27;
inline constexpr int kSpace = 32;
inline constexpr int kPageUp = 33;
inline constexpr int kPageDown = 34;
inline constexpr int kLeft = 37;
inline constexpr int kUp = 38;
inline constexpr int kRight = 39;
inline constexpr int kDown = 40;
inline constexpr int kDigit0 = 48;  // digits 48..57
inline constexpr int kDigit9 = 57;
inline constexpr int kA = 65;        // letters by their upper-case code
inline constexpr int kNumpad0 = 96;  // keypad digits 96..105 with Num Lock on
inline constexpr int kF1 = 112;      // F1..F12 112..123
inline constexpr int kF6 = 117;
inline constexpr int kF12 = 123;
inline constexpr int kEqualsPlus = 187;
inline constexpr int kMinus = 189;
inline constexpr int kFullStop = 190;
inline constexpr int kSlash = 191;

constexpr int letter(char c) {
  return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

}  // namespace orvane::vk
