// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "platform/KeyAction.h"
#include "pictrane/win32/Win32.h"

namespace pictrane::win32 {

// What every event of ours carries in dwExtraInfo, so that a low-level keyboard hook tells it
// from another program's injected keys.
inline constexpr ULONG_PTR kOwnInput = 0x50435452;  // "PCTR"
// What the hand-over's mark carries: the key up that ends each string, which our hook takes out
// of the input stream before any window sees it (WaitForForegroundInput).
inline constexpr ULONG_PTR kHandOverInput = 0x50435448;  // "PCTH"

// The hand-over's mark: the release of a key no keyboard has, carrying kHandOverInput.
INPUT HandOverMark();

// The input events that type Actions: named keys and keys with modifiers as virtual-key codes
// (with their scan codes), plain characters as Unicode packets. Each action presses its
// modifiers, types its key Count times and releases the modifiers again. Raises RaisedError,
// before anything is sent, for a character that must carry modifiers but has no key on the
// current keyboard layout. Every event carries kOwnInput.
std::vector<INPUT> KeyInputs(const KeyActions& Actions);

}  // namespace pictrane::win32
