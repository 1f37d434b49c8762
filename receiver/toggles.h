// SPDX-License-Identifier: GPL-3.0-or-later
// The five receiver functions on F1 to F5. Each key flips the panel's own record of what it last
// sent, speaks the function and its new state, and only then sends the command, so the radio
// switches after the operator has heard what will happen.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "speech/announcer.h"

namespace orvane {

enum class ReceiverFunction { Preamp, Attenuator, Blanker, NoiseReduction, Notch };

struct ToggleRow {
  ReceiverFunction function;
  int key;                         // virtual-key code
  std::int32_t PanelState::*flag;  // what the panel last sent
  std::string_view nameClip;
  CatAction on;  // the command's form is the radio's own (link/radio_models.h)
  CatAction off;
};

extern const std::array<ToggleRow, 5> kToggleTable;

class ReceiverToggles {
 public:
  ReceiverToggles(PanelState& state, CatLink& link, Announcer& announcer)
      : state_(state), link_(link), announcer_(announcer) {}

  void toggle(ReceiverFunction function);
  void togglePreamp() { toggle(ReceiverFunction::Preamp); }
  // Band selection, entry and recall use the preamp toggle as a setter: the operator hears the
  // state and the command goes out even when the preamplifier already was in that state. On a
  // radio without a preamplifier it does nothing at all.
  void setPreamp(bool on);

 private:
  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
};

}  // namespace orvane
