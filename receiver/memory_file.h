// SPDX-License-Identifier: GPL-3.0-or-later
// "memory.dat": the remembered frequencies of the first eleven bands and the ten memory channels,
// one text per line, kept from run to run. Read once at start, written once at the end of a normal
// run.
#pragma once

#include "core/panel_state.h"
#include "platform/platform.h"

namespace orvane {

inline constexpr char kMemoryFileName[] = "memory.dat";
// Band slots 12 and 13 (2 m, 70 cm) always start from their fixed frequencies.
inline constexpr int kStoredBands = 11;

class MemoryFile {
 public:
  MemoryFile(PanelState& state, FileSystem& files) : state_(state), files_(files) {}

  // Loads band slots 1..11 and the channels. A slot line that is not a frequency command keeps the
  // slot's start value and a channel line that is neither empty nor a whole record loads as an
  // empty channel, so nothing but frequency commands ever reaches the radio from the file. Without
  // a file, writes one from the values the panel holds now and keeps them. A file that is there
  // but cannot be read is left alone, and so is not saved over at exit either.
  void loadMemoryFile();
  // Writes band slots 1..11 and the channels, each line ended by CR LF. The old file stays intact
  // until the new one is complete on the disk.
  void saveMemoryFile();

  std::string contents() const;

 private:
  PanelState& state_;
  FileSystem& files_;
};

}  // namespace orvane
