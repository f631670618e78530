// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/modMain.h"

#include <cstdlib>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "window/frmMain.h"
#include "startup/AppFolders.h"
#include "startup/modXPThemes.h"

namespace pictrane {

ProgramState::ProgramState() = default;
ProgramState::ProgramState(ProfileStore& Settings) : SettingsFile(Settings) {}

int RunProgram(Platform& P, ProgramState& State, const std::function<int()>& EventLoop) {
  try {
    Main(P, State);
  } catch (...) {
    ReportRunTimeError(P, CurrentError());
  }
  const int Status = EventLoop();
  return Status != 0 ? Status : State.ExitStatus;
}
ProgramState::~ProgramState() = default;

namespace {

constexpr const char* kToolPathKey = "ScreenCapturePath";

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

// Where ScreenCapturePath stands when [Settings] does not hold it: the section's name, "" for the
// lines above the first section line, or nothing when the file does not have it at all.
struct StrayKey {
  std::string Section;
  std::string Value;
};

std::optional<StrayKey> FindStrayToolPath(clsINI& Ini) {
  std::vector<std::string> Sections;
  Ini.String2Array(Ini.GetSections(), Sections);
  Sections.insert(Sections.begin(), "");
  // Called only when [Settings] lacks the key, so no section found here is the one read.
  for (const std::string& Section : Sections) {
    if (Ini.KeyExists(Section, kToolPathKey))
      return StrayKey{Section, Ini.ReadValue(Section, kToolPathKey)};
  }
  return std::nullopt;
}

// Why the settings file gave no tool path although the user may have written one, with the two
// lines that would give it; "" when [Settings] holds the key (its value is then simply wrong).
std::string SectionHint(clsINI& Ini) {
  if (Ini.KeyExists(kSettingsSection, kToolPathKey)) return "";
  const std::optional<StrayKey> Stray = FindStrayToolPath(Ini);
  // A second [Settings] line would not help: of two sections of one name the first is read.
  const bool HasSection = Ini.SectionExists(kSettingsSection);
  std::string Why;
  if (Stray) {
    Why = std::string(kToolPathKey) + " is " +
          (Stray->Section.empty() ? std::string("above the first section line")
                                  : "in the section [" + Stray->Section + "]") +
          ", where the program does not look for it.";
  } else if (!HasSection) {
    Why = "The file has no [Settings] section.";
  } else {
    return "";
  }
  const std::string Value =
      Stray && !Stray->Value.empty() ? Stray->Value : "<the capture tool's full path>";
  return "\r\n\r\n" + Why +
         (HasSection ? " Put it under the [Settings] line:" : " Write these two lines:") +
         "\r\n  [" + kSettingsSection + "]\r\n  " + kToolPathKey + "=" + Value;
}

}  // namespace

void Main(Platform& P, ProgramState& State) {
  InitThemes(P.CommonControls);

  AppFiles Files;
  try {
    const FolderRules Rules = P.FileSystem.Rules();
    Files = LocateAppFiles(P.FileSystem, P.Processes, Rules);
    PrepareSettings(P.FileSystem, P.Processes, Rules, Files);
    State.SettingsFile = clsINI(P.ProfileStore);
    State.SettingsFile.INIFile(Files.SettingsFile);
  } catch (const RaisedError& E) {
    StopForSettings(P, Files.SettingsFile, E.Description);
  }
  // A file that can be read but not written still starts the program: what cannot be stored is
  // told when the window saves its fields.
  State.Files = Files;
  P.ProfileStore.RemoveStaleTemporaries(Files.SettingsFile);

  State.ScreenCapturePath = State.SettingsFile.ReadValue(kSettingsSection, kToolPathKey);

  // Both conditions are evaluated: emptiness decides on its own, whatever the search says.
  const bool ToolMissing = !P.FileSystem.Exists(State.ScreenCapturePath);
  const bool ToolEmpty = State.ScreenCapturePath.empty();
  if (ToolMissing || ToolEmpty) {
    // An empty path from a file whose text cannot be read says why, not "(none set)".
    const std::string Unreadable =
        ToolEmpty ? P.ProfileStore.TextProblem(Files.SettingsFile) : std::string();
    // The program's own two lines stand first, as they always were; what helps find the fault
    // follows after a blank line: where the settings file is, the path tried, where the key goes.
    P.WindowSystem.MessageBox(
        std::string(kToolNotFoundText) + "\r\n\r\nsettings.ini is here:\r\n  " +
            Files.SettingsFile + "\r\n" +
            (!Unreadable.empty() ? "settings.ini is not UTF-8, UTF-16LE or ANSI text: " + Unreadable
             : ToolEmpty         ? "Path tried: (none set)"
                                 : "Path tried: " + State.ScreenCapturePath) +
            SectionHint(State.SettingsFile),
        MessageIcon::Critical, kAppTitle);
    P.Processes.Terminate(kExitEnvironment);
  }

  if (!P.FileSystem.Exists(Files.Placeholder)) {
    P.WindowSystem.MessageBox(std::string(kPlaceholderNotFoundText) +
                                  "\r\n\r\nPaths tried:" + JoinLines(Files.PlaceholderTried) +
                                  "\r\nReinstall the program; its settings file is:\r\n  " +
                                  Files.SettingsFile,
                              MessageIcon::Exclamation, kAppTitle);
    P.Processes.Terminate(kExitEnvironment);
  }

  State.MainForm = std::make_unique<frmMain>(P, State);
  State.MainForm->Show();
}

void RemoveListOfRunInProgress(Platform& P, ProgramState& State) {
  if (!State.MainForm || !State.MainForm->RunInProgress()) return;
  try {
    if (P.FileSystem.Stat(State.Files.ListFile)) P.FileSystem.DeleteFile(State.Files.ListFile);
  } catch (const RaisedError&) {
    // The process ends all the same: a list that cannot go is no reason to keep running.
  }
}

void EndOnSignal(Platform& P, ProgramState& State, int Signal) {
  RemoveListOfRunInProgress(P, State);
  P.Processes.Terminate(128 + Signal);
  std::_Exit(128 + Signal);
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
