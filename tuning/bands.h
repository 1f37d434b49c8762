// SPDX-License-Identifier: GPL-3.0-or-later
// Band memory and band selection. Each band keeps the frequency it was left on; selecting a band
// sends that frequency, the band's usual mode and the preamplifier setting that suits it.
#pragma once

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "receiver/toggles.h"
#include "speech/announcer.h"
#include "tuning/mode.h"

namespace orvane {

// The band of a whole-megahertz value, or kOutOfBand.
int bandFromMHz(int mhz);
// The usual mode of a band (USB for everything above 30 m, 99 included).
int defaultModeOfBand(int band);

class BandControl {
 public:
  BandControl(PanelState& state, CatLink& link, Announcer& announcer, ModeControl& mode,
              ReceiverToggles& toggles)
      : state_(state), link_(link), announcer_(announcer), mode_(mode), toggles_(toggles) {}

  // Remembers lastFreqReply in the slot of bandIndex when its megahertz belong to that band.
  void bandMemoryStore();
  // Selects band bandIndex.
  void goToBand();
  // "B": band state, the band spoken, its frequency remembered, split ended.
  void bandKey();
  // A digit in band state: "0" is 10 m, "1".."9" the bands 160 m..12 m.
  void bandDigit(int digit);
  void up();
  void down();

 private:
  bool refusedOutOfBand();

  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
  ModeControl& mode_;
  ReceiverToggles& toggles_;
};

}  // namespace orvane
