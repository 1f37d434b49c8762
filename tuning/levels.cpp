// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/levels.h"

#include <algorithm>
#include <cstdlib>

namespace orvane {

namespace {

constexpr int kWidthState = 2;
constexpr int kPowerState = 3;
constexpr int kRfGainState = 4;
constexpr int kAfGainState = 7;
constexpr int kGainMax = 255;

// filterWidth is in tens of hertz.
constexpr int kHertzPerWidthStep = 10;

std::optional<std::string> widthCommandFor(const PanelState& state) {
  return widthCommand(modelOnTheLine(state), state.modeIndex,
                      state.filterWidth * kHertzPerWidthStep);
}

}  // namespace

void LevelControl::sendWidth() {
  state_.filterWidth = std::clamp(state_.filterWidth, kNarrowestWidth, kWidestWidth);
  if (const std::optional<std::string> command = widthCommandFor(state_)) {
    link_.send(*command);
  } else {
    announcer_.playClip("invalid");
  }
}

bool LevelControl::widthSettable() const {
  return widthCommandFor(state_).has_value();
}

std::int64_t LevelControl::powerArgument(std::int32_t watts) {
  return std::abs(std::int64_t{watts});
}

void LevelControl::sendPower() {
  link_.sendAction(CatAction::Power, powerArgument(state_.powerWatts));
}
void LevelControl::sendRfGain() {
  link_.sendAction(CatAction::RfGain, state_.rfGain);
}
void LevelControl::sendAfGain() {
  link_.sendAction(CatAction::AfGain, state_.afGain);
}

bool LevelControl::radioHasTarget() {
  bool can = true;
  switch (state_.entryState) {
    case kWidthState:
      // A width the radio's form cannot carry is told "invalid" where it is sent.
      if (const std::optional<std::string> command = widthCommandFor(state_)) {
        can = link_.canCarryOut(*command);
      }
      break;
    case kPowerState:
      can = link_.canCarryOut(CatAction::Power, powerArgument(state_.powerWatts));
      break;
    case kRfGainState:
      can = link_.canCarryOut(CatAction::RfGain, state_.rfGain);
      break;
    case kAfGainState:
      can = link_.canCarryOut(CatAction::AfGain, state_.afGain);
      break;
    default:
      break;
  }
  if (can) return true;
  // The level stays where it was: the panel's record follows only what the radio was sent.
  announcer_.playClip("na");
  return false;
}

void LevelControl::up() {
  if (!radioHasTarget()) return;
  switch (state_.entryState) {
    case kWidthState:
      state_.filterWidth += 10;
      sendWidth();
      break;
    case kPowerState:
      state_.powerWatts += 10;
      if (state_.powerWatts == 15) state_.powerWatts = 20;
      state_.powerWatts = std::min(state_.powerWatts, 100);
      sendPower();
      break;
    case kRfGainState:
      state_.rfGain = std::min(state_.rfGain + 20, kGainMax);
      sendRfGain();
      if (state_.rfGain == kGainMax) announcer_.playClip("max");
      break;
    case kAfGainState:
      state_.afGain = std::min(state_.afGain + 10, kGainMax);
      sendAfGain();
      if (state_.afGain == kGainMax) announcer_.playClip("max");
      break;
    default:
      break;
  }
}

void LevelControl::down() {
  if (!radioHasTarget()) return;
  switch (state_.entryState) {
    case kWidthState:
      state_.filterWidth -= 10;
      sendWidth();
      break;
    case kPowerState:
      state_.powerWatts = std::clamp(state_.powerWatts - 10, 5, 100);
      sendPower();
      break;
    case kRfGainState:
      state_.rfGain = std::max(state_.rfGain - 20, 0);
      sendRfGain();
      break;
    case kAfGainState:
      state_.afGain = std::max(state_.afGain - 10, 0);
      sendAfGain();
      break;
    default:
      break;
  }
}

}  // namespace orvane
