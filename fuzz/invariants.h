// SPDX-License-Identifier: GPL-3.0-or-later
// What must hold in the panel whatever the radio, the keyboard or the files bring in. A breach
// prints what broke and aborts, so that libFuzzer keeps the input that caused it.
#pragma once

#include <string>
#include <string_view>

#include "core/panel_state.h"

namespace orvane::fuzz {

// Prints the rule and what broke it on stderr, then aborts.
[[noreturn]] void breach(std::string_view rule, std::string_view detail);

// Every text within its capacity, frequencyHz not negative, bandIndex 1..13 or 99, modeIndex
// 1..5, the meter values as the radio's meters give them (sMeter 0..30, swrText empty or two
// digits), and every text that is later sent to the radio in the shape the radio takes: the
// remembered frequency answers and band slots "FA"/"FB" and 11 digits, every channel empty (its
// first character "9") or a whole record.
void checkState(const PanelState& s);

// One write to the radio: two upper-case letters, then the parameters, then one ";". A frequency
// command carries exactly 11 digits (or none: the poll); other parameters are digits, apart from
// the fixed "SWT28" of the CW spot.
bool wellFormedCommand(std::string_view bytes);

// Sees every write to the radio in order. "Poweron;" is taken only as the wake-up that comes right
// before "PS1;".
class WireChecker {
 public:
  void write(std::string_view bytes);
  // At the end of a run: a wake-up must have been followed by "PS1;".
  void finish() const;

 private:
  bool wakeUpSent_ = false;
};

}  // namespace orvane::fuzz
