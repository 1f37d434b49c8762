// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's idea of the transceiver's frequency: every frequency answer of the radio becomes the
// frequency value, the remembered VFO answers and the frequency line on the screen; the step keys,
// Up and Down in the frequency state, and the zero key move the radio's frequency.
#pragma once

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "platform/platform.h"
#include "speech/announcer.h"

namespace orvane {

class FrequencyControl {
 public:
  FrequencyControl(PanelState& state, CatLink& link, Announcer& announcer, Window& window)
      : state_(state), link_(link), announcer_(announcer), window_(window) {}

  // Handles replyText holding an "FA" or "FB" answer (called by the poll).
  void frequencyAnswer();
  // The last stage of a key press in the frequency state: the step keys move frequencyHz, and for
  // every key that reaches this stage the frequency is sent.
  void frequencyStep(int key);
  // Up and Down in the frequency state: 1 kHz, sent by the step stage that follows.
  void stepUp() { stepBy(1000); }
  void stepDown() { stepBy(-1000); }
  // "Z": down to a whole kilohertz (up in USB), sent, then "0" "ok".
  void zeroFrequency();

  // Another program has set a VFO: command is the frequency command it went out as ("FA" or "FB"
  // and eleven digits). The VFO texts follow, and when it is the VFO the panel shows (A, or B in
  // split) so do frequencyHz, the frequency line and the next readout, as if the radio had
  // answered with it. Nothing is said or sent.
  void frequencySetByClient(std::string_view command);
  // Another program has switched split on or off (the radio transmits on VFO B): the split marker
  // follows at once, and the panel polls and shows VFO B from the next tick. Nothing is said.
  void splitSetByClient(bool on);

  // "FA" + hertz as 11 digits.
  static std::string frequencyCommand(std::int32_t hz);
  static std::int32_t addSaturated(std::int32_t value, std::int32_t delta);

 private:
  // Moves frequencyHz, stopping at 0 Hz: there is no lower frequency to send.
  void stepBy(std::int32_t delta);
  void sendFrequency();

  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
  Window& window_;
};

}  // namespace orvane
