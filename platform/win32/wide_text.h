// SPDX-License-Identifier: GPL-3.0-or-later
// The panel's texts are UTF-8 (file names are plain ASCII in practice); the Windows functions
// that take names want UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace orvane {

// The UTF-16 form of a UTF-8 text; bytes that are no UTF-8 become U+FFFD.
std::wstring widen(std::string_view text);
// The UTF-8 form of a UTF-16 text, e.g. a path Windows gives; unpaired surrogates become U+FFFD.
std::string narrow(std::wstring_view text);

}  // namespace orvane
