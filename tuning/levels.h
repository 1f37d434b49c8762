// SPDX-License-Identifier: GPL-3.0-or-later
// Filter width, transmit power, RF gain and AF gain: a selection key makes one of them the target
// of Up and Down, which move it by a fixed step within its limits and send it at once.
#pragma once

#include <optional>
#include <string>

#include "core/panel_state.h"
#include "link/cat_link.h"
#include "speech/announcer.h"

namespace orvane {

class LevelControl {
 public:
  LevelControl(PanelState& state, CatLink& link, Announcer& announcer)
      : state_(state), link_(link), announcer_(announcer) {}

  // Up and Down for entryState 2 (width), 3 (power), 4 (RF gain) and 7 (AF gain); other states
  // are not levels and are left alone.
  void up();
  void down();

  // The power without its sign: a configured "-5" goes out as PC005, the 5 W that the power
  // readout speaks, never as the malformed "PC-05".
  static std::int64_t powerArgument(std::int32_t watts);
  // The filter widths the width control sets, in tens of hertz (0.5 to 3 kHz).
  static constexpr std::int32_t kNarrowestWidth = 50;
  static constexpr std::int32_t kWidestWidth = 300;
  // Another program has set the radio's filter to width (within the limits above): the width
  // readout and Up and Down go on from it.
  void widthSetByClient(std::int32_t width) { state_.filterWidth = width; }

  // The width goes out in the radio's own form for the mode, in hertz or as the number of that
  // width in its table. A width the radio cannot take in the mode is answered "invalid" and not
  // sent: the panel never pretends to have set it.
  void sendWidth();
  // Whether the radio on the line takes filterWidth in the present mode.
  bool widthSettable() const;
  void sendPower();
  void sendRfGain();
  void sendAfGain();

 private:
  // Whether the radio has the level Up and Down act on now (true when they act on none);
  // "not available" is said when it has not.
  bool radioHasTarget();

  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
};

}  // namespace orvane
