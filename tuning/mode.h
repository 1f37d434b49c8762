// SPDX-License-Identifier: GPL-3.0-or-later
// The operating mode: LSB, USB, CW, AM and, from the 10 m band up, FM.
#pragma once

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "platform/platform.h"
#include "speech/announcer.h"

namespace orvane {

class ModeControl {
 public:
  ModeControl(PanelState& state, CatLink& link, Announcer& announcer, Window& window)
      : state_(state), link_(link), announcer_(announcer), window_(window) {}

  // Sends the mode-select command of modeIndex and shows its label.
  void modeCommand();
  // "M": the next mode, sent, shown and spoken.
  void modeKey();
  // Another program has put the radio in modeIndex (1..5), or in otherMode with modeIndex the
  // panel's nearest mode: shown at once, spoken by the next mode readout. Sends nothing.
  void modeSetByClient(std::int32_t modeIndex, std::int32_t otherMode = kNoOtherMode);

  // The screen label of an OtherMode, padded like the table's labels.
  static std::string_view otherModeLabel(std::int32_t otherMode);

  // The radio's own number of a ModeTable entry: 5 for AM's "MD5".
  static int kenwoodModeNumber(const ModeEntry& mode);

 private:
  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
  Window& window_;
};

}  // namespace orvane
