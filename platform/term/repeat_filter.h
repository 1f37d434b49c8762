// SPDX-License-Identifier: GPL-3.0-or-later
// A terminal reports no key going up: a key held down arrives as the key, then after the
// keyboard's repeat delay (250 ms on the Linux console, 500-660 ms on the desktops) the same key
// again at the repeat rate (every 25-40 ms). The panel takes one action per press however long
// the key is held, so the repeats must go, while a key pressed twice on purpose ("0" "0" in a
// frequency, Up Up) must count twice.
//
// How they are told apart: a finger cannot press the same key again within kRepeatGap (80 ms;
// a fast double press takes 100 ms and more), and a held key repeats far more often than that.
// So the same key within kRepeatGap of its last arrival is a repeat. The same key later than that
// is either a new press or the first repeat after the delay; the first repeat is followed by the
// next one within kRepeatGap, a new press is not. It is therefore held back for kRepeatGap and
// counted as a press only when no repeat follows. A key held just long enough to repeat exactly
// once (between the delay and the delay plus one repeat) is taken twice.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "platform/term/key_parser.h"

namespace orvane::term {

class RepeatFilter {
 public:
  static constexpr std::chrono::milliseconds kRepeatGap{80};

  // gap zero takes every key as a press: for a terminal that was told not to repeat keys.
  explicit RepeatFilter(std::chrono::milliseconds gap = kRepeatGap) : gap_(gap) {}

  // Takes a key with the time it arrived (keys come in the order they arrived) and appends the
  // presses now decided, in order.
  void push(const TypedKey& key, std::vector<int>& presses);
  // Decides a key held back since before now - gap: a press.
  void expire(KeyClock::time_point now, std::vector<int>& presses);
  // When a key held back is decided; nothing when none is.
  std::optional<KeyClock::time_point> deadline() const;

 private:
  std::chrono::milliseconds gap_;
  std::optional<TypedKey> last_;  // the last key that arrived
  bool heldBack_ = false;         // last_ is a press or the first repeat, not yet known
};

}  // namespace orvane::term
