// SPDX-License-Identifier: GPL-3.0-or-later
// Where every text of the main window goes. The large font is the one panel initialisation sets;
// the banner and help lines are printed before it, in the window's default font.
#pragma once

#include <string_view>

namespace orvane::screen {

struct Position {
  int x;
  int y;
};

inline constexpr Position kBanner{300, 10};
inline constexpr Position kHelpLine1{190, 355};
inline constexpr Position kHelpLine2{155, 380};
inline constexpr Position kHelpLine3{155, 405};
inline constexpr Position kMode{50, 45};
inline constexpr Position kSMeter{750, 45};
inline constexpr Position kSplitMarker{80, 150};
inline constexpr Position kFrequency{285, 150};
// Where the print position rests between ticks.
inline constexpr Position kTickRest{0, 250};

inline constexpr std::string_view kHelpText1 =
    "b=Band  f=Freq  e=Entry m=Mode  s=Meter/SWR  Z=Zero frequency  w=Filter width p=Power";
inline constexpr std::string_view kHelpText2 =
    "         v=VFO B/Split/Repeater  c=channel save  g=goto channel  a=af gain  r=rfgain  n=Menu "
    "Nr.";
inline constexpr std::string_view kHelpText3 =
    "        F1=Preamp F2=Attenuator F3=Noise Blanker F4=Noise Reduction F5=Notch  h=help  q=quit";

// The large font: the face name is a misspelling of Arial that the font mapping resolves.
inline constexpr std::string_view kLargeFace = "Ariel";
inline constexpr int kLargePoints = 50;
inline constexpr int kLargeWeight = 700;

inline constexpr std::string_view kWindowTitle = "*** Velomar Deck v1.9***";
inline constexpr int kWindowX = 350;
inline constexpr int kWindowY = 100;
inline constexpr int kWindowWidth = 950;
inline constexpr int kWindowHeight = 500;

}  // namespace orvane::screen
