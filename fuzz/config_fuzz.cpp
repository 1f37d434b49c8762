// SPDX-License-Identifier: GPL-3.0-or-later
// Any orvane.cfg: the panel starts with it, the keys that use the settings (power, band stepping
// to the configured top band, the tuner with its SWR wording) run, and the panel shuts down.
#include <cstdint>

#include "fuzz/checked_panel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvane::fuzz::CheckedPanel panel(std::string(reinterpret_cast<const char*>(data), size));
  for (int i = 0; i < 3; ++i) panel.queueTick();
  panel.queueKeys("P^vv");
  panel.queueKeys("B^^^^^^^^^^^^^^Bvvvvvvvvvvvvvv");
  panel.queueKeys("TSSTFM");
  panel.run();
  return 0;
}
