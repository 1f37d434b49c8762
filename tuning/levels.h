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

  // "PC" and the power as three digits without sign: a configured "-5" goes out as PC005, the 5 W
  // that the power readout speaks, never as the malformed "PC-05".
  static std::string powerCommand(std::int32_t watts);
  // The filter widths the width control sets, in tens of hertz (0.5 to 3 kHz).
  static constexpr std::int32_t kNarrowestWidth = 50;
  static constexpr std::int32_t kWidestWidth = 300;
  // "BW" and the width in tens of hertz as four digits.
  static std::string widthCommand(std::int32_t width);
  // Another program has set the radio's filter to width (within the limits above): the width
  // readout and Up and Down go on from it.
  void widthSetByClient(std::int32_t width) { state_.filterWidth = width; }

  void sendWidth();
  void sendPower();
  void sendRfGain();
  void sendAfGain();

 private:
  // The command that sets the level Up and Down act on now, or nothing when they act on none.
  std::optional<std::string> targetCommand() const;
  // Whether the radio has that level; "not available" is said when it has not.
  bool radioHasTarget();

  PanelState& state_;
  CatLink& link_;
  Announcer& announcer_;
};

}  // namespace orvane
