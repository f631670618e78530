// SPDX-License-Identifier: GPL-3.0-or-later
// pictrane-capture: the stand-in capture tool. Started as
//     pictrane-capture "<placeholder bitmap>"
// it shows the picture maximised, takes the keyboard focus and then follows the converter's keys
// (see CaptureWindow.h), or a person's mouse. With --convert it converts files without a window
// (BatchConvert.h).

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QScreen>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <cstring>
#include <optional>

#include "batch/BatchConvert.h"
#include "window/CableDialog.h"
#include "window/CaptureWindow.h"
#include "calc/LibraryLog.h"
#include "batch/LinkCommands.h"
#include "picture/PictureFile.h"
#include "window/PictureMenu.h"

namespace {

using pictrane::capture::CommandLine;

// Options that Qt's own application object takes; they mean the window.
bool IsQtOption(const QString& Argument) {
  static const QStringList kQtOptions = {
      QStringLiteral("-platform"),        QStringLiteral("-display"),
      QStringLiteral("-style"),           QStringLiteral("-geometry"),
      QStringLiteral("-qwindowgeometry"), QStringLiteral("-reverse"),
      QStringLiteral("-session"),         QStringLiteral("-stylesheet"),
      QStringLiteral("-plugin"),          QStringLiteral("-qwindowtitle"),
      QStringLiteral("-qwindowicon"),     QStringLiteral("-name")};
  return kQtOptions.contains(Argument.startsWith(QLatin1String("--")) ? Argument.mid(1) : Argument);
}

// --help, --version and --convert need no display: they run before any window system is opened.
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
    default:
      Err << "pictrane-capture: " << Line.Problem << '\n' << pictrane::capture::UsageText();
      return pictrane::capture::kExitUsage;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // --verbose, anywhere before "--", shows the libraries' own log; it is taken out of argv.
  bool Verbose = false;
  bool OptionsEnded = false;
  int Kept = 1;
  for (int I = 1; I < argc; ++I) {
    if (!OptionsEnded && std::strcmp(argv[I], "--verbose") == 0) {
      Verbose = true;
      continue;
    }
    OptionsEnded = OptionsEnded || std::strcmp(argv[I], "--") == 0;
    argv[Kept++] = argv[I];
  }
  argv[Kept] = nullptr;
  argc = Kept;
  pictrane::capture::RouteLibraryLog(Verbose);
  QStringList Raw;
  // File names keep their bytes, UTF-8 or not (PictureFile.h).
  for (int I = 1; I < argc; ++I) Raw.append(pictrane::capture::NameFromBytes(argv[I]));
  // Link options before the window's picture ("--cable vti photo.bmp") set the window's link;
  // they are taken out here, so that what follows is read as before.
  std::optional<pictrane::capture::LinkSettings> WindowLink;
  qsizetype Taken = 0;
  while (Taken < Raw.size() && pictrane::capture::IsLinkOption(Raw[Taken])) {
    if (!WindowLink) WindowLink.emplace();
    const QString Problem = pictrane::capture::TakeLinkOption(Raw, Taken, *WindowLink);
    if (!Problem.isEmpty()) {
      QTextStream(stderr) << "pictrane-capture: " << Problem << '\n'
                          << pictrane::capture::LinkUsageText();
      return pictrane::capture::kExitUsage;
    }
    ++Taken;
  }
  if (Taken > 0) {
    Raw.remove(0, Taken);
    // Before a command they would be lost without a word: a command takes them after its name.
    if (!Raw.isEmpty() && Raw.first().startsWith(QLatin1Char('-')) &&
        Raw.first() != QLatin1String("--") && !IsQtOption(Raw.first())) {
      QTextStream(stderr) << "pictrane-capture: the link options go after " << Raw.first()
                          << ", or before a picture for the window\n"
                          << pictrane::capture::LinkUsageText();
      return pictrane::capture::kExitUsage;
    }
    for (int I = 1; I + Taken < argc; ++I) argv[I] = argv[I + Taken];
    argc -= static_cast<int>(Taken);
    argv[argc] = nullptr;
  }
  if (!Raw.isEmpty() && pictrane::capture::IsLinkCommand(Raw.first())) {
    QCoreApplication App(argc, argv);
    QTextStream Out(stdout);
    QTextStream Err(stderr);
    return pictrane::capture::RunLinkCommand(Raw, Out, Err);
  }
  if (!Raw.isEmpty() && Raw.first().startsWith(QLatin1Char('-')) && !IsQtOption(Raw.first())) {
    const CommandLine Line = pictrane::capture::ParseCommandLine(Raw);
    if (Line.What != CommandLine::Action::Window) return RunWithoutWindow(argc, argv, Line);
  }

  QApplication App(argc, argv);  // takes Qt's own options out of argv
  QApplication::setApplicationName(QStringLiteral("Pictrane Capture"));
  // From argv's bytes again, not from Qt's decoded copy, which loses a name that is not UTF-8.
  QStringList Rest;
  for (int I = 1; I < argc; ++I) Rest.append(pictrane::capture::NameFromBytes(argv[I]));
  const CommandLine Line = pictrane::capture::ParseCommandLine(Rest);
  if (Line.What != CommandLine::Action::Window) {
    QTextStream(stderr) << "pictrane-capture: " << Line.Problem << '\n'
                        << pictrane::capture::UsageText();
    return pictrane::capture::kExitUsage;
  }

  pictrane::capture::CaptureWindow Window(nullptr,
                                          WindowLink.value_or(pictrane::capture::LoadLinkChoice()));
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
