// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver/toggles.h"

#include "platform/keycodes.h"

namespace orvane {

const std::array<ToggleRow, 5> kToggleTable = {{
    {ReceiverFunction::Preamp, vk::kF1, &PanelState::preampOn, "preamp", "PA1", "PA0"},
    {ReceiverFunction::Attenuator, vk::kF1 + 1, &PanelState::attenuatorOn, "at", "RA01", "RA00"},
    {ReceiverFunction::Blanker, vk::kF1 + 2, &PanelState::blankerOn, "nb", "NB1", "NB0"},
    {ReceiverFunction::NoiseReduction, vk::kF1 + 3, &PanelState::noiseReductionOn, "nr", "NR1",
     "NR0"},
    {ReceiverFunction::Notch, vk::kF1 + 4, &PanelState::notchOn, "notch", "NT10", "NT00"},
}};

void ReceiverToggles::toggle(ReceiverFunction function) {
  const ToggleRow& row = kToggleTable[static_cast<std::size_t>(function)];
  std::int32_t& flag = state_.*row.flag;
  announcer_.playClip(row.nameClip);
  // Decided before "on" or "off" is said: the operator never hears a state that did not happen.
  if (!link_.canCarryOut(flag == 0 ? row.onCommand : row.offCommand)) {
    announcer_.playClip("na");
    return;
  }
  if (flag == 0) {
    announcer_.playClip("on");
    state_.commandText = row.onCommand;
  } else {
    announcer_.playClip("off");
    state_.commandText = row.offCommand;
  }
  flag = 1 - flag;
  link_.sendCommand();
}

void ReceiverToggles::setPreamp(bool on) {
  // A radio without a preamplifier is left alone: the operator did not ask for it here.
  if (!link_.canCarryOut(on ? "PA1" : "PA0")) return;
  state_.preampOn = on ? 0 : 1;
  togglePreamp();
}

}  // namespace orvane
