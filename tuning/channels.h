// SPDX-License-Identifier: GPL-3.0-or-later
// Ten memory channels, 0 to 9. "C" then a digit stores the present setting (both VFOs, mode,
// band, split); "G" then a digit recalls it and sends it to the radio.
//
// A channel record has 30 characters: split flag, mode digit, two band digits, then the VFO A and
// VFO B frequency answers of 13 characters each. A channel starting with "9" is empty.
#pragma once

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "receiver/toggles.h"
#include "speech/announcer.h"
#include "tuning/mode.h"

namespace orvane {

class MemoryChannelControl {
 public:
  MemoryChannelControl(PanelState& state, CatLink& link, Announcer& announcer, ModeControl& mode,
                       ReceiverToggles& toggles)
      : state_(state), link_(link), announcer_(announcer), mode_(mode), toggles_(toggles) {}

  // "C" and "G": the next digit stores or recalls.
  void storeKey();
  void recallKey();
  // A digit while a channel number is awaited.
  void channelDigit(int digit);

  // The record of the present setting.
  std::string currentRecord() const;

 private:
  void store(int digit);
  void recall(int digit);

  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
  ModeControl& mode_;
  ReceiverToggles& toggles_;
};

}  // namespace orvane
