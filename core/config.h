// SPDX-License-Identifier: GPL-3.0-or-later
// The configuration file "orvane.cfg": seven lines, each a free label followed by a value at fixed
// character positions. Only positions and line lengths count; the labels are never read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/panel_state.h"

namespace orvane {

inline constexpr char kConfigFileName[] = "orvane.cfg";
inline constexpr int kConfigLineCount = 7;
// The line buffer holds 255 characters; the rest of a longer line is dropped.
inline constexpr std::size_t kConfigLineMax = 255;

// Sets comPort, baudRate, powerWatts, swrWording, topBand, powerSwitch and debugLog from the file's
// contents. Without contents (the file could not be opened) every line reads as empty, so every
// setting is 0 or empty.
void applyConfiguration(const std::optional<std::string>& contents, PanelState& state);

}  // namespace orvane
