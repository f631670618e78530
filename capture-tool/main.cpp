// SPDX-License-Identifier: GPL-3.0-or-later
// pictrane-capture: the stand-in capture tool. Started as
//     pictrane-capture "<placeholder bitmap>"
// it shows the picture maximised, takes the keyboard focus and then follows the converter's keys
// (see CaptureWindow.h), or a person's mouse. With --convert it converts files without a window
// (BatchConvert.h); the command line is parsed once (cli/CommandLine.h).

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QScreen>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <optional>

#include "batch/BatchConvert.h"
#include "batch/LinkCommands.h"
#include "calc/LibraryLog.h"
#include "cli/CommandLine.h"
#include "picture/PictureFile.h"
#include "window/CableDialog.h"
#include "window/CaptureWindow.h"
#include "window/PictureMenu.h"

namespace {

using pictrane::capture::CommandLine;

// Bad usage: what is wrong, then the usage that explains it.
int Refuse(const CommandLine& Line) {
  QTextStream(stderr) << "pictrane-capture: " << Line.Problem << '\n'
                      << (Line.LinkUsage ? pictrane::capture::LinkUsageText()
                                         : pictrane::capture::UsageText());
  return pictrane::capture::kExitUsage;
}

// --help, --version, --convert and the link commands need no display: they run before any
// window system is opened.
int RunWithoutWindow(int ArgumentCount, char** Arguments, const CommandLine& Line) {
  QCoreApplication App(ArgumentCount, Arguments);
  QTextStream Out(stdout);
  QTextStream Err(stderr);
  switch (Line.What) {
    case CommandLine::Action::Help:
      Out << pictrane::capture::UsageText() << '\n' << pictrane::capture::LinkUsageText();
      return pictrane::capture::kExitDone;
    case CommandLine::Action::Version:
      Out << "pictrane-capture " << pictrane::capture::kToolVersion << '\n';
      return pictrane::capture::kExitDone;
    case CommandLine::Action::Convert:
      if (Line.Batch.Send) return pictrane::capture::RunConvertAndSend(Line.Batch, Out, Err);
      return pictrane::capture::RunBatch(Line.Batch, Out);
    case CommandLine::Action::Link:
      return pictrane::capture::RunLinkCommand(Line.Link, Out, Err);
    default:
      return Refuse(Line);
  }
}

// The arguments as their bytes give them (PictureFile.h: a name that is not UTF-8 keeps them).
QStringList Arguments(int ArgumentCount, char** Given) {
  QStringList Each;
  for (int I = 1; I < ArgumentCount; ++I) Each.append(pictrane::capture::NameFromBytes(Given[I]));
  return Each;
}

}  // namespace

int main(int argc, char** argv) {
  const CommandLine Given = pictrane::capture::ParseCommandLine(Arguments(argc, argv));
  pictrane::capture::RouteLibraryLog(Given.Verbose);
  if (Given.What != CommandLine::Action::Window) return RunWithoutWindow(argc, argv, Given);

  QApplication App(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Pictrane Capture"));
  // From argv's bytes again, not from Qt's decoded copy, which loses a name that is not UTF-8.
  const CommandLine Line = pictrane::capture::ParseCommandLine(Arguments(argc, argv));
  if (Line.What != CommandLine::Action::Window) return Refuse(Line);

  pictrane::capture::CaptureWindow Window(
      nullptr, Line.WindowLink.value_or(pictrane::capture::LoadLinkChoice()));
  if (!Line.PicturePath.isEmpty()) {
    pictrane::capture::KeepOptionsForTheSession();
    Window.OpenPicture(Line.PicturePath);
  }

  // Without a window manager nothing maximises or focuses the window, so size it to the screen
  // and ask for the focus ourselves.
  if (QScreen* Screen = QGuiApplication::primaryScreen()) {
    Window.setGeometry(Screen->availableGeometry());
  }
  Window.showMaximized();
  Window.raise();
  Window.activateWindow();
  return QApplication::exec();
}
