// SPDX-License-Identifier: GPL-3.0-or-later
// A second place for the files under a relative directory, for the file services of every
// platform: findFile("wave/ts.wav") with the prefix "wave/" and the directory of the installed clip
// set takes the installed ts.wav when the working directory's wave/ has none. The decision is made
// file by file, so a station that has recorded a few clips of its own hears those and the
// installed set for the rest.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class FallbackDirectories {
 public:
  // An empty prefix or directory adds nothing. The directory gets `separator` at its end when it
  // has none.
  void add(std::string prefix, std::string directory, char separator) {
    if (prefix.empty() || directory.empty()) return;
    if (directory.back() != separator) directory += separator;
    fallbacks_.push_back({std::move(prefix), std::move(directory)});
  }

  // lookUp(path) when that finds it; otherwise lookUp(directory + rest) for each fallback, in the
  // order they were added, whose prefix path begins with.
  template <typename LookUp>
  std::optional<std::string> find(const std::string& path, LookUp lookUp) const {
    if (auto found = lookUp(path)) return found;
    for (const Fallback& fallback : fallbacks_) {
      if (path.compare(0, fallback.prefix.size(), fallback.prefix) != 0) continue;
      if (auto found = lookUp(fallback.directory + path.substr(fallback.prefix.size())))
        return found;
    }
    return std::nullopt;
  }

 private:
  struct Fallback {
    std::string prefix;
    std::string directory;
  };
  std::vector<Fallback> fallbacks_;
};

}  // namespace orvane
