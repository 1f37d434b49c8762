// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver/toggles.h"

#include "platform/keycodes.h"

namespace orvane {

const std::array<ToggleRow, 5> kToggleTable = {{
    {ReceiverFunction::Preamp, vk::kF1, &PanelState::preampOn, "preamp", CatAction::PreampOn,
     CatAction::PreampOff},
    {ReceiverFunction::Attenuator, vk::kF1 + 1, &PanelState::attenuatorOn, "at",
     CatAction::AttenuatorOn, CatAction::AttenuatorOff},
    {ReceiverFunction::Blanker, vk::kF1 + 2, &PanelState::blankerOn, "nb", CatAction::BlankerOn,
     CatAction::BlankerOff},
    {ReceiverFunction::NoiseReduction, vk::kF1 + 3, &PanelState::noiseReductionOn, "nr",
     CatAction::NoiseReductionOn, CatAction::NoiseReductionOff},
    {ReceiverFunction::Notch, vk::kF1 + 4, &PanelState::notchOn, "notch", CatAction::NotchOn,
     CatAction::NotchOff},
}};

void ReceiverToggles::toggle(ReceiverFunction function) {
  const ToggleRow& row = kToggleTable[static_cast<std::size_t>(function)];
  std::int32_t& flag = state_.*row.flag;
  announcer_.playClip(row.nameClip);
  const bool turningOn = flag == 0;
  // Decided before "on" or "off" is said: the operator never hears a state that did not happen.
  if (!link_.canCarryOut(turningOn ? row.on : row.off)) {
    announcer_.playClip("na");
    return;
  }
  announcer_.playClip(turningOn ? "on" : "off");
  flag = 1 - flag;
  link_.sendAction(turningOn ? row.on : row.off);
}

void ReceiverToggles::setPreamp(bool on) {
  // A radio without a preamplifier is left alone: the operator did not ask for it here.
  if (!link_.canCarryOut(on ? CatAction::PreampOn : CatAction::PreampOff)) return;
  state_.preampOn = on ? 0 : 1;
  togglePreamp();
}

}  // namespace orvane
