// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes a terminal sends for its keys, turned into the Windows virtual-key codes the panel
// works with. A terminal sends characters and escape sequences, never keys: letters come as either
// case, the arrows, Page Up and Page Down and the function keys as sequences that differ from one
// terminal to the next (xterm and its followers, the Linux console, rxvt and VT220), with or
// without a modifier.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::term {

using KeyClock = std::chrono::steady_clock;

// Ctrl-C: in raw mode it is a byte like any other, and a console user means it as the window's
// close button. Not a virtual-key code.
inline constexpr int kInterruptKey = -1;

struct TypedKey {
  int key = 0;  // virtual-key code, or kInterruptKey
  KeyClock::time_point at;
};

class KeyParser {
 public:
  // How long an Escape waits for the rest of its sequence. A terminal writes a key's sequence in
  // one go, so it arrives whole; over a slow remote link its bytes may come apart, but hardly ever
  // this far. Nobody types another key this soon after Escape.
  static constexpr std::chrono::milliseconds kEscapeWait{100};

  // Takes bytes that arrived at `at` and appends the keys they complete, in order. A sequence
  // waiting since before at - kEscapeWait is ended first, as expire() does.
  //
  // Letters give their upper-case code, digits 48..57, Enter (CR or LF) 13, "=" and "+" 187,
  // "-" and "_" 189, "." 190, "," 188, "/" 191, space 32, Tab 9, Backspace 8, Escape 27, and
  // Ctrl with a letter the letter (as the window does). Characters that name no key of a US
  // keyboard the same way on every layout ("!", "&", "e" with an accent, ...) give nothing: on
  // another layout the same character is another key, and a digit typed by mistake would tune.
  // Sequences: the arrows, Home, End, Insert, Delete, Page Up and Down, F1..F12 (F10 gives nothing:
  // a system key, as in the window). A sequence with Alt (or Meta), and Escape arriving together
  // with a character (Alt with that key), give nothing, as Alt combinations do in the window;
  // Shift and Ctrl leave the key as it is. An unknown sequence
  // is read to its end and gives nothing.
  void feed(std::string_view bytes, KeyClock::time_point at, std::vector<TypedKey>& out);

  // Ends a sequence that has waited kEscapeWait by now: Escape alone is the Escape key, a longer
  // beginning was cut off and gives nothing.
  void expire(KeyClock::time_point now, std::vector<TypedKey>& out);

  // When the sequence begun ends by itself; nothing when none is waiting.
  std::optional<KeyClock::time_point> deadline() const;

 private:
  void takeByte(char byte, KeyClock::time_point at, std::vector<TypedKey>& out);
  void continueSequence(char byte, KeyClock::time_point at, std::vector<TypedKey>& out);
  void endSequence(std::optional<int> key, KeyClock::time_point at, std::vector<TypedKey>& out);

  std::string partial_;  // an escape sequence begun, ESC included
  KeyClock::time_point lastByteAt_;
};

}  // namespace orvane::term
