// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_keys.h"

#include <array>
#include <utility>

namespace orvane::sdl {
namespace {

// Keys whose code does not depend on Num Lock, by position.
constexpr std::array<std::pair<SDL_Scancode, int>, 56> kFixedKeys{{
    {SDL_SCANCODE_BACKSPACE, 8},     {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_RETURN, 13},       {SDL_SCANCODE_KP_ENTER, 13},
    {SDL_SCANCODE_LSHIFT, 16},       {SDL_SCANCODE_RSHIFT, 16},
    {SDL_SCANCODE_LCTRL, 17},        {SDL_SCANCODE_RCTRL, 17},
    {SDL_SCANCODE_PAUSE, 19},        {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_ESCAPE, 27},       {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_PAGEUP, 33},       {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_END, 35},          {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},         {SDL_SCANCODE_UP, 38},
    {SDL_SCANCODE_RIGHT, 39},        {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_PRINTSCREEN, 44},  {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_DELETE, 46},       {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RGUI, 92},         {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_KP_MULTIPLY, 106}, {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_KP_MINUS, 109},    {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_F1, 112},          {SDL_SCANCODE_F2, 113},
    {SDL_SCANCODE_F3, 114},          {SDL_SCANCODE_F4, 115},
    {SDL_SCANCODE_F5, 116},          {SDL_SCANCODE_F6, 117},
    {SDL_SCANCODE_F7, 118},          {SDL_SCANCODE_F8, 119},
    {SDL_SCANCODE_F9, 120},          {SDL_SCANCODE_F11, 122},
    {SDL_SCANCODE_F12, 123},         {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},  {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_EQUALS, 187},      {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},       {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},       {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219}, {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_NONUSHASH, 220},   {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, 222},  {SDL_SCANCODE_NONUSBACKSLASH, 226},
}};

struct KeypadKey {
  SDL_Scancode scancode;
  int withNumLock;
  int withoutNumLock;
};

constexpr std::array<KeypadKey, 11> kKeypadKeys{{
    {SDL_SCANCODE_KP_0, 96, 45},
    {SDL_SCANCODE_KP_1, 97, 35},
    {SDL_SCANCODE_KP_2, 98, 40},
    {SDL_SCANCODE_KP_3, 99, 34},
    {SDL_SCANCODE_KP_4, 100, 37},
    {SDL_SCANCODE_KP_5, 101, 12},
    {SDL_SCANCODE_KP_6, 102, 39},
    {SDL_SCANCODE_KP_7, 103, 36},
    {SDL_SCANCODE_KP_8, 104, 38},
    {SDL_SCANCODE_KP_9, 105, 33},
    {SDL_SCANCODE_KP_PERIOD, 110, 46},
}};

bool isSystemKey(SDL_Scancode scancode, Uint16 modifiers) {
  return (modifiers & KMOD_ALT) != 0 || scancode == SDL_SCANCODE_LALT ||
         scancode == SDL_SCANCODE_RALT || scancode == SDL_SCANCODE_F10;
}

std::optional<int> digitRowKey(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9) {
    return '1' + (scancode - SDL_SCANCODE_1);
  }
  if (scancode == SDL_SCANCODE_0) return '0';
  return std::nullopt;
}

std::optional<int> layoutLetterKey(SDL_Keycode keycode) {
  if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + (keycode - SDLK_a);
  return std::nullopt;
}

// A layout whose letter keys type no Latin letter (Cyrillic, Greek): by position, as Windows does.
std::optional<int> positionLetterKey(SDL_Scancode scancode) {
  if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z) {
    return 'A' + (scancode - SDL_SCANCODE_A);
  }
  return std::nullopt;
}

std::optional<int> keypadKey(SDL_Scancode scancode, Uint16 modifiers) {
  for (const KeypadKey& k : kKeypadKeys) {
    if (k.scancode == scancode) {
      return (modifiers & KMOD_NUM) != 0 ? k.withNumLock : k.withoutNumLock;
    }
  }
  return std::nullopt;
}

std::optional<int> fixedKey(SDL_Scancode scancode) {
  for (const auto& [code, vk] : kFixedKeys) {
    if (code == scancode) return vk;
  }
  return std::nullopt;
}

}  // namespace

std::optional<int> virtualKey(SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers) {
  if (isSystemKey(scancode, modifiers)) return std::nullopt;
  if (auto vk = layoutLetterKey(keycode)) return vk;
  if (auto vk = digitRowKey(scancode)) return vk;
  if (auto vk = keypadKey(scancode, modifiers)) return vk;
  if (auto vk = fixedKey(scancode)) return vk;
  return positionLetterKey(scancode);
}

}  // namespace orvane::sdl
