// The Linux program: Qt for the window, X11 for keystrokes, the core for everything it decides.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "DesktopBus.h"
#include "LinuxServices.h"
#include "ProgressWindow.h"
#include "QtPlatform.h"
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
  static ProgramState state;  // alive until the process ends
  static QtWindowSystem windows;
  static LinuxFileSystem files;
  static LinuxListing listing;
  static LinuxClock clock;
  static QtCommonControls controls;
  static QtFolderDialog folders;
  static LinuxProcesses programs(
      [](ProcessId pid, int timeoutMs) { return windows.ShowMaximisedWithFocus(pid, timeoutMs); });
  static Platform* platform = nullptr;
  static QtFormFactory forms([](const RaisedError& e) { ReportRunTimeError(*platform, e); });
  static QtProgressWindow progress(QtProgressWindow::FocusedWindowCentre,
                                   std::make_unique<LauncherEntry>());
  static DBusNotifier notices;
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
