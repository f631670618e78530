#include "modMain.h"

#include <cstdlib>

#include "../window/frmMain.h"
#include "modXPThemes.h"

namespace pictrane {

ProgramState::ProgramState() = default;
ProgramState::~ProgramState() = default;

void Main(Platform& P, ProgramState& State) {
  InitThemes(P.Controls);

  const std::string appFolder = P.Files.ApplicationFolder();
  const std::string sep = P.Files.Separator();
  State.SettingsFile = clsINI(P.Profile);
  State.SettingsFile.INIFile(appFolder + sep + "settings.ini");

  State.ScreenCapturePath = State.SettingsFile.ReadValue(kSettingsSection, "ScreenCapturePath");

  // Both conditions are evaluated: emptiness decides on its own, whatever the search says.
  const bool toolMissing = !P.Files.Exists(State.ScreenCapturePath);
  const bool toolEmpty = State.ScreenCapturePath.empty();
  if (toolMissing || toolEmpty) {
    P.Windows.MessageBox(
        "TI ScreenCapture not found!\r\nCorrect the path in the file settings.ini.",
        MessageIcon::Critical, kAppTitle);
    P.Programs.Terminate(kExitEnvironment);
  }

  if (!P.Files.Exists(appFolder + sep + "dummy.bmp")) {
    P.Windows.MessageBox("dummy.bmp not found!", MessageIcon::Exclamation, kAppTitle);
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
