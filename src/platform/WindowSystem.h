// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/KeyInjector.h"

namespace pictrane {

// The icon a message box shows; each back end draws it its own way.
enum class MessageIcon { None, Critical, Question, Exclamation, Information };

// A visible top-level window and the process it belongs to (0 or kUnknownProcess, as for the focus).
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

  // The keyboard, through which key strings are typed (conversion/SendKeys.h). May raise
  // RaisedError when the system cannot synthesise keys at all (no display).
  virtual KeyInjector& Keyboard() = 0;

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
