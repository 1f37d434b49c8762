// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows headers as every file of this layer includes them: without the rarely used parts,
// and without the min and max macros that would break std::min and std::max.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
