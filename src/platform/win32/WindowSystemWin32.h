// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include "platform/WindowSystem.h"

namespace pictrane::win32 {

class WindowSystemWin32 final : public WindowSystem {
 public:
  // Modal to the program's active window, or to all of its windows when none is active.
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  // Sends the events one at a time, each after asking Target about the foreground window's
  // process, so a window that comes forward mid-string gets at most the event already on its way;
  // then stops, releases whatever it holds and returns FocusLost. Windows has no keyboard grab
  // another program could hold against the foreground window (input goes to the foreground
  // thread, and what a low-level hook swallows cannot be seen from outside), so nothing more is
  // checked and KeyboardGrabbed never comes back.
  KeysOutcome SendKeys(const KeyActions& Actions, KeyTarget& Target, KeyPacing& Pacing) override;
  KeysOutcome SendKeys(const KeyActions& Actions, KeyTarget& Target) {
    NoPacing Unpaced;
    return SendKeys(Actions, Target, Unpaced);
  }
  // The same for the windows of Target alone; true when every event went out.
  bool SendKeys(const KeyActions& Actions, ProcessId Target);
  ProcessId FocusedProcess() override;
  // From a process snapshot; 0 when the recorded parent is younger than Process (its id was
  // given again after the real parent ended) or cannot be told.
  ProcessId ParentProcess(ProcessId Process) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
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
