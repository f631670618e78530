// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The least any typist can do over X11: a key string's events queued with nothing but XTest, no
// look at the focus or the keyboard. The floor the benchmarks set the program's keyboard beside.

#include "platform/KeyAction.h"

struct _XDisplay;  // Xlib's Display

namespace benchx11 {

// Queues Keys' presses and releases on D (modifiers around each key, Shift where the keymap puts
// the character on its second level). Only characters on the keymap and the named keys of the
// file script are known: false, with nothing queued for that key, for any other.
bool QueueBare(_XDisplay* D, const pictrane::KeyActions& Keys);

// The closing round trip the program's key strings end with, in two halves: a keyboard grab
// attempt on Window, in one write with the queued keys, which returns once the reply has come (the
// server has taken every key before it); and the grab let go, when it was taken.
bool GrabKeyboard(_XDisplay* D, unsigned long Window);
void ReleaseKeyboard(_XDisplay* D);

}  // namespace benchx11
