// SPDX-License-Identifier: GPL-3.0-or-later
#include "keys/key_dispatcher.h"

#include "platform/keycodes.h"
#include "screen/screen_map.h"

namespace orvane {

namespace {

using Then = KeyRow::Then;
using D = KeyDispatcher;

constexpr int kCwMode = 3;

bool entryStartedThisRun(const PanelState& s) {
  return s.entryMHz != kNoEntry;
}

constexpr int key(char c) {
  return vk::letter(c);
}

}  // namespace

// The order of the rows is the order in which a key is tested.
const std::array<KeyRow, 28> KeyDispatcher::kKeyTable = {{
    {vk::kSlash, vk::kSlash, "/", "nothing", &D::nothing, Then::End},
    {key('N'), key('N'), "N", "nothing", &D::nothing, Then::End},
    {key('A'), key('A'), "A", "AF gain: Up and Down step it", &D::afGainKey, Then::End},
    {key('C'), key('C'), "C", "store a memory channel: the next digit names it",
     &D::storeChannelKey, Then::On},
    {key('G'), key('G'), "G", "go to a memory channel: the next digit names it",
     &D::recallChannelKey, Then::On},
    {key('E'), key('E'), "E", "enter a frequency in megahertz", &D::entryKey, Then::On},
    {vk::kFullStop, vk::kFullStop, ".", "decimal point of the frequency entry", &D::pointKey,
     Then::End},
    {vk::kEnter, vk::kEnter, "Enter", "send the entered frequency", &D::enterKey, Then::End,
     &entryStartedThisRun},
    {key('V'), key('V'), "V", "nothing", &D::nothing, Then::End},
    {key('Z'), key('Z'), "Z", "zero the frequency to a whole kilohertz", &D::zeroKey, Then::End},
    {vk::kF1, vk::kF1, "F1", "preamplifier on or off", &D::toggleKey, Then::End},
    {vk::kF1 + 1, vk::kF1 + 1, "F2", "attenuator on or off", &D::toggleKey, Then::End},
    {vk::kF1 + 2, vk::kF1 + 2, "F3", "noise blanker on or off", &D::toggleKey, Then::End},
    {vk::kF1 + 3, vk::kF1 + 3, "F4", "noise reduction on or off", &D::toggleKey, Then::End},
    {vk::kF1 + 4, vk::kF1 + 4, "F5", "notch on or off", &D::toggleKey, Then::End},
    {vk::kF6, vk::kF6, "F6", "CW spot", &D::spotKey, Then::End},
    {vk::kDigit0, vk::kDigit9, "0 to 9",
     "digit: memory channel, frequency entry or band, whichever waits for it", &D::digitKey,
     Then::End},
    {key('H'), key('H'), "H", "help", &D::helpKey, Then::On},
    {key('F'), key('F'), "F", "speak the mode and the frequency", &D::frequencyKey, Then::End},
    {key('P'), key('P'), "P", "transmit power: Up and Down step it", &D::powerKey, Then::End},
    {key('R'), key('R'), "R", "RF gain: Up and Down step it", &D::rfGainKey, Then::End},
    {key('S'), key('S'), "S", "S-meter, or the SWR while tuning", &D::meterKey, Then::End},
    {key('T'), key('T'), "T", "antenna tuner on or off", &D::tuneKey, Then::End},
    {key('B'), key('B'), "B", "band: a digit or Up and Down choose one", &D::bandKey, Then::End},
    {key('W'), key('W'), "W", "filter width: Up and Down step it", &D::widthKey, Then::End},
    {key('M'), key('M'), "M", "next operating mode", &D::modeKey, Then::End},
    {vk::kUp, vk::kUp, "Up", "step up what was chosen last", &D::upKey, Then::On},
    {vk::kDown, vk::kDown, "Down", "step down what was chosen last", &D::downKey, Then::On},
}};

std::string KeyDispatcher::keyLogText(int key) {
  if (key == vk::kEnter) return "C/R";
  if (key == vk::kFullStop) return ".";
  return std::string(1, static_cast<char>(static_cast<unsigned char>(key)));
}

void KeyDispatcher::windowEventHandler(const WindowEvent& event) {
  switch (event.kind) {
    case WindowEventKind::CloseRequest:
      state_.running = 0;
      break;
    case WindowEventKind::KeyDown:
      keyDown(event.key);
      break;
    case WindowEventKind::KeyUp:
      state_.keyHeld = 0;
      break;
    case WindowEventKind::TimerTick:
      window_.setPrintPosition(screen::kTickRest.x, screen::kTickRest.y);
      c_.link.pollRadio();
      break;
  }
  // What the event said is one phrase for the speech service.
  c_.announcer.finishPhrase();
}

void KeyDispatcher::keyDown(int key) {
  // Auto-repeat, and a second key pressed while one is held, are ignored.
  if (state_.keyHeld == 1) return;
  state_.lastKey = key;
  state_.keyHeld = 1;
  c_.link.writeDebugLine(keyLogText(key));
  // While the tuner runs only "T" (to stop it) and "S" (to hear the SWR) are taken; even quit is
  // refused, so the run is never left with the tuner on.
  if (state_.tuning == 1 && key != vk::letter('T') && key != vk::letter('S')) {
    c_.announcer.playClip("ton");
    return;
  }
  if (key == vk::letter('Q')) {
    state_.running = 0;
    c_.announcer.playClip("quit");
    return;
  }
  if (state_.radioConnected == 0) {
    c_.announcer.playClip("nc");
    return;
  }
  if (const KeyRow* row = rowFor(key)) {
    (this->*row->action)(key);
    if (row->then == Then::End) return;
  }
  frequencyStepStage(key);
}

const KeyRow* KeyDispatcher::rowFor(int key) const {
  for (const KeyRow& row : kKeyTable) {
    if (key >= row.firstKey && key <= row.lastKey && (!row.applies || row.applies(state_))) {
      return &row;
    }
  }
  return nullptr;
}

void KeyDispatcher::frequencyStepStage(int key) {
  if (state_.entryState != kFrequencyState) return;
  c_.frequency.frequencyStep(key);
}

void KeyDispatcher::nothing(int /*key*/) {}

void KeyDispatcher::afGainKey(int /*key*/) {
  state_.entryState = kAfGainState;
  c_.announcer.playClip("ag");
}

void KeyDispatcher::storeChannelKey(int /*key*/) {
  c_.channels.storeKey();
}
void KeyDispatcher::recallChannelKey(int /*key*/) {
  c_.channels.recallKey();
}
void KeyDispatcher::entryKey(int /*key*/) {
  c_.entry.entryKey();
}
void KeyDispatcher::pointKey(int /*key*/) {
  c_.entry.pointKey();
}
void KeyDispatcher::enterKey(int /*key*/) {
  c_.entry.enterKey();
}
void KeyDispatcher::zeroKey(int /*key*/) {
  c_.frequency.zeroFrequency();
}

void KeyDispatcher::toggleKey(int key) {
  for (const ToggleRow& row : kToggleTable) {
    if (row.key == key) c_.toggles.toggle(row.function);
  }
}

void KeyDispatcher::spotKey(int /*key*/) {
  // The spot tone only means something in CW.
  if (state_.modeIndex != kCwMode) return;
  c_.announcer.playClip("spot");
  if (!c_.link.canCarryOut(CatAction::CwSpot)) {
    c_.announcer.playClip("na");
    return;
  }
  c_.link.sendAction(CatAction::CwSpot);
}

void KeyDispatcher::digitKey(int key) {
  const int digit = key - vk::kDigit0;
  if (state_.channelAction == 1 || state_.channelAction == 2) {
    c_.channels.channelDigit(digit);
  } else if (state_.entryState == kBandState) {
    c_.bands.bandDigit(digit);
  } else if (state_.entryState == kFrequencyState && state_.entryArmed == 1) {
    c_.entry.entryDigit(digit);
  }
  state_.entryState = kFrequencyState;
}

void KeyDispatcher::helpKey(int /*key*/) {
  c_.announcer.playClipNoWait("help.wav");
}

void KeyDispatcher::frequencyKey(int /*key*/) {
  state_.entryState = kFrequencyState;
  c_.announcer.speakMode();
  c_.announcer.speakFrequency();
}

void KeyDispatcher::powerKey(int /*key*/) {
  c_.announcer.playClip("Power");
  state_.entryState = kPowerState;
  c_.announcer.speakPower();
}

void KeyDispatcher::rfGainKey(int /*key*/) {
  c_.announcer.playClip("rf");
  state_.entryState = kRfGainState;
}

void KeyDispatcher::meterKey(int /*key*/) {
  c_.meters.meterKey();
}

void KeyDispatcher::tuneKey(int /*key*/) {
  c_.announcer.playClip("tune.wav");
  const bool starting = state_.tuning == 0;
  // A radio without a tuner gets nothing, not even the meter's choice, and the panel does not
  // go into its tuning state, where every other key would be refused.
  if (!c_.link.canCarryOut(starting ? CatAction::TunerStart : CatAction::TunerStop)) {
    c_.announcer.playClip("na");
    return;
  }
  c_.link.sendAction(CatAction::SwrMeterOn);
  c_.announcer.playClip(starting ? "on.wav" : "off.wav");
  state_.tuning = 1 - state_.tuning;
  c_.link.sendAction(starting ? CatAction::TunerStart : CatAction::TunerStop);
}

void KeyDispatcher::bandKey(int /*key*/) {
  c_.bands.bandKey();
}

void KeyDispatcher::widthKey(int /*key*/) {
  state_.entryState = kWidthState;
  c_.announcer.speakFilterWidth();
  // A width the radio cannot take in this mode is not what it has: the readout says so.
  if (!c_.levels.widthSettable()) c_.announcer.playClip("invalid");
}

void KeyDispatcher::modeKey(int /*key*/) {
  c_.mode.modeKey();
}

void KeyDispatcher::upKey(int /*key*/) {
  switch (state_.entryState) {
    case kFrequencyState:
      c_.frequency.stepUp();
      break;
    case kBandState:
      c_.bands.up();
      break;
    default:
      c_.levels.up();
      break;
  }
}

void KeyDispatcher::downKey(int /*key*/) {
  switch (state_.entryState) {
    case kFrequencyState:
      c_.frequency.stepDown();
      break;
    case kBandState:
      c_.bands.down();
      break;
    default:
      c_.levels.down();
      break;
  }
}

}  // namespace orvane
