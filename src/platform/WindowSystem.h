// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/KeyAction.h"

namespace pictrane {

// The icon a message box shows; each back end draws it its own way.
enum class MessageIcon { None, Critical, Question, Exclamation, Information };

using ProcessId = std::int64_t;

// A window whose process cannot be told (it carries no process id).
inline constexpr ProcessId kUnknownProcess = -1;

// Which windows may receive the keys. The rule is the core's (ToolProcess in
// conversion/ToolStart.h); a back end only reports whose window it sees and asks.
class KeyTarget {
 public:
  enum class Verdict { Owned, Foreign, AskAgain };
  virtual ~KeyTarget() = default;
  // Process owns the window with the keyboard focus (0: no window has it; kUnknownProcess: one
  // whose process cannot be told), or the window that holds a keyboard grab. AskAgain: look at
  // the focus again and ask anew; the target has already waited a moment.
  virtual Verdict Judge(ProcessId Process) = 0;
};

// Only the windows of one process count (a window whose process cannot be told never does).
class OneProcess final : public KeyTarget {
 public:
  explicit OneProcess(ProcessId Process) : Process_(Process) {}
  Verdict Judge(ProcessId Process) override {
    return Process > 0 && Process == Process_ ? Verdict::Owned : Verdict::Foreign;
  }

 private:
  ProcessId Process_;
};

// The two moments of a key string that the run's pauses are counted between (the rule is the
// core's: conversion/Pacer.h). A back end readies what it can before the first, and reports the
// second as soon as it knows it, so that its own work falls inside the pauses.
class KeyPacing {
 public:
  virtual ~KeyPacing() = default;
  // The string's first event is about to go: the pause before it must be over.
  virtual void BeforeFirstKey() = 0;
  // The string's last event has been handed over.
  virtual void Handed() = 0;
  // Whether key events of others since the previous string (in the pause between) count against
  // this one, answering OthersKeys before its first key. The rule of when they do is the core's.
  virtual bool EarlierKeysCount() { return false; }
};

// Keys sent outside a run, where no pause follows them.
class NoPacing final : public KeyPacing {
 public:
  void BeforeFirstKey() override {}
  void Handed() override {}
};

// How a key string went.
enum class KeysOutcome {
  Sent,             // every event was handed over
  FocusLost,        // the focus was not, or no longer, on a window of the target
  KeyboardGrabbed,  // another client held the keyboard before the first key
  KeysHeld,         // a key or modifier the program did not press was down before the first key
  OthersKeys,       // a key event not of the program's own came while the keys were watched
};

// A visible top-level window and the process it belongs to (0 or kUnknownProcess as above).
struct TopLevelWindow {
  std::uint64_t Id = 0;
  ProcessId Process = 0;
};

// Services of the window system that the program asks for outside its own window.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // A modal message box with an OK button.
  virtual void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) = 0;

  // Lets the window process its pending messages (repaints, clicks).
  virtual void DoEvents() = 0;

  // Types Actions into the window that has the keyboard focus and returns once they are
  // processed. Raises RaisedError when keys cannot be synthesised; never leaves a modifier held.
  // Before the first key it asks Target about the focused window's process and, where the system
  // can tell, about a client that holds the keyboard; before every later key event it makes sure
  // the focus has not moved to a window Target refuses. Stops, having sent no further event, as
  // soon as Target refuses. Pacing hears the moment before the first event (after the keys are
  // parsed and planned, before the focus is looked at) and the moment the last was handed over.
  // The keyboard is watched too, where the system can tell the program's own key events from
  // others' (the user's keyboard, another program's synthesised keys): just before the first
  // event, a key or modifier held that the program did not press answers KeysHeld, having typed
  // nothing; a key event of others during the string stops it as a lost focus does, answering
  // OthersKeys, and so does one since the previous string when Pacing says those count.
  virtual KeysOutcome SendKeys(const KeyActions& Actions, KeyTarget& Target, KeyPacing& Pacing) = 0;

  // Others' key events are watched from now on, in the pauses between strings too, where the
  // system must be asked to begin (a hook); which of them count is the strings' pacing's to say.
  virtual void WatchKeyboard() {}
  // Whether a key or modifier is held down now that the program did not press; asks the system
  // itself (a round trip), for a wait between strings.
  virtual bool OthersHoldKeys() { return false; }

  // The process of the window with the keyboard focus: 0 when no window has it, kUnknownProcess
  // when its process cannot be told.
  virtual ProcessId FocusedProcess() = 0;
  // Looks, for at most TimeoutMs, for a visible top-level window of Process; once there is one,
  // shows it maximised and brings it forward. True when the keyboard focus belongs to Process.
  virtual bool ShowWindow(ProcessId Process, int TimeoutMs) = 0;
  // The visible top-level windows of every program, topmost first.
  virtual std::vector<TopLevelWindow> TopLevelWindows() = 0;

  // Asks Process's top-level windows to close, as their close box would (no keystrokes): the
  // shown ones, and those made but not yet shown (a slow program's main window). False when it
  // had none to ask.
  virtual bool CloseWindowsOf(ProcessId Process) = 0;
};

}  // namespace pictrane
