// SPDX-License-Identifier: GPL-3.0-or-later
// A whole panel on the in-memory platform with every check wired in: each write to the radio is
// checked as it happens, the state before every event and once more after the shut-down.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/invariants.h"
#include "tests/panel_harness.h"

namespace orvane::fuzz {

// Key codes written as text in the seeds and the fixed key scripts: letters and digits as
// themselves, "." the point key, "\n" Enter, "^" Up, "v" Down, "<" Left, ">" Right, "[" Page Up,
// "]" Page Down, "+" and "-" the step keys of the main keyboard, "/" the slash key, "a" to "f"
// F1 to F6. Any other character is no key: -1.
int keyCode(char c);

class CheckedPanel {
 public:
  explicit CheckedPanel(std::string config = test::kDefaultConfig);

  // Runs the whole program over the queued events, checking as it goes.
  void run();

  // Something that happens just before the next queued event is delivered (radio bytes arrive,
  // the radio falls silent).
  void beforeNextEvent(std::function<void()> action) { pending_.push_back(std::move(action)); }
  void queue(WindowEvent e);
  void queueTick() { queue({WindowEventKind::TimerTick, 0}); }
  // A key press (down and up) per character of keys, as keyCode() reads them.
  void queueKeys(std::string_view keys);
  // Bytes the radio sends, arriving before the next event.
  void radioSends(std::string bytes);

  test::PanelHarness h;

 private:
  void checkNow();

  WireChecker wire_;
  std::vector<std::vector<std::function<void()>>> before_;
  std::vector<std::function<void()>> pending_;
  std::size_t delivered_ = 0;
};

}  // namespace orvane::fuzz
