// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/meters.h"

namespace orvane {

namespace {

std::string digitClip(int d) {
  return std::string(1, static_cast<char>('0' + d));
}

}  // namespace

void Meters::meterKey() {
  const RadioModel model = modelOnTheLine(state_);
  if (!link_.canCarryOut(state_.tuning == 1 ? swrForm(model).poll : sMeterForm(model).poll)) {
    announcer_.playClip("na");
    return;
  }
  if (state_.tuning == 1) {
    swrReadout();
  } else {
    sMeterReadout();
  }
}

void Meters::sMeterReadout() {
  const int units = state_.sMeter / 3;
  announcer_.playClip("s");
  if (units > 9) {
    announcer_.playClip("9");
    announcer_.playClip("plus");
    // How far beyond, where the radio's scale tells: "9 plus 20".
    if (state_.sMeterOverS9 > 0) announcer_.playClip(digitsOf(state_.sMeterOverS9));
  } else if (units >= 0) {
    announcer_.playClip(digitClip(units));
  }
  // The answer that waited while the readout spoke is stale; the next tick polls afresh.
  state_.replyText.clear();
  state_.pollPending = 0;
}

void Meters::swrReadout() {
  const bool framed = state_.swrWording < 2;
  if (framed) announcer_.playClip("SWR");
  const int raw = textToNumberCut(state_.swrText);
  // The radio's SWR meter counts sixths: raw 6 is a ratio of 2, raw 3 is "1 point 3" (three
  // sixths).
  const int whole = raw / 6;
  const int rest = raw - whole * 6;
  if (state_.swrText == "30") {
    announcer_.playClip("gt6");
  } else if (raw >= 0 && whole + 1 <= 9) {
    announcer_.playClip(digitClip(whole + 1));
    announcer_.playClip("point");
    announcer_.playClip(digitClip(rest));
  }
  if (framed) announcer_.playClip("21");
  if (state_.swrWording == 1) state_.swrWording = 2;
}

}  // namespace orvane
