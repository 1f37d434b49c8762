#include "link/cat_link.h"

#include "screen/screen_map.h"

namespace orvane {

void CatLink::sendCommand() {
  if (state_.splitState > 0 && leftText(state_.commandText, 2) == "FA") {
    state_.commandText = "FB" + midText(state_.commandText, 3);
  }
  state_.commandText += ";";
  port_.writePort(state_.comPort, state_.commandText);
  writeDebugLine("TX=" + state_.commandText.str());
}

void CatLink::send(std::string_view command) {
  state_.commandText = command;
  sendCommand();
}

void CatLink::writeDebugLine(std::string_view text) {
  if (state_.debugLog == 1) log_.writeLine(text);
}

void CatLink::pollRadio() {
  if (state_.pollPending == 1) {
    state_.pollPending = 0;
    if (!collectReply()) return;
    routeReply();
  }
  sendNextPoll();
}

bool CatLink::collectReply() {
  if (port_.bytesWaiting(state_.comPort) < 1) {
    if (++state_.missedPolls > kMissedPollLimit - 1) {
      state_.radioConnected = 0;
      state_.missedPolls = kMissedPollLimit - 1;
    }
    return false;
  }
  state_.missedPolls = 0;
  state_.replyText = port_.readPort(state_.comPort, kMaxReply);
  writeDebugLine("RX=" + state_.replyText.str());
  return true;
}

void CatLink::routeReply() {
  // Only the first two characters of everything read are looked at: when the answer to a key's
  // command and the poll answer arrive together, the rest waits for the next poll's answer.
  const std::string prefix = leftText(state_.replyText, 2);
  if (prefix == "FA" || prefix == "FB") {
    if (frequencyAnswer_) frequencyAnswer_();
  }
  if (leftText(state_.replyText, 2) == "RM") state_.swrText = midText(state_.replyText, 6, 2);
  if (leftText(state_.replyText, 2) == "SM" && state_.tuning == 0) updateSMeter();
}

void CatLink::updateSMeter() {
  state_.sMeter = textToNumberCut(midText(state_.replyText, 6, 2));
  window_.setPrintPosition(screen::kSMeter.x, screen::kSMeter.y);
  window_.print("S");
  if (state_.sMeter == 30) {
    window_.print("9+");
  } else {
    window_.print(std::string(1, static_cast<char>('0' + state_.sMeter / 3)));
  }
}

void CatLink::sendNextPoll() {
  state_.pollPending = 1;
  if (state_.pollMeterNext == 0) {
    state_.commandText = state_.splitState > 0 ? "FB" : "FA";
  } else {
    state_.commandText = state_.tuning == 1 ? "RM" : "SM0";
  }
  state_.pollMeterNext = 1 - state_.pollMeterNext;
  sendCommand();
}

}  // namespace orvane
