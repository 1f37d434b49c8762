// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes from the radio, one answer per line: each goes through the poll and the
// frequency-answer routine, then through every key that uses what was stored: the readouts, band
// memory and band selection, zero and step, channel store and recall, the tuner's SWR readout.
#include <cstdint>
#include <string_view>

#include "fuzz/checked_panel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvane::fuzz::CheckedPanel panel;
  panel.h.radio.silent = true;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    panel.radioSends(std::string(rest.substr(0, end)));
    rest.remove_prefix(std::min(end + 1, rest.size()));
    // Two ticks: one of them collects, whichever poll is pending.
    panel.queueTick();
    panel.queueTick();
    panel.queueKeys("SFB^vFZ>C1G1TST");
  }
  panel.run();
  return 0;
}
