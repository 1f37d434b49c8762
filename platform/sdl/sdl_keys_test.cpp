// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_keys.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/keycodes.h"

namespace orvane::sdl {
namespace {

struct KeyCase {
  const char* what;
  SDL_Scancode scancode;
  SDL_Keycode keycode;
  Uint16 modifiers;
  std::optional<int> expected;
};

constexpr Uint16 kNum = KMOD_NUM;

const KeyCase kKeyCases[] = {
    {"letter a", SDL_SCANCODE_A, SDLK_a, 0, vk::letter('a')},
    {"shifted Q is still Q", SDL_SCANCODE_Q, SDLK_q, KMOD_LSHIFT, 'Q'},
    {"Caps Lock does not change a letter", SDL_SCANCODE_Z, SDLK_z, KMOD_CAPS, 'Z'},
    {"control combination is delivered", SDL_SCANCODE_C, SDLK_c, KMOD_LCTRL, 'C'},
    {"AZERTY: the key that types a", SDL_SCANCODE_Q, SDLK_a, 0, 'A'},
    {"AZERTY: the key that types m", SDL_SCANCODE_SEMICOLON, SDLK_m, 0, 'M'},
    {"Cyrillic layout: letter by position", SDL_SCANCODE_F, 0x0430, 0, 'F'},
    {"digit 5", SDL_SCANCODE_5, SDLK_5, 0, '5'},
    {"digit 0", SDL_SCANCODE_0, SDLK_0, 0, vk::kDigit0},
    {"AZERTY digit row types & but is 1", SDL_SCANCODE_1, SDLK_AMPERSAND, 0, '1'},
    {"Enter", SDL_SCANCODE_RETURN, SDLK_RETURN, 0, vk::kEnter},
    {"keypad Enter", SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, kNum, vk::kEnter},
    {"Page Up", SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, 0, vk::kPageUp},
    {"Page Down", SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 0, vk::kPageDown},
    {"Left", SDL_SCANCODE_LEFT, SDLK_LEFT, 0, vk::kLeft},
    {"Up", SDL_SCANCODE_UP, SDLK_UP, 0, vk::kUp},
    {"Right", SDL_SCANCODE_RIGHT, SDLK_RIGHT, 0, vk::kRight},
    {"Down", SDL_SCANCODE_DOWN, SDLK_DOWN, 0, vk::kDown},
    {"F1", SDL_SCANCODE_F1, SDLK_F1, 0, vk::kF1},
    {"F6", SDL_SCANCODE_F6, SDLK_F6, 0, vk::kF6},
    {"F9", SDL_SCANCODE_F9, SDLK_F9, 0, 120},
    {"F11", SDL_SCANCODE_F11, SDLK_F11, 0, 122},
    {"F12", SDL_SCANCODE_F12, SDLK_F12, 0, vk::kF12},
    {"F10 is a system key", SDL_SCANCODE_F10, SDLK_F10, 0, std::nullopt},
    {"equals", SDL_SCANCODE_EQUALS, SDLK_EQUALS, 0, vk::kEqualsPlus},
    {"plus is the equals key shifted", SDL_SCANCODE_EQUALS, SDLK_EQUALS, KMOD_RSHIFT,
     vk::kEqualsPlus},
    {"minus", SDL_SCANCODE_MINUS, SDLK_MINUS, 0, vk::kMinus},
    {"full stop", SDL_SCANCODE_PERIOD, SDLK_PERIOD, 0, vk::kFullStop},
    {"slash", SDL_SCANCODE_SLASH, SDLK_SLASH, 0, vk::kSlash},
    {"space", SDL_SCANCODE_SPACE, SDLK_SPACE, 0, vk::kSpace},
    {"Escape", SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 0, vk::kEscape},
    {"left Shift", SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT, vk::kShift},
    {"right Shift", SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 0, vk::kShift},
    {"left Control", SDL_SCANCODE_LCTRL, SDLK_LCTRL, 0, vk::kControl},
    {"right Control", SDL_SCANCODE_RCTRL, SDLK_RCTRL, 0, vk::kControl},
    {"Alt alone is a system key", SDL_SCANCODE_LALT, SDLK_LALT, 0, std::nullopt},
    {"AltGr alone is a system key", SDL_SCANCODE_RALT, SDLK_RALT, 0, std::nullopt},
    {"Alt+F is a system key", SDL_SCANCODE_F, SDLK_f, KMOD_LALT, std::nullopt},
    {"AltGr+Q is a system key", SDL_SCANCODE_Q, SDLK_q, KMOD_RALT, std::nullopt},
    {"keypad 1 with Num Lock", SDL_SCANCODE_KP_1, SDLK_KP_1, kNum, vk::kNumpad0 + 1},
    {"keypad 0 with Num Lock", SDL_SCANCODE_KP_0, SDLK_KP_0, kNum, vk::kNumpad0},
    {"keypad 9 with Num Lock", SDL_SCANCODE_KP_9, SDLK_KP_9, kNum, vk::kNumpad0 + 9},
    {"keypad full stop with Num Lock", SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, kNum, 110},
    {"keypad 1 without Num Lock is End", SDL_SCANCODE_KP_1, SDLK_KP_1, 0, 35},
    {"keypad 2 without Num Lock is Down", SDL_SCANCODE_KP_2, SDLK_KP_2, 0, vk::kDown},
    {"keypad 3 without Num Lock is Page Down", SDL_SCANCODE_KP_3, SDLK_KP_3, 0, vk::kPageDown},
    {"keypad 5 without Num Lock is Clear", SDL_SCANCODE_KP_5, SDLK_KP_5, 0, 12},
    {"keypad 7 without Num Lock is Home", SDL_SCANCODE_KP_7, SDLK_KP_7, 0, 36},
    {"keypad 9 without Num Lock is Page Up", SDL_SCANCODE_KP_9, SDLK_KP_9, 0, vk::kPageUp},
    {"keypad 0 without Num Lock is Insert", SDL_SCANCODE_KP_0, SDLK_KP_0, 0, 45},
    {"keypad full stop without Num Lock is Delete", SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 0, 46},
    {"keypad plus", SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, kNum, 107},
    {"keypad minus", SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, 0, 109},
    {"unknown key", SDL_SCANCODE_MUTE, SDLK_MUTE, 0, std::nullopt},
};

TEST(SdlKeys, MapsToWindowsVirtualKeys) {
  for (const KeyCase& c : kKeyCases) {
    EXPECT_EQ(virtualKey(c.scancode, c.keycode, c.modifiers), c.expected) << c.what;
  }
}

TEST(SdlKeys, EveryLetterAndDigitByItsCharacterCode) {
  for (int i = 0; i < 26; ++i) {
    const auto scancode = static_cast<SDL_Scancode>(SDL_SCANCODE_A + i);
    EXPECT_EQ(virtualKey(scancode, SDLK_a + i, 0), 'A' + i);
  }
  const SDL_Scancode row[] = {SDL_SCANCODE_0, SDL_SCANCODE_1, SDL_SCANCODE_2, SDL_SCANCODE_3,
                              SDL_SCANCODE_4, SDL_SCANCODE_5, SDL_SCANCODE_6, SDL_SCANCODE_7,
                              SDL_SCANCODE_8, SDL_SCANCODE_9};
  for (int d = 0; d < 10; ++d) EXPECT_EQ(virtualKey(row[d], SDLK_0 + d, 0), '0' + d);
}

}  // namespace
}  // namespace orvane::sdl
