// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/term/status_screen.h"

#include <gtest/gtest.h>

#include <string>

namespace orvane::term {
namespace {

// The window's places, as the panel prints them: a title and a help line, then mode, S-meter,
// split marker and frequency.
ScreenLayout layout() {
  return ScreenLayout{{{300, 10}, {190, 355}},
                      {{{50, 45}, 5}, {{750, 45}, 5}, {{80, 150}, 2}, {{285, 150}, 0}}};
}

struct Screen {
  std::string written;
  StatusScreen screen;
  explicit Screen(StatusScreen::Mode mode)
      : screen(layout(), mode, [this](std::string_view text) { written += text; }) {}

  void printAt(int x, int y, std::string_view text) {
    screen.setPrintPosition(x, y);
    screen.print(text);
  }
  void frequencyAnswer(std::string_view split, std::string_view frequency) {
    printAt(80, 150, split);
    printAt(285, 150, std::string(frequency) + std::string(13, ' '));
  }
  void sMeter(std::string_view digit) {
    printAt(750, 45, "S");
    screen.print(digit);
  }
  std::string take() { return std::exchange(written, {}); }
};

TEST(StatusScreen, FixedTextsOnceThenTheStatusLineRewrittenInPlaceOnlyWhenItChanges) {
  Screen s(StatusScreen::Mode::InPlace);
  s.printAt(300, 10, "*** Orvane V 1.9 ***  spoken control");
  s.printAt(190, 355, "         v=VFO B/Split");
  s.printAt(50, 45, "LSB ");
  EXPECT_EQ(s.take(), "*** Orvane V 1.9 ***  spoken control\r\nv=VFO B/Split\r\n\rLSB\x1b[K");

  s.frequencyAnswer("    ", "   14.200000");
  s.sMeter("5");
  // Each print shows at once, as in the window: the S-meter's first "S" stands alone for a moment.
  EXPECT_EQ(s.take(),
            "\rLSB         14.200000\x1b[K\rLSB  S      14.200000\x1b[K"
            "\rLSB  S5     14.200000\x1b[K");

  // The radio answers the same ten times a second: nothing is written.
  for (int i = 0; i < 10; ++i) {
    s.frequencyAnswer("    ", "   14.200000");
    s.sMeter("5");
  }
  s.printAt(0, 250, "anything");  // no place of the window's texts
  EXPECT_EQ(s.take(), "");

  s.frequencyAnswer("B   ", "    7.074000");
  EXPECT_EQ(s.take(), "\rLSB  S5   B 14.200000\x1b[K\rLSB  S5   B 7.074000\x1b[K");
  s.screen.finish();
  EXPECT_EQ(s.take(), "\r\n");
}

TEST(StatusScreen, PrintCoversOnlyItsOwnCellsAsInTheWindow) {
  Screen s(StatusScreen::Mode::Lines);
  s.printAt(50, 45, "CW   ");
  s.printAt(50, 45, "LSB ");
  s.printAt(750, 45, "S9+");
  s.sMeter("4");
  // The window too leaves the tail of "S9+" standing when "S4" is printed over it.
  EXPECT_EQ(s.screen.statusLine(), "LSB  S4+");
}

TEST(StatusScreen, WithoutATerminalEveryChangeIsAPlainLine) {
  Screen s(StatusScreen::Mode::Lines);
  s.printAt(300, 10, "*** Orvane V 1.9 ***");
  s.printAt(50, 45, "LSB ");
  s.frequencyAnswer("    ", "    7.100000");
  s.frequencyAnswer("    ", "    7.100000");
  s.printAt(50, 45, "USB ");
  s.screen.finish();
  EXPECT_EQ(s.take(), "*** Orvane V 1.9 ***\nLSB\nLSB         7.100000\nUSB         7.100000\n");
}

}  // namespace
}  // namespace orvane::term
