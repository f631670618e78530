// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Qt side of the Linux platform: the window built from its layout, message boxes, the folder
// dialog, and keystrokes through an X11 session opened when first needed.

#include <QIcon>
#include <functional>
#include <memory>

#include "platform/CommonControls.h"
#include "platform/FolderDialog.h"
#include "platform/Form.h"
#include "pictrane/RaisedError.h"
#include "platform/WindowSystem.h"

namespace pictrane::linux_desktop {

class X11Session;

// Qt draws its own controls: there is nothing to register.
class CommonControlsLinux : public CommonControls {
 public:
  void InitCommonControlsEx(const CommonControlsRecord&) override {}
};

class FolderDialogLinux : public FolderDialog {
 public:
  std::optional<std::string> BrowseForFolder(WindowHandle Owner, const std::string& Prompt,
                                             const std::string& StartFolder) override;
};

// The program's icon: the installed theme's, else the one built into the program.
QIcon ProgramIcon();

class WindowSystemLinux : public WindowSystem {
 public:
  WindowSystemLinux();
  ~WindowSystemLinux() override;
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  KeysOutcome SendKeys(const KeyActions& Actions, KeyTarget& Target, KeyPacing& Pacing) override;
  void WatchKeyboard() override;
  bool OthersHoldKeys() override;
  ProcessId FocusedProcess() override;
  // From /proc: the parent as the kernel knows it now (a process whose parent ended has init's).
  ProcessId ParentProcess(ProcessId Process) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  bool CloseWindowsOf(ProcessId Process) override;
  // Finds Process's window, maximises it and gives it the focus; false when none appeared.
  bool ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs);
  // Ends the X11 session as the program's end would: the spare keycodes it borrowed get their
  // empty mapping back. For an end that skips the destructors (a signal); a later use of the
  // session opens a new one.
  void EndX11Session();

 private:
  X11Session& X11();
  std::unique_ptr<X11Session> X11_;
};

// What a window does with an error that escapes one of its handlers: the top level's report.
using UnhandledErrorFn = std::function<void(const RaisedError&)>;

class FormFactoryLinux : public FormControlsFactory {
 public:
  explicit FormFactoryLinux(UnhandledErrorFn OnUnhandled) : OnUnhandled_(std::move(OnUnhandled)) {}
  std::unique_ptr<FormControls> Create(const FormLayout& Layout,
                                       FormControlEvents& Events) override;

 private:
  UnhandledErrorFn OnUnhandled_;
};

}  // namespace pictrane::linux_desktop
