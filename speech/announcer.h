// SPDX-License-Identifier: GPL-3.0-or-later
// The Announcer is the one place where a clip is played. Every answer the panel gives is a sequence
// of short clips named by text: a word ("preamp"), a digit taken out of a number ("4"), or a mode
// ("usb.wav"). The readouts turn values of the panel state into such sequences.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/panel_state.h"
#include "platform/platform.h"

namespace orvane {

class Announcer {
 public:
  Announcer(PanelState& state, SoundPlayer& sound, FileSystem& files)
      : state_(state), sound_(sound), files_(files) {}

  // Plays clipDir + name (".wav" added when the name has no extension) and returns when it has
  // ended. A clip still sounding from playClipNoWait is cut off first. A missing or unplayable
  // clip is silent and returns at once.
  void playClip(std::string_view name);
  // Starts the clip and returns at once (the help clip).
  void playClipNoWait(std::string_view name);

  // The file a clip name stands for: "wave\" is the directory wave/ below the working directory.
  std::string clipPath(std::string_view name) const;

  // Readouts. Each speaks only values the panel already holds; none asks the radio.
  void speakMode();
  void speakFrequency();
  void speakFilterWidth();
  void speakPower();
  void speakBand();
  // One clip per character of text; a blank names no clip and is silent.
  void speakDigits(std::string_view text);

 private:
  // The file to play for name: the exact path, else a file of the same name in another letter
  // case ("Power", "SWR", "EF" on a case-sensitive file system).
  std::optional<std::string> locate(std::string_view name) const;

  PanelState& state_;
  SoundPlayer& sound_;
  FileSystem& files_;
};

}  // namespace orvane
