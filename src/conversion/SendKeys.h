// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The send-keys notation of key strings, turned into key actions before anything is typed.
//
// clang-format off
//   + ^ %        Shift, Ctrl, Alt for the next key, or for every key of a following "(...)" group;
//                they combine ("^+a") and nest ("+(a^b)" gives Shift+a, Ctrl+Shift+b).
//   ~            Enter.
//   {NAME}       a named key, without regard to case: ENTER, TAB, ESC/ESCAPE, BS/BACKSPACE/BKSP,
//                DEL/DELETE, INS/INSERT, HOME, END, PGUP, PGDN, UP, DOWN, LEFT, RIGHT, BREAK,
//                CAPSLOCK, NUMLOCK, SCROLLLOCK, PRTSC, HELP, F1..F16.
//   {c}          one character typed as itself, so "{+}", "{(}", "{}}", "{{}" type "+", "(", "}", "{".
//   {NAME n}     the key repeated n times, 1 <= n <= kMaxKeyRepeat ("{DOWN 5}", "{a 3}", "{+ 2}").
//   anything else, "[" and "]" included, is a character typed as itself (UTF-8 decoded).
// clang-format on
//
// Malformed strings raise RaisedError(5, "SendKeys", "<problem> at position <n>.") where n is the
// 1-based position, counted in characters (code points), of the offending character, or of the
// "{" or "(" that opens the offending brace or group.

#include <string>

#include "platform/KeyAction.h"
#include "platform/KeyInjector.h"

namespace pictrane {

// Large enough for any real use, small enough that a typo cannot hold the keyboard for minutes.
inline constexpr int kMaxKeyRepeat = 1000;

// Parses a whole key string; throws before returning anything when any part of it is malformed.
KeyActions ParseKeys(const std::string& Keys);

// Braces each of "+^%~(){}[]" so that ParseKeys types Text exactly as it is, one character action
// per code point and no modifiers. Everything else, non-ASCII UTF-8 included, is left unchanged.
// A control character (U+0000..U+001F, U+007F..U+009F) would arrive as Return, Tab or nothing
// at all rather than as itself, so it raises the SendKeys error above instead.
std::string EscapeKeys(const std::string& Text);

// A one-line rendering of key actions for transcripts, actions separated by one blank:
//   - a lone character in apostrophes: 'C' ':' '/' ' ' 'é';
//   - a named key by its name (DescribeNamedKey): Enter Down F4;
//   - modifiers first, always in the order Ctrl+, Alt+, Shift+, then the key; a character after
//     modifiers stands bare: Ctrl+F4 Alt+f Ctrl+Shift+a, except the blank, shown as Space;
//   - a control character (below U+0020, U+007F..U+009F) as U+XXXX instead of its glyph;
//   - a repeat as " x<count>" after the key: Down x5 'a' x3.
// So "^o" gives "Ctrl+o", "C:/" gives "'C' ':' '/'", "{DOWN 5}~" gives "Down x5 Enter".
std::string DescribeKeys(const KeyActions& Actions);

// The two moments of a key string that the run's pauses are counted between (the rule is the
// pacer's: conversion/Pacer.h). Whatever is readied before the first and done after the second
// falls inside the pauses.
class KeyPacing {
 public:
  virtual ~KeyPacing() = default;
  // The string's first event is about to go: the pause before it must be over.
  virtual void BeforeFirstKey() = 0;
  // The string's last event has been handed over.
  virtual void Handed() = 0;
  // Whether key events of others since the previous string (in the pause between) count against
  // this one, answering OthersKeys before its first key.
  virtual bool EarlierKeysCount() { return false; }
};

// Keys sent outside a run, where no pause follows them.
class NoPacing final : public KeyPacing {
 public:
  void BeforeFirstKey() override {}
  void Handed() override {}
};

// Types Actions through Keys into the window that has the keyboard focus and returns once the
// system has taken them; raises RaisedError when they cannot be typed, having sent nothing, or
// when the system refuses an event, leaving nothing held.
// Just before the first event, the focus must be on a window Target owns and no other client
// may hold the keyboard (FocusLost, KeyboardGrabbed); others' key events since the previous
// string count where Pacing says so (OthersKeys), and a key others hold answers KeysHeld, all
// having typed nothing. Before every later batch the focus is looked at again and others' keys
// are read: the string stops as soon as either says so, and its end releases whatever it held.
// Pacing hears the moment before the first event (after the keys are planned, before the focus
// is looked at) and the moment the last was handed over.
KeysOutcome SendKeys(KeyInjector& Keys, const KeyActions& Actions, KeyTarget& Target,
                     KeyPacing& Pacing);
// Unpaced; and to the windows of one process, true when every event went out.
KeysOutcome SendKeys(KeyInjector& Keys, const KeyActions& Actions, KeyTarget& Target);
bool SendKeys(KeyInjector& Keys, const KeyActions& Actions, ProcessId Target);

}  // namespace pictrane
