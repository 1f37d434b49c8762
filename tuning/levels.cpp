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

}  // namespace

std::string LevelControl::widthCommand(std::int32_t width) {
  return "BW" + zeroPadded(width, 4);
}

void LevelControl::sendWidth() {
  state_.filterWidth = std::clamp(state_.filterWidth, kNarrowestWidth, kWidestWidth);
  link_.send(widthCommand(state_.filterWidth));
}

std::string LevelControl::powerCommand(std::int32_t watts) {
  return "PC" + zeroPadded(std::abs(std::int64_t{watts}), 3);
}

void LevelControl::sendPower() {
  link_.send(powerCommand(state_.powerWatts));
}
void LevelControl::sendRfGain() {
  link_.send("RG" + zeroPadded(state_.rfGain, 3));
}
void LevelControl::sendAfGain() {
  link_.send("AG0" + zeroPadded(state_.afGain, 3));
}

std::optional<std::string> LevelControl::targetCommand() const {
  switch (state_.entryState) {
    case kWidthState:
      return "BW" + zeroPadded(state_.filterWidth, 4);
    case kPowerState:
      return powerCommand(state_.powerWatts);
    case kRfGainState:
      return "RG" + zeroPadded(state_.rfGain, 3);
    case kAfGainState:
      return "AG0" + zeroPadded(state_.afGain, 3);
    default:
      return std::nullopt;
  }
}

bool LevelControl::radioHasTarget() {
  const std::optional<std::string> command = targetCommand();
  if (!command || link_.canCarryOut(*command)) return true;
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
