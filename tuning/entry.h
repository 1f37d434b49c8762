// SPDX-License-Identifier: GPL-3.0-or-later
// Direct frequency entry: "E", the megahertz digits, optionally the point and the digits after it,
// then Enter. Every digit is echoed; a value outside 1 to 439 MHz is refused at once.
#pragma once

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "receiver/toggles.h"
#include "speech/announcer.h"

namespace orvane {

class FrequencyEntry {
 public:
  FrequencyEntry(PanelState& state, CatLink& link, Announcer& announcer, ReceiverToggles& toggles)
      : state_(state), link_(link), announcer_(announcer), toggles_(toggles) {}

  void entryKey();
  void pointKey();
  // A digit while an entry is armed (the dispatcher checks the state).
  void entryDigit(int digit);
  // Enter after an entry was started in this run.
  void enterKey();

  // The command for the typed value: "FA", the megahertz in 5 digits, the digits after the point,
  // zeros up to 13 characters.
  std::string entryCommand() const;

 private:
  // Digits typed after the point so far, the leading zeros included.
  std::size_t fractionDigits() const;

  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
  ReceiverToggles& toggles_;
};

}  // namespace orvane
