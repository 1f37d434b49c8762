// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/cat_link.h"

#include <optional>

#include "screen/screen_map.h"

namespace orvane {

namespace {

constexpr int kMeterFullScale = 30;

// "FA" or "FB", the frequency in hertz as eleven digits, and ";": the only frequency answer the
// radio sends. A fragment of one, noise, or an answer of another length would otherwise become the
// VFO texts that band memories and memory channels keep and later send back to the radio.
bool isFrequencyAnswer(std::string_view reply) {
  return reply.size() >= 14 && isFrequencyCommand(reply.substr(0, 13)) && reply[13] == ';';
}

}  // namespace

bool CatLink::openRadioPort() {
  const int p = state_.comPort;
  port_.closePort(p);
  port_.openPort(p, state_.baudRate);
  port_.setReadTimeouts(p, -1);
  port_.setLineFormat(p, 8, 0, 2);
  state_.portRefusedSettings = port_.lastOpenRefusedSettings() ? 1 : 0;
  return port_.isOpen(p);
}

void CatLink::sendCommand() {
  if (state_.splitState > 0 && leftText(state_.commandText, 2) == "FA") {
    state_.commandText = "FB" + midText(state_.commandText, 3);
  }
  noteFrequencyExchange(state_.commandText);
  state_.commandText += ";";
  port_.writePort(state_.comPort, state_.commandText);
  writeDebugLine("TX=" + state_.commandText.str());
}

// The panel steps the frequency from the last answer it took. A step sent while a frequency poll
// is on its way would be undone by that poll's answer, and a second step taken before the next
// answer would start from the old frequency: the operator presses Up twice and the radio moves
// once. So the answer to a poll sent before a frequency command is not taken.
void CatLink::noteFrequencyExchange(std::string_view command) {
  if (command == "FA" || command == "FB") {
    state_.frequencyPollOutstanding = 1;
  } else {
    noteFrequencyCommand(command);
  }
}

void CatLink::noteFrequencyCommand(std::string_view command) {
  if (isFrequencyCommand(command) && state_.frequencyPollOutstanding == 1) {
    state_.frequencyAnswerStale = 1;
  }
}

void CatLink::sendClientCommand(std::string_view command) {
  // Only the VFO the panel polls has an answer on its way that this command makes stale.
  const std::string_view polled = state_.splitState > 0 ? "FB" : "FA";
  if (command.substr(0, 2) == polled) noteFrequencyCommand(command);
  std::string text(command);
  text += ';';
  port_.writePort(state_.comPort, text);
  writeDebugLine("TX=" + text);
}

void CatLink::send(std::string_view command) {
  state_.commandText = command;
  sendCommand();
}

bool CatLink::canCarryOut(CatAction action, std::int64_t argument) {
  const std::optional<std::string> command = catCommand(modelOnTheLine(state_), action, argument);
  return command && canCarryOut(*command);
}

bool CatLink::sendAction(CatAction action, std::int64_t argument) {
  const std::optional<std::string> command = catCommand(modelOnTheLine(state_), action, argument);
  if (!command) return false;
  send(*command);
  return true;
}

void CatLink::writeDebugLine(std::string_view text) {
  if (state_.debugLog == 1) log_.writeLine(text);
}

void CatLink::pollRadio() {
  if (!lineReady()) return;
  if (state_.pollPending == 1) {
    state_.pollPending = 0;
    if (!collectReply()) return;
    routeReply();
  }
  sendNextPoll();
}

bool CatLink::lineReady() {
  const int p = state_.comPort;
  if (port_.hungUp(p)) {
    // The device is gone for good; only a fresh open can find the adapter again.
    port_.closePort(p);
    writeDebugLine("PORT=lost");
    state_.reopenTicks = 0;
    radioLost();
    return false;
  }
  if (!port_.isOpen(p)) reopenWhenDue();
  return port_.isOpen(p);
}

// Each try looks the device up afresh (the comN link, or the numbered line), so an adapter that
// comes back under a new name behind the operator's link is found. Opening never waits.
void CatLink::reopenWhenDue() {
  if (state_.comPort < SerialPort::kFirstPort || state_.comPort > SerialPort::kLastPort) return;
  if (state_.portRefusedSettings == 1) return;
  if (++state_.reopenTicks < kReopenTicks) return;
  state_.reopenTicks = 0;
  if (!openRadioPort()) return;
  // A fresh start of the exchange: the frequency is asked first, and its answer says "connected".
  state_.pollPending = 0;
  state_.pollMeterNext = 0;
  state_.missedPolls = 0;
  state_.frequencyPollOutstanding = 0;
  state_.frequencyAnswerStale = 0;
  writeDebugLine("PORT=open");
  if (portOpened_) portOpened_();
}

void CatLink::radioLost() {
  const bool wasConnected = state_.radioConnected == 1;
  state_.radioConnected = 0;
  // The operator cannot see the frequency stop moving: the loss is said once, when it happens.
  if (wasConnected && radioLost_) radioLost_();
}

bool CatLink::collectReply() {
  if (port_.bytesWaiting(state_.comPort) < 1) {
    if (++state_.missedPolls > kMissedPollLimit - 1) {
      state_.missedPolls = kMissedPollLimit - 1;
      radioLost();
    }
    return false;
  }
  state_.missedPolls = 0;
  state_.replyText = port_.readPort(state_.comPort, kMaxReply);
  writeDebugLine("RX=" + state_.replyText.str());
  readIsClients_ = readObserver_ && readObserver_(state_.replyText.str());
  return true;
}

void CatLink::routeReply() {
  // What was read answers the poll on its way, whatever it holds: a frequency command sent after
  // that poll makes no later answer stale.
  const bool stale = state_.frequencyAnswerStale == 1 && state_.radioConnected == 1;
  state_.frequencyPollOutstanding = 0;
  state_.frequencyAnswerStale = 0;
  // Only the first two characters of everything read are looked at: when the answer to a key's
  // command and the poll answer arrive together, the rest waits for the next poll's answer.
  // Anything malformed is only logged, like noise.
  const bool wasConnected = state_.radioConnected == 1;
  if (isFrequencyAnswer(state_.replyText) && !stale && !readIsClients_) {
    if (frequencyAnswer_) frequencyAnswer_();
  }
  if (!wasConnected && state_.radioConnected == 1) newConnection();
  const std::string kind = leftText(state_.replyText, 2);
  // The radio's name is looked for among all the answers of a read: behind the "?;" of a command
  // it refused, or a late poll answer, it is still the only one it gives.
  takeIdentity();
  if (kind == "RM") updateSwr();
  if (kind == "SM" && state_.tuning == 0) updateSMeter();
}

// Another radio may be on the line after every loss, so every connection asks again, and the
// forms of an earlier radio are not used meanwhile.
void CatLink::newConnection() {
  state_.radioModel = static_cast<std::int32_t>(RadioModel::Unknown);
  state_.identityAwaited = 1;
  state_.identityQuestions = kIdentityQuestions;
  state_.identityAskedLast = 0;
}

// Once a connection: a repeated answer (to a question asked again before the first answer was
// read) neither names the radio twice nor sends its start state again.
void CatLink::takeIdentity() {
  if (state_.identityAwaited == 0) return;
  const std::string_view digits = identityDigits(state_.replyText);
  if (digits.empty()) return;
  const RadioModel model = modelOfIdentity(state_.replyText);
  state_.radioModel = static_cast<std::int32_t>(model);
  state_.identityAwaited = 0;
  state_.identityQuestions = 0;
  writeDebugLine("RADIO=" + std::string(modelInfo(model).name) + " (ID" + std::string(digits) +
                 ")");
  if (radioIdentified_) radioIdentified_();
}

// The TS-890 and TS-990 answer RM with every meter switched on, the TS-480 and TS-590 with all
// three of theirs: the SWR's answer is looked for among them.
void CatLink::updateSwr() {
  const RadioModel model = modelOnTheLine(state_);
  const std::optional<int> reading = meterReading(swrForm(model), state_.replyText);
  if (!reading) return;
  state_.swrText = zeroPadded(swrOnPanelScale(model, *reading), 2);
}

void CatLink::updateSMeter() {
  const RadioModel model = modelOnTheLine(state_);
  const std::optional<int> reading = meterReading(sMeterForm(model), state_.replyText);
  if (!reading) return;
  const SMeter meter = sMeterOnPanelScale(model, *reading);
  state_.sMeter = meter.panel;
  state_.sMeterOverS9 = meter.overS9;
  window_.setPrintPosition(screen::kSMeter.x, screen::kSMeter.y);
  window_.print("S");
  if (state_.sMeter == kMeterFullScale) {
    window_.print("9+");
  } else {
    window_.print(std::string(1, static_cast<char>('0' + state_.sMeter / 3)));
  }
}

void CatLink::sendNextPoll() {
  state_.pollPending = 1;
  const RadioModel model = modelOnTheLine(state_);
  if (state_.identityQuestions > 0 && state_.identityAskedLast == 0) {
    // A poll of its own, between the others, which go on as before after it.
    --state_.identityQuestions;
    state_.identityAskedLast = 1;
    state_.commandText = *catCommand(model, CatAction::Identify);
    sendCommand();
    return;
  }
  state_.identityAskedLast = 0;
  if (state_.pollMeterNext == 0) {
    state_.commandText = state_.splitState > 0 ? "FB" : "FA";
  } else {
    state_.commandText = state_.tuning == 1 ? swrForm(model).poll : sMeterForm(model).poll;
  }
  state_.pollMeterNext = 1 - state_.pollMeterNext;
  sendCommand();
}

}  // namespace orvane
