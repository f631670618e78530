// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "platform/WindowSystem.h"

namespace pictrane::win32 {

class WindowSystemWin32 final : public WindowSystem {
 public:
  // Modal to the program's active window, or to all of its windows when none is active.
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  // Sends the events one at a time, each after a look at the foreground window, so a window that
  // comes forward mid-string gets at most the event already on its way; then stops, releases
  // whatever it holds and returns false.
  bool SendKeys(const KeyActions& Actions, ProcessId Target) override;
  bool FocusBelongsTo(ProcessId Process) override;
  // Posts WM_CLOSE, no keystroke, to every visible top-level window of Process.
  void CloseWindowsOf(ProcessId Process) override;

  // Runs before every input event (before the focus check); lets tests move the foreground at
  // a chosen event.
  void SetBeforeKeyEvent(std::function<void()> Hook) { BeforeKeyEvent_ = std::move(Hook); }

 private:
  std::function<void()> BeforeKeyEvent_;
};

// Returns once the thread of the foreground window has taken every message it was sent or
// given so far (Events input events plus the characters they make), or after a bounded wait.
void WaitForForegroundInput(std::size_t Events);

}  // namespace pictrane::win32
