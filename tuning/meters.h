// SPDX-License-Identifier: GPL-3.0-or-later
// The meter key: the S-meter in S-units, or during a tuner run the standing-wave ratio, from the
// last meter answers the poll collected.
#pragma once

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "speech/announcer.h"

namespace orvane {

class Meters {
 public:
  Meters(PanelState& state, CatLink& link, Announcer& announcer)
      : state_(state), link_(link), announcer_(announcer) {}

  // "S": the SWR while tuning, else the S-meter; "not available" from a radio that cannot read
  // that meter, rather than a reading that never came.
  void meterKey();
  void sMeterReadout();
  void swrReadout();

 private:
  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
};

}  // namespace orvane
