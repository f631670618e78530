// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Win32 back end's own looks at the system while it starts the tool and types. The run's
// timings are the core's (conversion/RunTimings.h) and reach this back end as arguments.

namespace pictrane::win32 {

// How often the back end looks whether the tool's window has come forward.
inline constexpr int kForegroundPollMs = 20;
// How long one round trip to a busy foreground window may take before typing gives up on it.
inline constexpr int kRoundTripWaitMs = 2000;

}  // namespace pictrane::win32
