// SPDX-License-Identifier: GPL-3.0-or-later
// Translation of SDL key events into the Windows virtual-key codes the panel works with.
#pragma once

#include <SDL.h>

#include <optional>

namespace orvane::sdl {

// The virtual-key code Windows would deliver to the window for this key, or nothing when Windows
// would not deliver it as an ordinary key (Alt and every key pressed with Alt held, F10: those are
// system keys) or when the key has no virtual-key code the panel could know.
//
// Letters follow the keyboard layout (the key that types "a" is A), like Windows; every other key
// is taken by its position on a US keyboard: the digit row is 0..9 whatever it types, and the
// punctuation keys are the US ones (the key right of 0 is minus 189, the next equals 187). The
// keypad gives its digits 96..105 and full stop 110 with Num Lock on, and the navigation keys
// printed on it (End, Down, ..., Clear 12 on the 5, Insert, Delete) with Num Lock off.
std::optional<int> virtualKey(SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers);

}  // namespace orvane::sdl
