// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/KeyAction.h"

namespace pictrane {

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

// How a key string went.
enum class KeysOutcome {
  Sent,             // every event was handed over
  FocusLost,        // the focus was not, or no longer, on a window of the target
  KeyboardGrabbed,  // another client held the keyboard before the first key
  KeysHeld,         // a key or modifier the program did not press was down before the first key
  OthersKeys,       // a key event not of the program's own came while the keys were watched
};

// The system's keyboard as the core's typing loop (SendKeys in conversion/SendKeys.h) drives
// it: the loop decides when to look and when to stop; a back end turns keys into its events,
// sends them a batch at a time and says what it sees of the focus and of others' keys.
// A string goes: Plan, StillFree (the first look), the checks of others' keys, then a batch
// (NextPress, Send) while HasNext, each later batch after a StillFree; then Finish, or Abandon
// when a call threw. Which events make a batch is the loop's rule, not a back end's.
class KeyInjector {
 public:
  virtual ~KeyInjector() = default;

  // Turns Actions into the system's events for the next string. Raises RaisedError, having sent
  // nothing, when they cannot be typed here.
  virtual void Plan(const KeyActions& Actions) = 0;
  // Whether the focus is on a window Target owns (asking Target again while it says AskAgain)
  // and no other client holds the keyboard against it: Sent, FocusLost or KeyboardGrabbed.
  // The string's first look asks the system; later ones may answer from what it has told since.
  virtual KeysOutcome StillFree(KeyTarget& Target) = 0;
  // Whether an event of the string is left to send.
  virtual bool HasNext() const = 0;
  // Where the next key press lies among the events not yet sent, counting from the From-th of
  // them: its place, or how many are left when no press follows. May ready those events.
  virtual std::size_t NextPress(std::size_t From) = 0;
  // Sends the next Count events not yet sent. Raises RaisedError when the system refuses one.
  virtual void Send(std::size_t Count) = 0;
  // Releases whatever the string left held, puts back what it changed (locks, the group), and
  // returns once the system has taken every event; Handed runs as soon as that is known. After
  // a whole string, what the closing look found of the focus (as StillFree answers); Sent after
  // one that stopped.
  virtual KeysOutcome Finish(KeyTarget& Target, const std::function<void()>& Handed) = 0;
  // The same after a throw, as far as it can: nothing left held, nothing raised.
  virtual void Abandon() noexcept = 0;

  // Others' key events (the user's keyboard, another program's synthesised keys), where the
  // system tells them from the program's own; every answer reads what has come so far.
  // Others are watched from now on, where the system must be asked to begin (a hook).
  virtual void WatchKeyboard() {}
  // A key event of others came since the last ForgetOthersKeys.
  virtual bool OthersTyped() { return false; }
  virtual void ForgetOthersKeys() {}
  // A key or modifier the program did not press is down, or latched: as the system's reports
  // say, confirmed by asking (a round trip) when they say so.
  virtual bool OthersHold() { return false; }
  // The same, always asking the system (a wait between strings).
  virtual bool AskOthersHold() { return false; }
};

}  // namespace pictrane
