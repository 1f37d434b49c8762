// SPDX-License-Identifier: GPL-3.0-or-later
// The meter key: the S-meter in S-units, or during a tuner run the standing-wave ratio, from the
// last meter answers the poll collected.
#pragma once

#include "core/panel_state.h"
#include "speech/announcer.h"

namespace orvane {

class Meters {
 public:
  Meters(PanelState& state, Announcer& announcer) : state_(state), announcer_(announcer) {}

  // "S": the SWR while tuning, else the S-meter.
  void meterKey();
  void sMeterReadout();
  void swrReadout();

 private:
  PanelState& state_;
  Announcer& announcer_;
};

}  // namespace orvane
