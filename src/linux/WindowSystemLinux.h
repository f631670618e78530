// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Message boxes through Qt, and keystrokes and windows through an X11 session opened when first
// needed.

#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace pictrane::linux_desktop {

class X11Session;

class WindowSystemLinux : public WindowSystem {
 public:
  WindowSystemLinux();
  ~WindowSystemLinux() override;
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  // The X11 session's keyboard, the session opened when first needed.
  KeyInjector& Keyboard() override;
  ProcessId FocusedProcess() override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  bool CloseWindowsOf(ProcessId Process) override;
  // Finds Process's window, maximises it and gives it the focus; false when none appeared.
  bool ShowWindow(ProcessId Process, int TimeoutMs) override;
  // Ends the X11 session as the program's end would: the spare keycodes it borrowed get their
  // empty mapping back. For an end that skips the destructors (a signal); a later use of the
  // session opens a new one.
  void EndX11Session();

 private:
  X11Session& X11();
  std::unique_ptr<X11Session> X11_;
};

}  // namespace pictrane::linux_desktop
