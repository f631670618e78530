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
  Restore(control::kTxtPath, Ini.ReadValue(kSettingsSection, "LastDir"));
  Restore(control::kTxtTI89Dir, Ini.ReadValue(kSettingsSection, "LastDeviceDir"));
  View_->SetValue(control::kChkDeleteBMPs,
                  CheckBoxValueFromText(Ini.ReadValue(kSettingsSection, "DeleteBMPs")));
}

void frmMain::Restore(const char* Control, const std::string& Stored) {
  View_->SetText(Control, Stored);
  Restored_[Control] = {Stored, View_->Text(Control)};
}

std::string frmMain::ToSave(const char* Control) const {
  std::string Shown = View_->Text(Control);
  const auto It = Restored_.find(Control);
  return It != Restored_.end() && It->second.Shown == Shown ? It->second.Stored : Shown;
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
      {"LastDeviceDir", ToSave(control::kTxtTI89Dir)},
      {"LastDir", ToSave(control::kTxtPath)},
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
      const WriteResult Result = Ini.WriteValue(kSettingsSection, F.Key, F.Value);
      if (Result.Outcome == WriteOutcome::Failed) {
        Fail(Result.Reason, F.Key);
      } else {
        ++Saved;
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
      BrowseFolder(P_.FolderDialog, View_->Handle(),
                   "Select folder of BMP files to convert:", View_->Text(control::kTxtPath));
  // Cancelling keeps the remembered folder rather than emptying the field.
  if (!Folder.empty()) View_->SetText(control::kTxtPath, Folder);
}

void frmMain::cmdExit_Click() {
  View_->Unload();
}

}  // namespace pictrane
