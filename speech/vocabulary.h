// SPDX-License-Identifier: GPL-3.0-or-later
// Every clip name the panel can play. The clip set in wave/ must hold a file for each.
#pragma once

#include <array>
#include <string_view>

namespace orvane {

inline constexpr auto kClipVocabulary = std::to_array<std::string_view>(
    {// digits and the decimal point
     "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "point",
     // units
     "mhz", "khz", "watts", "metres",
     // bands as words ("6" and "2" are the digit clips)
     "160", "80", "60", "40", "30", "20", "17", "15", "12", "10", "70", "un",
     // modes
     "lsb.wav", "usb.wav", "cw.wav", "am.wav", "fm.wav",
     // modes only another program sets: "rtty", "cw.wav" "reverse"
     "rtty", "reverse",
     // readout prefixes
     "vfob", "bw", "Power",
     // receiver toggles
     "preamp", "at", "nb", "nr", "notch",
     // meters; decibels beyond S9 are spoken with the band words "10" to "60" and "50"
     "s", "plus", "SWR", "gt6", "21", "50",
     // key answers
     "band", "ag", "rf", "sch", "gch", "EF", "spot", "max",
     // results
     "ok", "invalid", "split", "off", "on",
     // tune
     "tune.wav", "on.wav", "off.wav", "ton",
     // link state, a function the radio does not have, and the radio's name when it is not the
     // TS-2000 the panel was written for
     "connected", "nc", "na", "ts480", "ts590s", "ts590sg", "ts890s", "ts990s",
     // another program keys and unkeys the transmitter
     "transmit", "receive",
     // program life
     "ts", "cfgnf", "quit", "delay", "help.wav"});

}  // namespace orvane
