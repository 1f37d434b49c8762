// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/mode.h"

#include "screen/screen_map.h"

namespace orvane {

std::string_view ModeControl::otherModeLabel(std::int32_t otherMode) {
  switch (otherMode) {
    case kFskMode:
      return "FSK  ";
    case kCwReverseMode:
      return "CW-R ";
    case kFskReverseMode:
      return "FSK-R";
    default:
      return "";
  }
}

void ModeControl::modeSetByClient(std::int32_t modeIndex, std::int32_t otherMode) {
  if (modeIndex < 1 || modeIndex > kModeCount) return;
  state_.modeIndex = modeIndex;
  state_.otherMode = otherModeLabel(otherMode).empty() ? kNoOtherMode : otherMode;
  window_.setPrintPosition(screen::kMode.x, screen::kMode.y);
  if (state_.otherMode == kNoOtherMode) {
    window_.print(state_.modeTable[static_cast<std::size_t>(modeIndex)].screenText);
  } else {
    window_.print(otherModeLabel(state_.otherMode));
  }
}

int ModeControl::kenwoodModeNumber(const ModeEntry& mode) {
  return textToNumberCut(midText(mode.command, 3));
}

void ModeControl::modeCommand() {
  window_.setPrintPosition(screen::kMode.x, screen::kMode.y);
  if (state_.modeIndex >= 1 && state_.modeIndex <= kModeCount) {
    const ModeEntry& mode = state_.modeTable[static_cast<std::size_t>(state_.modeIndex)];
    state_.otherMode = kNoOtherMode;
    window_.print(mode.screenText);
    // The ModeTable's command names the mode by the radio's number; the radio on the line may
    // want it in a form of its own (the TS-990's OM0).
    link_.sendAction(CatAction::Mode, kenwoodModeNumber(mode));
  }
  // A mode number from a damaged memory channel names no mode: nothing is sent rather than
  // repeating whatever command went out last.
}

void ModeControl::modeKey() {
  constexpr int kFm = 5;
  constexpr int kFirstFmBand = 10;
  // A mode the radio does not have is passed over, as FM is below the 10 m band.
  for (int tries = 0; tries < kModeCount; ++tries) {
    state_.modeIndex = state_.modeIndex % kModeCount + 1;
    if (state_.modeIndex == kFm &&
        (state_.bandIndex < kFirstFmBand || state_.bandIndex == kOutOfBand)) {
      state_.modeIndex = 1;
    }
    const ModeEntry& mode = state_.modeTable[static_cast<std::size_t>(state_.modeIndex)];
    if (link_.canCarryOut(CatAction::Mode, kenwoodModeNumber(mode))) {
      break;
    }
  }
  modeCommand();
  announcer_.speakMode();
}

}  // namespace orvane
