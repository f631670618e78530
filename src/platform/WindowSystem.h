// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "platform/KeyAction.h"

namespace pictrane {

// The icon a message box shows; each back end draws it its own way.
enum class MessageIcon { None, Critical, Question, Exclamation, Information };

using ProcessId = std::int64_t;

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
  // Checks before every key event that the keyboard focus belongs to Target; returns false,
  // having sent no further event, as soon as it does not.
  virtual bool SendKeys(const KeyActions& Actions, ProcessId Target) = 0;

  // True when the window with the keyboard focus belongs to the process Process.
  virtual bool FocusBelongsTo(ProcessId Process) = 0;
  // Asks Process's top-level windows to close, as their close box would (no keystrokes).
  virtual void CloseWindowsOf(ProcessId Process) = 0;
};

}  // namespace pictrane
