// SPDX-License-Identifier: GPL-3.0-or-later
// The window's timers, for a window that waits for its events itself: each timer ticks on a fixed
// grid from its start, so lateness does not add up, and ticks that fall due while the program is
// busy (a clip speaking) are dropped rather than made up in a burst.
#pragma once

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>
#include <vector>

namespace orvane {

class TickGrid {
 public:
  using Clock = std::chrono::steady_clock;

  // The first tick comes one period from now. Starting a running timer starts it afresh.
  void start(int id, int periodMs) {
    const Clock::duration period = std::chrono::milliseconds(std::max(1, periodMs));
    timers_[id] = Timer{period, Clock::now() + period};
  }
  void stop(int id) { timers_.erase(id); }
  void clear() { timers_.clear(); }

  // When the next tick falls due; nothing when no timer runs.
  std::optional<Clock::time_point> nextDue() const {
    std::optional<Clock::time_point> next;
    for (const auto& [id, timer] : timers_) {
      if (!next || timer.due < *next) next = timer.due;
    }
    return next;
  }

  // Calls tick() once for every timer due by now, and moves it to its next point on the grid.
  // tick() may stop or start timers; it returns false when nothing more may be delivered (the
  // window closed). Returns whether any timer was due.
  template <typename Tick>
  bool deliverDue(Tick tick) {
    const Clock::time_point now = Clock::now();
    std::vector<int> due;
    for (const auto& [id, timer] : timers_) {
      if (timer.due <= now) due.push_back(id);
    }
    for (const int id : due) {
      auto it = timers_.find(id);
      if (it == timers_.end() || it->second.due > now) continue;
      Timer& timer = it->second;
      timer.due += timer.period * ((now - timer.due) / timer.period + 1);
      if (!tick()) break;
    }
    return !due.empty();
  }

 private:
  struct Timer {
    Clock::duration period{};
    Clock::time_point due;
  };
  std::map<int, Timer> timers_;
};

}  // namespace orvane
