// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux program: Qt for the window, X11 for keystrokes, the core for everything it decides.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <cstdio>
#include <cstdlib>

#include "linux/DesktopBus.h"
#include "linux/DesktopLinux.h"
#include "linux/FileSystemLinux.h"
#include "linux/FormLinux.h"
#include "linux/ProcessesLinux.h"
#include "linux/ProgressWindowLinux.h"
#include "linux/WindowSystemLinux.h"
#include "pictrane/Product.h"
#include "platform/Platform.h"
#include "portable/IniFileStore.h"
#include "startup/CommandLine.h"
#include "startup/modMain.h"
#include "window/FormRules.h"
#include "window/frmMain.h"
#include "window/ProgressReport.h"

namespace {

// A signal only writes its number here; the event loop reads it and ends the program at a point
// where no key string is half sent.
int SignalPipe[2] = {-1, -1};

void OnSignal(int Signal) {
  const unsigned char Number = static_cast<unsigned char>(Signal);
  [[maybe_unused]] const ssize_t Written = ::write(SignalPipe[1], &Number, 1);
}

// What the exit handler cleans up after: set while main's objects live.
pictrane::Platform* Exiting = nullptr;
pictrane::ProgramState* ExitingState = nullptr;

// Qt, or Xlib, ends the process with exit(1) when the display goes, in the middle of whatever
// ran: a run in progress leaves no list behind all the same.
void OnExit() {
  if (Exiting && ExitingState) pictrane::RemoveListOfRunInProgress(*Exiting, *ExitingState);
}

bool CatchEndSignals() {
  if (::pipe2(SignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction Action {};
  Action.sa_handler = OnSignal;
  sigemptyset(&Action.sa_mask);
  Action.sa_flags = SA_RESTART;
  for (int Signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(Signal, &Action, nullptr);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace pictrane;
  using namespace pictrane::linux_desktop;
  constexpr const char* kProgram = "pictrane-converter";

  // Before Qt, so that --help and --version need no display.
  if (const CommandLineAnswer Answer = ParseCommandLine({argv + 1, argv + argc}, kProgram);
      !Answer.Run) {
    std::fputs(Answer.Text.c_str(), stdout);
    return 0;
  }
  // Keystrokes travel through X11, so the window must be an X11 client too (XWayland under a
  // Wayland desktop). Tests may still choose another platform through the environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "xcb");
  QApplication App(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(kAppTitle);
  QApplication::setDesktopFileName(kDesktopEntryId);
  QApplication::setWindowIcon(ProgramIcon());
  std::fputs(IgnoredArgumentsLine(kProgram, {argv + 1, argv + argc}).c_str(), stderr);

  // Everything lives in main's scope and goes before the application does. Nothing of ours is
  // left for the exit handlers: when Qt ends the process itself (exit(1) once the display has
  // gone), no window of ours is destroyed after Qt's own objects.
  WindowSystemLinux Windows;
  FileSystemLinux Files;
  DirectoryListingLinux Listing;
  ClockLinux Clock;
  CommonControlsLinux Controls;
  FolderDialogLinux Folders;
  ProcessesLinux Programs;
  Platform* Running = nullptr;
  FormFactoryLinux Toolkit([&Running](const RaisedError& E) { ReportRunTimeError(*Running, E); });
  TableFormFactory Forms(Toolkit);
#ifdef PICTRANE_WITHOUT_PROGRESS_WINDOW
  SilentProgress Progress;  // the benchmark's build that measures what the window costs
#else
  ProgressWindowLinux Window(ProgressWindowLinux::FocusedWindowCentre,
                             std::make_unique<LauncherEntry>());
  ProgressReport Progress(Window);
#endif
  DesktopNotifierLinux Notices;
  static IniFileStore Settings;  // Linux has no profile functions of its own
  Platform P{Settings, Clock,   Controls, Folders,  Windows, Programs,
             Files,    Listing, Forms,    Progress, Notices};
  Running = &P;
  ProgramState State(Settings);
  Exiting = &P;
  ExitingState = &State;
  std::atexit(OnExit);
  // Before State and P go, however main is left.
  struct ForgetOnExit {
    ~ForgetOnExit() { Exiting = nullptr, ExitingState = nullptr; }
  } Forget;

  std::unique_ptr<QSocketNotifier> Signals;
  if (CatchEndSignals()) {
    Signals = std::make_unique<QSocketNotifier>(SignalPipe[0], QSocketNotifier::Read);
    QObject::connect(Signals.get(), &QSocketNotifier::activated, [&] {
      unsigned char Signal = 0;
      if (::read(SignalPipe[0], &Signal, 1) != 1) return;
      // A run ends as the window's close would end it, but at once: the tool is asked to close
      // and stopped with what it started if it does not, and the program then ends below. A
      // second signal, or one while idle, ends the program here.
      if (State.MainForm && State.MainForm->RunInProgress() && Programs.EndSignal() == 0) {
        Programs.RequestEnd(Signal);
        return;
      }
      // The keyboard map as it was: the process ends by _exit, past every destructor.
      Windows.EndX11Session();
      EndOnSignal(P, State, Signal);
    });
  }

  const int Status = RunProgram(P, State, [] { return QApplication::exec(); });
  return Programs.EndSignal() != 0 ? 128 + Programs.EndSignal() : Status;
}
