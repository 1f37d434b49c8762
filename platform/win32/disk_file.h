// SPDX-License-Identifier: GPL-3.0-or-later
// Reading a whole file from the disk, for the file system and for the clip player.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace orvane {

// The contents of the file at name (UTF-8), or nothing when it cannot be opened or read, is no
// file on a disk (a folder, a pipe, a device) or holds more than maxBytes.
std::optional<std::string> readDiskFile(const std::string& name, std::size_t maxBytes);

}  // namespace orvane
