// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/config.h"

namespace orvane {

namespace {

int length(const std::string& s) {
  return static_cast<int>(s.size());
}

// Line 1: a two-digit port number only on a line of exactly six characters ("port12"); otherwise
// the last character alone ("port 3").
std::int32_t portFrom(const std::string& line) {
  return textToNumberCut(rightText(line, length(line) == 6 ? 2 : 1));
}

// Line 3: the power takes the last three, two or one characters of a line of nine, eight or seven
// characters; any other length leaves it at 0.
std::int32_t powerFrom(const std::string& line) {
  switch (line.size()) {
    case 9:
      return textToNumberRounded(rightText(line, 3));
    case 8:
      return textToNumberRounded(rightText(line, 2));
    case 7:
      return textToNumberRounded(rightText(line, 1));
    default:
      return 0;
  }
}

}  // namespace

void applyConfiguration(const std::optional<std::string>& contents, PanelState& state) {
  const std::vector<std::string> line =
      firstLines(contents.value_or(""), kConfigLineCount, kConfigLineMax);
  state.comPort = portFrom(line[0]);
  state.baudRate = textToNumberCut(midText(line[1], 7));
  state.powerWatts = powerFrom(line[2]);
  state.swrWording = textToNumberCut(midText(line[3], 5, 1));
  state.topBand = midText(line[4], 9, 1);
  state.powerSwitch = textToNumberCut(midText(line[5], 8, 1));
  state.debugLog = textToNumberRounded(midText(line[6], 7, 1));
}

}  // namespace orvane
