// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sdl/sdl_fonts.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>

namespace orvane::sdl {
namespace {

TEST(SdlFonts, FamilyNames) {
  const std::pair<std::string, std::string> cases[] = {
      {"Ariel", "Arial"},     {"ARIEL", "Arial"}, {"ariel", "Arial"},
      {"Arial", "Arial"},     {"", "sans-serif"}, {"DejaVu Sans", "DejaVu Sans"},
      {"Arielle", "Arielle"},
  };
  for (const auto& [face, family] : cases) EXPECT_EQ(fontconfigFamily(face), family) << face;
}

TEST(SdlFonts, TheMisspelledFaceFindsLiberationSans) {
  FontLibrary fonts;
  const auto bold = fonts.find("Ariel", 700);
  ASSERT_TRUE(bold.has_value());
  EXPECT_NE(bold->path.find("LiberationSans-Bold."), std::string::npos) << bold->path;
  const auto regular = fonts.find("Ariel", 400);
  ASSERT_TRUE(regular.has_value());
  EXPECT_NE(regular->path.find("LiberationSans-Regular."), std::string::npos) << regular->path;
}

int widthOf(TTF_Font* font, const std::string& text) {
  int width = 0, height = 0;
  TTF_SizeText(font, text.c_str(), &width, &height);
  return width;
}

// The frequency is printed at x 285 with 13 trailing blanks; it must end inside the 950-pixel
// window. A wrong face (DejaVu Sans, 769 px) or 72 dpi instead of 96 (464 px) shows here.
TEST(SdlFonts, FrequencyLineFitsInTheLargeFont) {
  FontLibrary fonts;
  TTF_Font* large = fonts.open("Ariel", 50, 700);
  ASSERT_NE(large, nullptr);
  const int width = widthOf(large, "   14.200000             ");
  std::cout << "frequency line width in the large font: " << width << " px\n";
  EXPECT_GE(width, 600);
  EXPECT_LE(285 + width, 950);
  EXPECT_EQ(fonts.open("Ariel", 50, 700), large) << "fonts are opened once";
}

TEST(SdlFonts, HelpLinesFitInTheDefaultFont) {
  const std::pair<int, std::string> lines[] = {
      {190,
       "b=Band  f=Freq  e=Entry m=Mode  s=Meter/SWR  Z=Zero frequency  w=Filter width "
       "p=Power"},
      {155,
       "         v=VFO B/Split/Repeater  c=channel save  g=goto channel  a=af gain  "
       "r=rfgain  n=Menu Nr."},
      {155,
       "        F1=Preamp F2=Attenuator F3=Noise Blanker F4=Noise Reduction F5=Notch  "
       "h=help  q=quit"},
  };
  FontLibrary fonts;
  TTF_Font* plain = fonts.open(kDefaultFace, kDefaultPoints, kDefaultWeight);
  ASSERT_NE(plain, nullptr);
  // Lines 25 pixels apart must not overlap.
  EXPECT_LE(TTF_FontHeight(plain), 25);
  for (const auto& [x, text] : lines) {
    const int width = widthOf(plain, text);
    std::cout << "help line from x " << x << ": " << width << " px\n";
    EXPECT_GE(width, 400) << "a readable size";
    EXPECT_LE(x + width, 950) << text;
  }
}

TEST(SdlFonts, TrailingBlanksTakeTheirWidth) {
  FontLibrary fonts;
  TTF_Font* large = fonts.open("Ariel", 50, 700);
  ASSERT_NE(large, nullptr);
  EXPECT_GT(widthOf(large, "LSB "), widthOf(large, "LSB"));
  EXPECT_GT(widthOf(large, "    "), 0);
}

}  // namespace
}  // namespace orvane::sdl
