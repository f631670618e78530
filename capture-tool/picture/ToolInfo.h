// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The tool's version and its exit statuses, for the command line, the batch, the link commands
// and the window alike.

#include "pictrane/Product.h"

namespace pictrane::capture {

inline constexpr const char* kToolVersion = pictrane::kProjectVersion;

inline constexpr int kExitDone = 0;
inline constexpr int kExitNoCalculator = 1;  // no calculator answered at all
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNotAllWritten = 3;

}  // namespace pictrane::capture
