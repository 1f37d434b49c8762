// SPDX-License-Identifier: GPL-3.0-or-later
// The Announcer is the one place where the panel speaks. Every answer the panel gives is a sequence
// of short clips named by text: a word ("preamp"), a digit taken out of a number ("4"), or a mode
// ("usb.wav"). The readouts turn values of the panel state into such sequences.
//
// The clip set plays each clip as it is named, and the panel waits for it. Through the system's
// speech service the clips of one event (a key, a tick, a step of start-up) are collected instead
// and handed over as one phrase in words when the event's handling ends, without waiting for the
// speech: the service's own voice and pace carry the whole readout, and the next key's phrase cuts
// off a readout still speaking.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
  // The pause the radio needs after switching on ("delay"): as long as the clip, whatever the pace
  // of speech; through the speech service a silent pause, after what was said before it.
  void pauseForRadio();

  // From now on the panel speaks through service. While the service is still being reached the
  // clip set speaks. When the service fails, serviceLost is told why once, and the clip set
  // speaks for the rest of the run, starting with the phrase that failed.
  void speakThrough(SpeechService& service, std::function<void(const std::string&)> serviceLost);
  bool speaksThroughService() const { return service_ != nullptr; }
  // The end of one event's handling: what it said goes to the speech service as one phrase. With
  // the clip set, which has spoken already, nothing happens.
  void finishPhrase();

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
  // Adds a clip's words to the phrase being collected for the speech service.
  void collect(std::string_view name, bool noWait);
  // A readout is a part of the phrase of its own: "band, forty meters, split off".
  struct PhrasePart {
    explicit PhrasePart(Announcer& announcer) : a(announcer) { a.phraseBreak_ = true; }
    ~PhrasePart() { a.phraseBreak_ = true; }
    PhrasePart(const PhrasePart&) = delete;
    PhrasePart& operator=(const PhrasePart&) = delete;
    Announcer& a;
  };
  void playCollectedClips(const std::vector<std::pair<std::string, bool>>& clips);

  PanelState& state_;
  SoundPlayer& sound_;
  FileSystem& files_;
  SpeechService* service_ = nullptr;
  std::function<void(const std::string&)> serviceLost_;
  // The phrase of the event being handled: its words, its clips (name, played without waiting) for
  // the clip set should the service fail, and its priority.
  std::string phrase_;
  std::vector<std::pair<std::string, bool>> phraseClips_;
  SpeechPriority phrasePriority_ = SpeechPriority::Message;
  bool phraseBreak_ = false;
};

}  // namespace orvane
