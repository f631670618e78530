// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/frmMain.h"

#include <utility>
#include <vector>

#include "conversion/ConversionRun.h"
#include "platform/Platform.h"
#include "startup/modMain.h"
#include "window/Modulo1.h"
#include "window/Val.h"
#include "window/frmMainLayout.h"

namespace pictrane {

namespace {

constexpr const char* kNotWritten =
    "the file could not be written (it or its folder is read-only, or the disk is full).";

// True when a read of the key gives back Written: a read drops outer blanks and one pair of
// surrounding quotes.
bool ReadsAs(const std::string& Read, const std::string& Written) {
  if (Read == Written) return true;
  const auto First = Written.find_first_not_of(" \t");
  if (First == std::string::npos) return Read.empty();
  std::string Core = Written.substr(First, Written.find_last_not_of(" \t") - First + 1);
  if (Core.size() >= 2 && (Core.front() == '"' || Core.front() == '\'') &&
      Core.back() == Core.front())
    Core = Core.substr(1, Core.size() - 2);
  return Read == Core;
}

class FormRunHost : public RunHost {
 public:
  FormRunHost(FormView& View, const bool& Stop) : View_(View), Stop_(Stop) {}
  int DeleteOption() override { return View_.Value(control::kChkDeleteBMPs); }
  bool StopRequested() override { return Stop_; }

 private:
  FormView& View_;
  const bool& Stop_;
};

}  // namespace

frmMain::frmMain(Platform& P, ProgramState& State)
    : P_(P), State_(State), View_(P.FormFactory.Create(frmMainLayout(), *this)) {}

frmMain::~frmMain() = default;

void frmMain::Show() {
  View_->Show();
}

void frmMain::Load() {
  clsINI& Ini = State_.SettingsFile;
  View_->SetText(control::kTxtPath, Ini.ReadValue(kSettingsSection, "LastDir"));
  View_->SetText(control::kTxtTI89Dir, Ini.ReadValue(kSettingsSection, "LastDeviceDir"));
  View_->SetValue(control::kChkDeleteBMPs,
                  CheckBoxValueFromText(Ini.ReadValue(kSettingsSection, "DeleteBMPs")));
}

void frmMain::Unload(bool& Cancel) {
  if (Running_) {
    // The run is typing into the capture tool: let it finish the current file, then it unloads.
    StopRequested_ = true;
    Cancel = true;
    return;
  }
  SaveFields();
}

// Each key is written whatever became of the others, and what did not reach the file is told
// in one box. The window still closes: the user asked to leave, and nothing here would let a
// second try fare better.
void frmMain::SaveFields() {
  struct Field {
    const char* Key;
    std::string Value;
  };
  const Field Fields[] = {
      {"DeleteBMPs", std::to_string(View_->Value(control::kChkDeleteBMPs))},
      {"LastDeviceDir", View_->Text(control::kTxtTI89Dir)},
      {"LastDir", View_->Text(control::kTxtPath)},
  };
  clsINI& Ini = State_.SettingsFile;
  // Reasons in the order the keys met them, each with its keys.
  std::vector<std::pair<std::string, std::vector<std::string>>> KeysByReason;
  auto Fail = [&](const std::string& Reason, const char* Key) {
    for (auto& [r, keys] : KeysByReason) {
      if (r == Reason) {
        keys.push_back(Key);
        return;
      }
    }
    KeysByReason.push_back({Reason, {Key}});
  };
  std::size_t Saved = 0;
  for (const Field& F : Fields) {
    try {
      Ini.WriteValue(kSettingsSection, F.Key, F.Value);
      // The profile functions keep quiet about a file they cannot write: read the key back.
      if (ReadsAs(Ini.ReadValue(kSettingsSection, F.Key), F.Value)) {
        ++Saved;
      } else {
        Fail(kNotWritten, F.Key);
      }
    } catch (const RaisedError& E) {
      Fail(E.Description, F.Key);
    }
  }
  if (KeysByReason.empty()) return;
  std::string Text = "These settings could not be saved in the file\r\n" + Ini.INIFile() + ":";
  for (const auto& [reason, keys] : KeysByReason) {
    std::string Names;
    for (const std::string& K : keys) Names += (Names.empty() ? "" : ", ") + K;
    Text += "\r\n\r\n" + Names + ": " + reason;
  }
  if (Saved > 0) Text += "\r\n\r\nThe other settings are in the file.";
  P_.WindowSystem.MessageBox(Text, MessageIcon::Exclamation, kAppTitle);
}

void frmMain::Click(const std::string& Control) {
  using Handler = void (frmMain::*)();
  struct Button {
    const char* Control;
    Handler Run;
  };
  static constexpr Button kButtons[] = {
      {control::kCmdConvert, &frmMain::cmdConvert_Click},
      {control::kCmdBrowse, &frmMain::cmdBrowse_Click},
      {control::kCmdExit, &frmMain::cmdExit_Click},
  };
  for (const Button& B : kButtons) {
    if (Control == B.Control) {
      (this->*B.Run)();
      return;
    }
  }
}

void frmMain::cmdConvert_Click() {
  if (Running_) return;  // the run lets the window process clicks; one run at a time
  const RunInputs Inputs{View_->Text(control::kTxtPath), View_->Text(control::kTxtTI89Dir),
                         State_.ScreenCapturePath, State_.Files.ListFile, State_.Files.Placeholder};
  FormRunHost Host(*View_, StopRequested_);
  Running_ = true;
  RunOutcome Outcome;
  try {
    Outcome = RunConversion(P_, Inputs, Host);
  } catch (...) {
    Running_ = false;
    throw;
  }
  Running_ = false;
  if (Outcome == RunOutcome::Idle) {
    // A close asked for while a run failed to start is not left to stop the next run at once.
    StopRequested_ = false;
    return;
  }
  State_.ExitStatus = Outcome == RunOutcome::Incomplete ? kExitIncomplete : 0;
  View_->Unload();
}

void frmMain::cmdBrowse_Click() {
  if (Running_) return;
  const std::string Folder =
      BrowseFolder(P_.FolderDialog, View_->Handle(), "Select folder of BMP files to convert:");
  // Cancelling keeps the remembered folder rather than emptying the field.
  if (!Folder.empty()) View_->SetText(control::kTxtPath, Folder);
}

void frmMain::cmdExit_Click() {
  View_->Unload();
}

}  // namespace pictrane
