// SPDX-License-Identifier: GPL-3.0-or-later
#include "receiver/memory_file.h"

namespace orvane {

namespace {

constexpr int kLineCount = kStoredBands + kChannelCount;
constexpr std::size_t kFrequencyCommandLength = 13;
constexpr std::size_t kChannelRecordLength = 4 + 2 * kFrequencyCommandLength;

// Split flag, mode 1 to 5, two band digits, then the VFO A and VFO B frequency commands.
bool isChannelRecord(std::string_view s) {
  return s.size() == kChannelRecordLength && (s[0] == '0' || s[0] == '1') && s[1] >= '1' &&
         s[1] <= '0' + kModeCount && allDigits(s.substr(2, 2)) &&
         isFrequencyCommand(s.substr(4, kFrequencyCommandLength)) &&
         isFrequencyCommand(s.substr(4 + kFrequencyCommandLength));
}

bool isEmptyChannel(std::string_view s) {
  return !s.empty() && s[0] == kEmptyChannel[0];
}

}  // namespace

void MemoryFile::loadMemoryFile() {
  const std::optional<std::string> text = files_.readFile(kMemoryFileName);
  if (!text) {
    // A file that is there but cannot be read (no permission, a directory, a disk error) still
    // holds the operator's channels: it is not replaced by the start values, now or at exit.
    if (files_.exists(kMemoryFileName)) {
      state_.memoryFileKept = 1;
      return;
    }
    saveMemoryFile();
    return;
  }
  // Band slots and channels are later sent to the radio as they stand, so a damaged line must
  // never get that far: a junk line such as "TX1;" would key the transmitter. A slot that is not a
  // frequency command keeps its start frequency; a channel that is neither empty nor a whole
  // record becomes empty. A short file counts as damaged at its missing lines in the same way.
  const std::vector<std::string> lines = firstLines(*text, kLineCount, Text::kMax);
  for (int band = 1; band <= kStoredBands; ++band) {
    const std::string& line = lines[static_cast<std::size_t>(band - 1)];
    if (isFrequencyCommand(line)) state_.bandTable[static_cast<std::size_t>(band)] = line;
  }
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    const std::string& line = lines[kStoredBands + channel];
    state_.memoryChannels[channel] =
        isEmptyChannel(line) || isChannelRecord(line) ? line : kEmptyChannel;
  }
}

std::string MemoryFile::contents() const {
  std::string out;
  for (int band = 1; band <= kStoredBands; ++band) {
    out += state_.bandTable[static_cast<std::size_t>(band)].str() + "\r\n";
  }
  for (const Text& channel : state_.memoryChannels) out += channel.str() + "\r\n";
  return out;
}

void MemoryFile::saveMemoryFile() {
  if (state_.memoryFileKept == 1) return;
  files_.replaceFile(kMemoryFileName, contents());
}

}  // namespace orvane
