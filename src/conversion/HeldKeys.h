// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

namespace pictrane {

struct Platform;
class RunHost;

// What the progress window says, in place of the bitmap's name, while the run waits for keys
// that it did not press to be let go.
inline constexpr const char* kReleaseKeyboardText = "Release the keyboard";

enum class ReleaseWait { Released, Cancelled, Closed, TimedOut };

// Waits, at most RunTimings::KeyReleaseWaitMs, until no key or modifier that the program did not
// press is held, while the progress window shows kReleaseKeyboardText for bitmap Index (its Name
// comes back afterwards). The window stays responsive: Cancel, or closing the main window (Host),
// ends the wait at once.
ReleaseWait WaitForKeyboardRelease(Platform& P, RunHost& Host, std::size_t Index,
                                   const std::string& Name);

}  // namespace pictrane
