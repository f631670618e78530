// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/modMain.h"

#include <cstdlib>

#include "window/frmMain.h"
#include "startup/AppFolders.h"
#include "startup/modXPThemes.h"

namespace pictrane {

ProgramState::ProgramState() = default;
ProgramState::~ProgramState() = default;

namespace {

std::string JoinLines(const std::vector<std::string>& Lines) {
  std::string Out;
  for (const std::string& Line : Lines) Out += "\r\n  " + Line;
  return Out;
}

// A settings file the program cannot create is a plain problem of the environment, not an error
// of the program: say which file and why, and stop before anything is edited in vain.
[[noreturn]] void StopForSettings(Platform& P, const std::string& File, const std::string& Why) {
  P.WindowSystem.MessageBox("The settings file cannot be created or written:\r\n  " +
                                (File.empty() ? std::string("(no folder for it)") : File) + "\r\n" +
                                Why,
                            MessageIcon::Critical, kAppTitle);
  P.Processes.Terminate(kExitEnvironment);
  std::_Exit(kExitEnvironment);
}

}  // namespace

void Main(Platform& P, ProgramState& State) {
  InitThemes(P.CommonControls);

  AppFiles Files;
  try {
    const FolderRules Rules = RulesFor(P.FileSystem);
    Files = LocateAppFiles(P.FileSystem, Rules);
    PrepareSettings(P.FileSystem, Rules, Files);
    State.SettingsFile = clsINI(P.ProfileStore);
    State.SettingsFile.INIFile(Files.SettingsFile);
  } catch (const RaisedError& E) {
    StopForSettings(P, Files.SettingsFile, E.Description);
  }
  // A file that can be read but not written still starts the program: what cannot be stored is
  // told when the window saves its fields.
  State.Files = Files;
  P.ProfileStore.RemoveStaleTemporaries(Files.SettingsFile);

  State.ScreenCapturePath = State.SettingsFile.ReadValue(kSettingsSection, "ScreenCapturePath");

  // Both conditions are evaluated: emptiness decides on its own, whatever the search says.
  const bool ToolMissing = !P.FileSystem.Exists(State.ScreenCapturePath);
  const bool ToolEmpty = State.ScreenCapturePath.empty();
  if (ToolMissing || ToolEmpty) {
    // An empty path from a file whose text cannot be read says why, not "(none set)".
    const std::string Unreadable =
        ToolEmpty ? P.ProfileStore.TextProblem(Files.SettingsFile) : std::string();
    P.WindowSystem.MessageBox(
        "TI ScreenCapture not found!\r\n" +
            (!Unreadable.empty() ? "settings.ini is not UTF-8, UTF-16LE or ANSI text: " + Unreadable
             : ToolEmpty         ? "Path tried: (none set)"
                                 : "Path tried: " + State.ScreenCapturePath) +
            "\r\nCorrect ScreenCapturePath in the settings file:\r\n  " + Files.SettingsFile,
        MessageIcon::Critical, kAppTitle);
    P.Processes.Terminate(kExitEnvironment);
  }

  if (!P.FileSystem.Exists(Files.Placeholder)) {
    P.WindowSystem.MessageBox(
        "dummy.bmp not found!\r\nPaths tried:" + JoinLines(Files.PlaceholderTried) +
            "\r\nReinstall the program; its settings file is:\r\n  " + Files.SettingsFile,
        MessageIcon::Exclamation, kAppTitle);
    P.Processes.Terminate(kExitEnvironment);
  }

  State.MainForm = std::make_unique<frmMain>(P, State);
  State.MainForm->Show();
}

std::string RunTimeErrorText(const RaisedError& Error) {
  return "Run-time error '" + std::to_string(Error.Number) + "':\r\n\r\n" + Error.Description;
}

void ReportRunTimeError(Platform& P, const RaisedError& Error) {
  P.WindowSystem.MessageBox(RunTimeErrorText(Error), MessageIcon::Critical, kAppTitle);
  P.Processes.Terminate(kExitRunTimeError);
  std::_Exit(kExitRunTimeError);  // Terminate does not return; this keeps the promise regardless
}

}  // namespace pictrane
