#include "modMain.h"

#include <cstdlib>

#include "../window/frmMain.h"
#include "AppFolders.h"
#include "modXPThemes.h"

namespace pictrane {

ProgramState::ProgramState() = default;
ProgramState::~ProgramState() = default;

namespace {

std::string JoinLines(const std::vector<std::string>& Lines) {
  std::string out;
  for (const std::string& line : Lines) out += "\r\n  " + line;
  return out;
}

// A settings file the program cannot keep is a plain problem of the environment, not an error
// of the program: say which file and why, and stop before anything is edited in vain.
[[noreturn]] void StopForSettings(Platform& P, const std::string& File, const std::string& Why) {
  P.Windows.MessageBox("The settings file cannot be created or written:\r\n  " +
                           (File.empty() ? std::string("(no folder for it)") : File) + "\r\n" + Why,
                       MessageIcon::Critical, kAppTitle);
  P.Programs.Terminate(kExitEnvironment);
  std::_Exit(kExitEnvironment);
}

}  // namespace

void Main(Platform& P, ProgramState& State) {
  InitThemes(P.Controls);

  AppFiles files;
  try {
    const FolderRules rules = RulesFor(P.Files);
    files = LocateAppFiles(P.Files, rules);
    PrepareSettings(P.Files, rules, files);
    State.SettingsFile = clsINI(P.Profile);
    State.SettingsFile.INIFile(files.SettingsFile);
  } catch (const RaisedError& e) {
    StopForSettings(P, files.SettingsFile, e.Description);
  }
  if (const std::string why = P.Files.WriteProblem(files.SettingsFile); !why.empty())
    StopForSettings(P, files.SettingsFile, why);
  State.Files = files;

  State.ScreenCapturePath = State.SettingsFile.ReadValue(kSettingsSection, "ScreenCapturePath");

  // Both conditions are evaluated: emptiness decides on its own, whatever the search says.
  const bool toolMissing = !P.Files.Exists(State.ScreenCapturePath);
  const bool toolEmpty = State.ScreenCapturePath.empty();
  if (toolMissing || toolEmpty) {
    P.Windows.MessageBox("TI ScreenCapture not found!\r\nPath tried: " +
                             (toolEmpty ? std::string("(none set)") : State.ScreenCapturePath) +
                             "\r\nCorrect ScreenCapturePath in the settings file:\r\n  " +
                             files.SettingsFile,
                         MessageIcon::Critical, kAppTitle);
    P.Programs.Terminate(kExitEnvironment);
  }

  if (!P.Files.Exists(files.Placeholder)) {
    P.Windows.MessageBox(
        "dummy.bmp not found!\r\nPaths tried:" + JoinLines(files.PlaceholderTried) +
            "\r\nReinstall the program; its settings file is:\r\n  " + files.SettingsFile,
        MessageIcon::Exclamation, kAppTitle);
    P.Programs.Terminate(kExitEnvironment);
  }

  State.MainForm = std::make_unique<frmMain>(P, State);
  State.MainForm->Show();
}

std::string RunTimeErrorText(const RaisedError& Error) {
  return "Run-time error '" + std::to_string(Error.Number) + "':\r\n\r\n" + Error.Description;
}

void ReportRunTimeError(Platform& P, const RaisedError& Error) {
  P.Windows.MessageBox(RunTimeErrorText(Error), MessageIcon::Critical, kAppTitle);
  P.Programs.Terminate(kExitRunTimeError);
  std::_Exit(kExitRunTimeError);  // Terminate does not return; this keeps the promise regardless
}

}  // namespace pictrane
