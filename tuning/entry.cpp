// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/entry.h"

#include "tuning/bands.h"

namespace orvane {

namespace {

constexpr int kLowestMHz = 1;
constexpr int kHighestMHz = 439;
constexpr std::size_t kFrequencyCommandLength = 13;
constexpr std::size_t kMaxFractionDigits = 6;

}  // namespace

void FrequencyEntry::entryKey() {
  if (state_.splitState >= 1) {
    state_.splitState = 0;
    announcer_.playClip("split");
    announcer_.playClip("off");
    link_.sendAction(CatAction::SplitOff);
  }
  state_.entryMHz = 0;
  state_.entryFraction = 0;
  state_.entryState = 0;
  announcer_.playClip("EF");
  state_.entryPointSeen = 0;
  state_.entryArmed = 1;
}

void FrequencyEntry::pointKey() {
  state_.entryPointSeen = 1;
  state_.entryFractionZeros.clear();
  announcer_.playClip("point");
}

std::size_t FrequencyEntry::fractionDigits() const {
  return state_.entryFractionZeros.size() +
         (state_.entryFraction == 0 ? 0 : digitsOf(state_.entryFraction).size());
}

void FrequencyEntry::entryDigit(int digit) {
  if (state_.entryPointSeen == 0) {
    state_.entryMHz = state_.entryMHz * 10 + digit;
  } else if (fractionDigits() < kMaxFractionDigits) {
    if (state_.entryFraction == 0 && digit == 0) state_.entryFractionZeros += "0";
    state_.entryFraction = state_.entryFraction * 10 + digit;
  }
  // Digits below 1 Hz are echoed but not kept: the frequency command has room for six digits
  // after the megahertz, and a longer one would tune the radio somewhere else entirely.
  announcer_.playClip(std::to_string(digit));
  if (state_.entryMHz > kHighestMHz || state_.entryMHz < kLowestMHz) {
    announcer_.playClip("invalid");
    state_.entryArmed = 0;
  }
}

std::string FrequencyEntry::entryCommand() const {
  // Zeros typed after the point with no other digit stand alone: six of them already fill the
  // command, and a "0" for the empty fraction behind them would make it one digit too long.
  std::string command = "FA" + zeroPadded(state_.entryMHz, 5) + state_.entryFractionZeros.str() +
                        (state_.entryFraction == 0 ? "" : digitsOf(state_.entryFraction));
  if (command.size() < kFrequencyCommandLength) {
    command.append(kFrequencyCommandLength - command.size(), '0');
  }
  return command;
}

void FrequencyEntry::enterKey() {
  if (state_.entryArmed == 0) return;
  state_.entryArmed = 0;
  state_.bandIndex = bandFromMHz(state_.entryMHz);
  link_.send(entryCommand());
  toggles_.setPreamp(state_.bandIndex > 5 && state_.bandIndex != kOutOfBand);
  announcer_.playClip("ok");
}

}  // namespace orvane
