// SPDX-License-Identifier: GPL-3.0-or-later
#include "tuning/bands.h"

#include <array>

namespace orvane {

namespace {

constexpr int kLastPreampOffBand = 5;  // 160 m to 30 m: preamplifier off

// The highest band that stepping reaches, by the configuration's band code. Stepping down from
// 160 m lands on 10 m for an unknown code; stepping up with an unknown code runs on to 70 cm.
int topBandNumber(const Text& topBand) {
  if (topBand == "6") return 11;
  if (topBand == "2") return 12;
  if (topBand == "7") return 13;
  return 10;
}

bool knownTopBand(const Text& topBand) {
  return topBand == "1" || topBand == "6" || topBand == "2" || topBand == "7";
}

// Whether the megahertz digits (characters 6 and 7 of a frequency answer) lie in the band.
bool megahertzBelongToBand(int band, const std::string& mhz) {
  static constexpr std::array<std::string_view, 12> kDigits = {"",   "01", "03", "05", "07", "10",
                                                               "14", "18", "21", "24", "28", ""};
  if (band >= 1 && band <= 9) return mhz == kDigits[static_cast<std::size_t>(band)];
  if (band == 10) return mhz == "28" || mhz == "29";
  if (band == 11) return leftText(mhz, 1) == "5";
  return false;  // 2 m and 70 cm are never stored
}

}  // namespace

int bandFromMHz(int mhz) {
  switch (mhz) {
    case 1:
      return 1;
    case 3:
      return 2;
    case 5:
      return 3;
    case 7:
      return 4;
    case 10:
      return 5;
    case 14:
      return 6;
    case 18:
      return 7;
    case 21:
      return 8;
    case 24:
      return 9;
    default:
      break;
  }
  if (mhz >= 28 && mhz <= 29) return 10;
  if (mhz >= 50 && mhz <= 54) return 11;
  if (mhz >= 144 && mhz <= 148) return 12;
  if (mhz >= 430 && mhz <= 439) return 13;
  return kOutOfBand;
}

int defaultModeOfBand(int band) {
  static constexpr std::array<int, 6> kLowBands = {2, 1, 1, 2, 1, 3};  // index 0 unused
  return band >= 1 && band <= 5 ? kLowBands[static_cast<std::size_t>(band)] : 2;
}

void BandControl::bandMemoryStore() {
  const std::string reply = state_.lastFreqReply.str();
  const int band = state_.bandIndex;
  if (band >= 1 && band <= 11 && megahertzBelongToBand(band, midText(reply, 6, 2))) {
    state_.bandTable[static_cast<std::size_t>(band)] = reply;
  }
}

void BandControl::goToBand() {
  if (state_.splitState > 0) {
    link_.sendAction(CatAction::SplitOff);
    state_.splitState = 0;
  }
  state_.modeIndex = defaultModeOfBand(state_.bandIndex);
  if (state_.bandIndex >= 1 && state_.bandIndex <= kBandCount) {
    link_.send(state_.bandTable[static_cast<std::size_t>(state_.bandIndex)]);
  }
  toggles_.setPreamp(state_.bandIndex > kLastPreampOffBand);
  announcer_.speakBand();
  mode_.modeCommand();
}

void BandControl::bandKey() {
  state_.entryState = 1;
  announcer_.playClip("band");
  announcer_.speakBand();
  bandMemoryStore();
  if (state_.splitState >= 1) {
    announcer_.playClip("split");
    announcer_.playClip("off");
    link_.sendAction(CatAction::SplitOff);
    state_.splitState = 0;
  }
}

void BandControl::bandDigit(int digit) {
  state_.bandIndex = digit == 0 ? 10 : digit;
  goToBand();
}

bool BandControl::refusedOutOfBand() {
  if (state_.bandIndex != kOutOfBand) return false;
  announcer_.playClip("band");
  announcer_.playClip("un");
  return true;
}

void BandControl::up() {
  if (refusedOutOfBand()) return;
  bandMemoryStore();
  ++state_.bandIndex;
  const bool pastTop =
      knownTopBand(state_.topBand) && state_.bandIndex == topBandNumber(state_.topBand) + 1;
  if (pastTop || state_.bandIndex > kBandCount) {
    state_.bandIndex = 1;
  }
  goToBand();
}

void BandControl::down() {
  if (refusedOutOfBand()) return;
  bandMemoryStore();
  --state_.bandIndex;
  if (state_.bandIndex < 1) state_.bandIndex = topBandNumber(state_.topBand);
  goToBand();
}

}  // namespace orvane
