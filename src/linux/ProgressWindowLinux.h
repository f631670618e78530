// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The run's progress window on Linux: a Qt tool window standing over the capture tool that never
// takes the keyboard focus (the keys of the run must keep going to the tool), plus the launcher's
// progress on the session bus.

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "linux/DesktopBus.h"
#include "platform/Progress.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QScreen;

namespace pictrane::linux_desktop {

class ProgressWidget;

class ProgressWindowLinux final : public ProgressWindow {
 public:
  // Where the capture tool's window is: the screen holding its centre is the one the window
  // goes to. Empty (or no answer) means the primary screen.
  using LocateTool = std::function<std::optional<QPoint>()>;
  explicit ProgressWindowLinux(LocateTool Locate = FocusedWindowCentre,
                               std::unique_ptr<LauncherEntry> Launcher = nullptr);
  ~ProgressWindowLinux() override;

  void Begin(const ProgressView& View) override;
  void Step(const ProgressView& View) override;
  bool CancelPressed() override;
  void End(bool Complete) override;

  QWidget& Widget();  // for tests

  // The centre, in root coordinates, of the top-level window that has the keyboard focus now.
  static std::optional<QPoint> FocusedWindowCentre();

 private:
  LocateTool Locate_;
  std::unique_ptr<LauncherEntry> Launcher_;
  std::unique_ptr<ProgressWidget> Widget_;
};

}  // namespace pictrane::linux_desktop
