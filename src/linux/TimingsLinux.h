// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Linux back end's own looks at the system while it starts the tool, types and shows
// progress. The run's timings are the core's (conversion/RunTimings.h) and reach this back end as
// arguments.

#include <cstdint>

namespace pictrane::linux_desktop {

// How often a window is looked at again for having appeared, taken the focus or its size...
inline constexpr int kWindowPollMs = 10;
// ...and how often one that has not yet taken the focus or its size is asked again.
inline constexpr int kWindowAskAgainMs = 100;
// How long a spare keycode taken over for another character must have rested since its last key
// (a client reads a key with the newest keymap it has heard of).
inline constexpr int kKeycodeRestMs = 50;
// The last stretch of a sleep, waited out on the clock: the kernel wakes a sleeper 50-100 us late
// on a busy or virtual machine, 18 times a file.
inline constexpr std::int64_t kSleepWaitedOutUs = 200;
// Progress on the launcher or dock entry is sent at most this often.
inline constexpr int kDockUpdateMs = 250;
// How long a notification server that does not answer may hold the end of the run.
inline constexpr int kNotifyReplyWaitMs = 500;

}  // namespace pictrane::linux_desktop
