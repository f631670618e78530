// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "platform/WindowSystem.h"
#include "win32/KeyboardWin32.h"

namespace pictrane::win32 {

class WindowSystemWin32 final : public WindowSystem {
 public:
  // Modal to the program's active window, or to all of its windows when none is active.
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  KeyboardWin32& Keyboard() override { return Keys_; }
  ProcessId FocusedProcess() override;
  bool ShowWindow(ProcessId Process, int TimeoutMs) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  // Posts WM_CLOSE, no keystroke, to every visible top-level window of Process, and to those
  // made to be shown (a caption, no owner) but still hidden.
  bool CloseWindowsOf(ProcessId Process) override;

 private:
  KeyboardWin32 Keys_;
};

}  // namespace pictrane::win32
