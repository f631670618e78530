#pragma once

#include "../WindowSystem.h"

namespace pictrane::win32 {

class WindowSystemWin32 final : public WindowSystem {
 public:
  // Modal to the program's active window, or to all of its windows when none is active.
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  bool SendKeys(const KeyActions& Actions, ProcessId Target) override;
  bool FocusBelongsTo(ProcessId Process) override;
  void CloseWindowsOf(ProcessId Process) override;
};

// Returns once the thread of the foreground window has taken every message it was sent or
// given so far (Events input events plus the characters they make), or after a bounded wait.
void WaitForForegroundInput(std::size_t Events);

}  // namespace pictrane::win32
