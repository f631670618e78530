// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux program: Qt for the window, X11 for keystrokes, the core for everything it decides.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/DesktopBus.h"
#include "platform/linux/ServicesLinux.h"
#include "platform/linux/ProgressWindowLinux.h"
#include "platform/linux/DesktopLinux.h"
#include "platform/Application.h"
#include "platform/Platform.h"
#include "startup/CommandLine.h"
#include "startup/modMain.h"

int main(int argc, char** argv) {
  // Before Qt, so that --help and --version need no display.
  if (const auto answer = pictrane::ParseCommandLine({argv + 1, argv + argc}, "pictrane-converter");
      !answer.Run) {
    std::fputs(answer.Text.c_str(), answer.IsError ? stderr : stdout);
    return answer.ExitStatus;
  }
  // Keystrokes travel through X11, so the window must be an X11 client too (XWayland under a
  // Wayland desktop). Tests may still choose another platform through the environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication app(argc, argv);
  QApplication::setApplicationName(pictrane::kAppTitle);

  using namespace pictrane;
  using namespace pictrane::linux_desktop;
  static ProgramState state;  // alive until the process ends
  static WindowSystemLinux windows;
  static FileSystemLinux files;
  static DirectoryListingLinux listing;
  static ClockLinux clock;
  static CommonControlsLinux controls;
  static FolderDialogLinux folders;
  static ProcessesLinux programs(
      [](ProcessId pid, int timeoutMs) { return windows.ShowMaximisedWithFocus(pid, timeoutMs); });
  static Platform* platform = nullptr;
  static FormFactoryLinux forms([](const RaisedError& e) { ReportRunTimeError(*platform, e); });
  static ProgressWindowLinux progress(ProgressWindowLinux::FocusedWindowCentre,
                                      std::make_unique<LauncherEntry>());
  static DesktopNotifierLinux notices;
  static Platform p{SystemProfileStore(),
                    clock,
                    controls,
                    folders,
                    windows,
                    programs,
                    files,
                    listing,
                    forms,
                    progress,
                    notices};
  platform = &p;

  try {
    Main(p, state);
  } catch (...) {
    ReportRunTimeError(p, CurrentError());
  }
  const int status = QApplication::exec();
  return status != 0 ? status : state.ExitStatus;
}
