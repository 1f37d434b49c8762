// SPDX-License-Identifier: GPL-3.0-or-later
// What each clip says, in words for the system's speech service. The clip set speaks a readout clip
// by clip; the service is given the same words as one phrase, so that its own voice, rate and
// prosody carry the whole readout. One row per clip: a clip added to the panel needs a row here
// (the tests check every clip of the vocabulary and of the clip generator's word list).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace orvane {

struct ClipWords {
  std::string_view clip;   // the clip name without ".wav", as the panel plays it
  std::string_view words;  // what the clip says, as plain words ("" for a clip that is no speech)
  SpeechPriority priority = SpeechPriority::Message;
};

// Every clip the panel speaks, with its words.
std::span<const ClipWords> clipWordsTable();

// The row for a clip name as the panel plays it: "on" and "on.wav" are the same clip, and letter
// case does not count ("Power", "power"). Nothing for a name that is no clip: a blank taken out of
// a number, an empty name, a name of no row.
std::optional<ClipWords> clipWords(std::string_view name);

// The spoken help as one text: the lines of the help file (one key a line, lines starting with "#"
// left out) joined with blanks.
std::string helpWords(std::string_view helpFile);

// The help file the panel was built with.
std::string_view builtInHelpFile();

}  // namespace orvane
