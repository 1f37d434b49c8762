// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/frequency.h"

#include <algorithm>
#include <limits>

#include "platform/keycodes.h"
#include "screen/screen_map.h"

namespace orvane {

namespace {

// "00014.200000" becomes "   14.200000": the zeros before the first other character turn into
// blanks, so the line stays right-aligned.
std::string zerosToBlanks(const std::string& shown) {
  const std::size_t count = std::min(shown.find_first_not_of('0'), shown.size());
  return std::string(count, ' ') + shown.substr(count);
}

}  // namespace

std::int32_t FrequencyControl::addSaturated(std::int32_t value, std::int32_t delta) {
  const std::int64_t sum = std::int64_t{value} + delta;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      sum, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::string FrequencyControl::frequencyCommand(std::int32_t hz) {
  // The radio has no frequency below 0 Hz: the panel asks for 0 Hz rather than sending a
  // malformed command.
  return "FA" + zeroPadded(std::max(hz, 0), 11);
}

void FrequencyControl::stepBy(std::int32_t delta) {
  state_.frequencyHz = std::max(addSaturated(state_.frequencyHz, delta), 0);
}

void FrequencyControl::frequencyAnswer() {
  if (state_.radioConnected == 0) announcer_.playClip("connected");
  state_.radioConnected = 1;
  state_.lastFreqReply = leftText(state_.replyText, 13);
  if (leftText(state_.lastFreqReply, 2) == "FA") {
    state_.vfoAReply = state_.lastFreqReply;
    state_.vfoBReply = state_.lastFreqReply;
  }
  if (leftText(state_.lastFreqReply, 2) == "FB") state_.vfoBReply = state_.lastFreqReply;

  std::string digits = midText(state_.replyText, 3, 11);
  state_.frequencyHz = textToNumberRounded(digits);
  std::string shown = leftText(digits, 5) + "." + rightText(digits, 6);
  state_.replyText = shown;
  // An answer too short to hold eleven digits brings its ";" into the text: not shown.
  if (findText(shown, ";") != 0) return;

  shown = zerosToBlanks(shown);
  state_.replyText = shown;

  window_.setPrintPosition(screen::kSplitMarker.x, screen::kSplitMarker.y);
  if (state_.splitState > 0) window_.print("B   ");
  if (state_.splitState == 1) {
    announcer_.playClip("split");
    state_.splitState = 2;
  }
  if (state_.splitState == 0) window_.print("    ");

  window_.setPrintPosition(screen::kFrequency.x, screen::kFrequency.y);
  window_.print(shown + std::string(13, ' '));
  state_.frequencyText = shown;
  state_.pollPending = 0;
  state_.replyText.clear();
}

void FrequencyControl::frequencySetByClient(std::string_view command) {
  if (!isFrequencyCommand(command)) return;
  const bool vfoA = command.substr(0, 2) == "FA";
  const bool split = state_.splitState > 0;
  // As with the radio's answers: VFO B's text follows VFO A's while B is not in use.
  if (vfoA) state_.vfoAReply = command;
  if (!vfoA || !split) state_.vfoBReply = command;
  if (vfoA == split) return;  // not the VFO the panel shows
  state_.lastFreqReply = command;
  const std::string digits(command.substr(2));
  state_.frequencyHz = textToNumberRounded(digits);
  const std::string shown = zerosToBlanks(leftText(digits, 5) + "." + rightText(digits, 6));
  window_.setPrintPosition(screen::kFrequency.x, screen::kFrequency.y);
  window_.print(shown + std::string(13, ' '));
  state_.frequencyText = shown;
}

void FrequencyControl::splitSetByClient(bool on) {
  // 2, not 1: the operator is not interrupted with "split" for what a program does by itself.
  state_.splitState = on ? 2 : 0;
  window_.setPrintPosition(screen::kSplitMarker.x, screen::kSplitMarker.y);
  window_.print(on ? "B   " : "    ");
}

void FrequencyControl::sendFrequency() {
  link_.send(frequencyCommand(state_.frequencyHz));
}

void FrequencyControl::frequencyStep(int key) {
  std::int32_t delta = 0;
  switch (key) {
    case vk::kEqualsPlus:
      delta = 1'000'000;
      break;
    case vk::kMinus:
      delta = -1'000'000;
      break;
    case vk::kPageUp:
      delta = 10'000;
      break;
    case vk::kPageDown:
      delta = -10'000;
      break;
    case vk::kRight:
      delta = 100;
      break;
    case vk::kLeft:
      delta = -100;
      break;
    default:
      break;
  }
  stepBy(delta);
  sendFrequency();
}

void FrequencyControl::zeroFrequency() {
  const std::int32_t remainder = state_.frequencyHz % 1000;
  state_.frequencyHz -= remainder;
  if (state_.modeIndex == 2 && remainder != 0) {
    state_.frequencyHz = addSaturated(state_.frequencyHz, 1000);
  }
  sendFrequency();
  announcer_.playClip("0");
  announcer_.playClip("ok");
}

}  // namespace orvane
