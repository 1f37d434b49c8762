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
