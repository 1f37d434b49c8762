// SPDX-License-Identifier: GPL-3.0-or-later
// Clips that say which clip they are, for the end-to-end tests: the real panel plays them through
// SDL's disk audio driver, and what came out of the "speaker" is read back as clip names.
//
//   clip_tags make DIR    writes DIR/<clip>.wav for every clip of the vocabulary: 20 ms of one
//                         sample value of its own, 16-bit mono at 22050 Hz (the panel's format)
//   clip_tags heard FILE  prints the clips heard in FILE (raw 16-bit samples as the disk driver
//                         writes them), one name per line, as the file names without ".wav"
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "speech/vocabulary.h"

namespace {

constexpr std::uint32_t kRate = 22050;
constexpr std::size_t kClipFrames = 441;  // 20 ms
constexpr int kTagStep = 300;

// The clip files, each once: "on" and "on.wav" are the same file.
std::vector<std::string> clipFiles() {
  std::vector<std::string> files;
  for (std::string_view name : orvane::kClipVocabulary) {
    std::string file(name);
    if (file.find('.') == std::string::npos) file += ".wav";
    if (std::find(files.begin(), files.end(), file) == files.end()) files.push_back(file);
  }
  return files;
}

std::int16_t tagOf(std::size_t index) {
  return static_cast<std::int16_t>(kTagStep * static_cast<int>(index + 1));
}

void putLE(std::ofstream& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool writeClip(const std::string& path, std::int16_t tag) {
  std::ofstream out(path, std::ios::binary);
  const auto dataBytes = static_cast<std::uint32_t>(kClipFrames * 2);
  out.write("RIFF", 4);
  putLE(out, 36 + dataBytes, 4);
  out.write("WAVEfmt ", 8);
  putLE(out, 16, 4);
  putLE(out, 1, 2);  // PCM
  putLE(out, 1, 2);  // mono
  putLE(out, kRate, 4);
  putLE(out, kRate * 2, 4);
  putLE(out, 2, 2);
  putLE(out, 16, 2);
  out.write("data", 4);
  putLE(out, dataBytes, 4);
  for (std::size_t i = 0; i < kClipFrames; ++i) putLE(out, static_cast<std::uint16_t>(tag), 2);
  return static_cast<bool>(out);
}

int make(const std::string& dir) {
  const std::vector<std::string> files = clipFiles();
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (!writeClip(dir + "/" + files[i], tagOf(i))) {
      std::cerr << "clip_tags: cannot write " << dir << "/" << files[i] << "\n";
      return 1;
    }
  }
  return 0;
}

// Clips of a readout follow one another without a gap, and the same clip may come twice in a
// row, so a stretch of one value counts as as many clips as its length holds.
int heard(const std::string& path) {
  std::map<std::int16_t, std::string> names;
  const std::vector<std::string> files = clipFiles();
  for (std::size_t i = 0; i < files.size(); ++i) {
    names[tagOf(i)] = files[i].substr(0, files[i].size() - 4);
  }
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
  auto report = [&](std::int16_t value, std::size_t frames) {
    if (value == 0 || frames == 0) return;
    const std::size_t clips = std::max<std::size_t>(1, (frames + kClipFrames / 2) / kClipFrames);
    const auto it = names.find(value);
    for (std::size_t c = 0; c < clips; ++c) {
      std::cout << (it != names.end() ? it->second : "?" + std::to_string(value)) << "\n";
    }
  };
  std::int16_t current = 0;
  std::size_t frames = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::int16_t value = 0;  // the device's own byte order, as the driver writes it
    std::memcpy(&value, &bytes[i], sizeof value);
    if (value != current) {
      report(current, frames);
      current = value;
      frames = 0;
    }
    ++frames;
  }
  report(current, frames);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc == 3 ? argv[1] : "";
  if (command == "make") return make(argv[2]);
  if (command == "heard") return heard(argv[2]);
  std::cerr << "usage: clip_tags make DIR | clip_tags heard FILE\n";
  return 2;
}
