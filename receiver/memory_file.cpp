#include "receiver/memory_file.h"

namespace orvane {

namespace {

constexpr int kLineCount = kStoredBands + kChannelCount;

}  // namespace

void MemoryFile::loadMemoryFile() {
  const std::optional<std::string> text = files_.readFile(kMemoryFileName);
  if (!text) {
    saveMemoryFile();
    return;
  }
  // A line longer than a text can hold can only come from a damaged file; it is cut at the
  // capacity like every other text.
  const std::vector<std::string> lines = firstLines(*text, kLineCount, Text::kMax);
  for (int band = 1; band <= kStoredBands; ++band) {
    state_.bandTable[static_cast<std::size_t>(band)] = lines[static_cast<std::size_t>(band - 1)];
  }
  for (std::size_t channel = 0; channel < kChannelCount; ++channel) {
    state_.memoryChannels[channel] = lines[kStoredBands + channel];
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
  files_.replaceFile(kMemoryFileName, contents());
}

}  // namespace orvane
