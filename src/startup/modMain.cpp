// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/modMain.h"

#include <cstdlib>

#include "platform/Platform.h"
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

// A settings file the program cannot keep is a plain problem of the environment, not an error
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
  if (const std::string Why = P.FileSystem.WriteProblem(Files.SettingsFile); !Why.empty())
    StopForSettings(P, Files.SettingsFile, Why);
  State.Files = Files;

  State.ScreenCapturePath = State.SettingsFile.ReadValue(kSettingsSection, "ScreenCapturePath");

  // Both conditions are evaluated: emptiness decides on its own, whatever the search says.
  const bool ToolMissing = !P.FileSystem.Exists(State.ScreenCapturePath);
  const bool ToolEmpty = State.ScreenCapturePath.empty();
  if (ToolMissing || ToolEmpty) {
    P.WindowSystem.MessageBox(
        "TI ScreenCapture not found!\r\nPath tried: " +
            (ToolEmpty ? std::string("(none set)") : State.ScreenCapturePath) +
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
