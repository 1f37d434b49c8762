// SPDX-License-Identifier: GPL-3.0-or-later
// What the rig server tells a client about the radio: the answer to "\dump_state", from which
// Hamlib's network client learns the ranges, modes and the levels it may ask for (without it
// "rigctl -m 2" does not open), and the answer to "\dump_caps" ("1"), for a person reading it.
#pragma once

#include <string_view>

namespace orvane::rig {

std::string_view dumpState();
std::string_view dumpCaps();

}  // namespace orvane::rig
