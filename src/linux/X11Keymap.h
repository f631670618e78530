// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Key actions as the keymap types them: what X11Keyboard resolves a string to before its first
// key (X11Keymap.cpp), and its steps then type.

#include <X11/Xlib.h>

#include <optional>
#include <vector>

namespace pictrane::linux_desktop::x11 {

// Where a keysym is typed: a keycode, with or without Shift, in a keyboard group.
struct KeyChoice {
  KeyCode Code = 0;
  bool Shift = false;
  int Group = 0;
};

// Key actions resolved against the keymap: everything that can be wrong with them is found
// here, before the first key.
struct TypingPlan {
  struct Step {
    KeySym Sym = 0;
    std::optional<KeyChoice> Key;  // nothing: typed through a spare keycode
    bool HoldShift = false, HoldControl = false, HoldAlt = false;
    int Count = 1;
  };
  std::vector<Step> Steps;
  bool TogglesCapsLock = false;
};

}  // namespace pictrane::linux_desktop::x11
