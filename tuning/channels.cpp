// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/channels.h"

#include "tuning/bands.h"

namespace orvane {

namespace {

constexpr int kStore = 1;
constexpr int kRecall = 2;

std::string lastDigit(std::int32_t v) {
  return rightText(digitsOf(v), 1);
}

// The band of a recalled channel comes from the megahertz of its VFO A frequency; a 2 m or 70 cm
// channel recalls as outside the bands.
int bandOfChannelMHz(int mhz) {
  const int band = bandFromMHz(mhz);
  return band > 11 ? kOutOfBand : band;
}

}  // namespace

void MemoryChannelControl::storeKey() {
  state_.channelAction = kStore;
  announcer_.playClip("sch");
}

void MemoryChannelControl::recallKey() {
  state_.channelAction = kRecall;
  announcer_.playClip("gch");
}

void MemoryChannelControl::channelDigit(int digit) {
  if (state_.channelAction == kStore) {
    store(digit);
  } else if (state_.channelAction == kRecall) {
    recall(digit);
  }
}

std::string MemoryChannelControl::currentRecord() const {
  return std::string(state_.splitState > 0 ? "1" : "0") + lastDigit(state_.modeIndex) +
         (state_.bandIndex > 9 ? "1" : "0") + lastDigit(state_.bandIndex) + state_.vfoAReply.str() +
         state_.vfoBReply.str();
}

void MemoryChannelControl::store(int digit) {
  state_.memoryChannels[static_cast<std::size_t>(digit)] = currentRecord();
  state_.channelAction = 0;
  announcer_.speakDigits(std::to_string(digit));
  announcer_.playClip("ok");
}

void MemoryChannelControl::recall(int digit) {
  state_.channelAction = 0;
  if (state_.splitState > 0) {
    state_.splitState = 0;
    link_.sendAction(CatAction::SplitOff);
  }
  announcer_.speakDigits(std::to_string(digit));
  const std::string channel = state_.memoryChannels[static_cast<std::size_t>(digit)].str();
  if (leftText(channel, 1) == kEmptyChannel) {
    announcer_.playClip("invalid");
    return;
  }
  announcer_.playClip("ok");
  link_.send(midText(channel, 5, 13));
  if (leftText(channel, 1) == "1") {
    state_.splitState = 1;
    link_.send(rightText(channel, 13));
    link_.sendAction(CatAction::SplitOn);
  }
  state_.bandIndex = bandOfChannelMHz(textToNumberCut(midText(channel, 10, 2)));
  toggles_.setPreamp(state_.bandIndex > 5 && state_.bandIndex != kOutOfBand);
  state_.modeIndex = textToNumberCut(midText(channel, 2, 1));
  mode_.modeCommand();
}

}  // namespace orvane
