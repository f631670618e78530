#include "frmMain.h"

#include <utility>
#include <vector>

#include "../conversion/ConversionRun.h"
#include "../startup/modMain.h"
#include "Modulo1.h"
#include "Val.h"
#include "frmMainLayout.h"

namespace pictrane {

namespace {

constexpr const char* kNotWritten =
    "the file could not be written (it or its folder is read-only, or the disk is full).";

// True when a read of the key gives back Written: a read drops outer blanks and one pair of
// surrounding quotes.
bool ReadsAs(const std::string& Read, const std::string& Written) {
  if (Read == Written) return true;
  const auto first = Written.find_first_not_of(" \t");
  if (first == std::string::npos) return Read.empty();
  std::string core = Written.substr(first, Written.find_last_not_of(" \t") - first + 1);
  if (core.size() >= 2 && (core.front() == '"' || core.front() == '\'') &&
      core.back() == core.front())
    core = core.substr(1, core.size() - 2);
  return Read == core;
}

class FormRunHost : public RunHost {
 public:
  FormRunHost(FormView& view, const bool& stop) : View_(view), Stop_(stop) {}
  int DeleteOption() override { return View_.Value(control::kChkDeleteBMPs); }
  bool StopRequested() override { return Stop_; }

 private:
  FormView& View_;
  const bool& Stop_;
};

}  // namespace

frmMain::frmMain(Platform& P, ProgramState& State)
    : P_(P), State_(State), View_(P.Forms.Create(frmMainLayout(), *this)) {}

frmMain::~frmMain() = default;

void frmMain::Show() {
  View_->Show();
}

void frmMain::Load() {
  clsINI& ini = State_.SettingsFile;
  View_->SetText(control::kTxtPath, ini.ReadValue(kSettingsSection, "LastDir"));
  View_->SetText(control::kTxtTI89Dir, ini.ReadValue(kSettingsSection, "LastDeviceDir"));
  View_->SetValue(control::kChkDeleteBMPs,
                  CheckBoxValueFromText(ini.ReadValue(kSettingsSection, "DeleteBMPs")));
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
  const Field fields[] = {
      {"DeleteBMPs", std::to_string(View_->Value(control::kChkDeleteBMPs))},
      {"LastDeviceDir", View_->Text(control::kTxtTI89Dir)},
      {"LastDir", View_->Text(control::kTxtPath)},
  };
  clsINI& ini = State_.SettingsFile;
  // Reasons in the order the keys met them, each with its keys.
  std::vector<std::pair<std::string, std::vector<std::string>>> keysByReason;
  auto fail = [&](const std::string& reason, const char* key) {
    for (auto& [r, keys] : keysByReason) {
      if (r == reason) {
        keys.push_back(key);
        return;
      }
    }
    keysByReason.push_back({reason, {key}});
  };
  std::size_t saved = 0;
  for (const Field& f : fields) {
    try {
      ini.WriteValue(kSettingsSection, f.Key, f.Value);
      // The profile functions keep quiet about a file they cannot write: read the key back.
      if (ReadsAs(ini.ReadValue(kSettingsSection, f.Key), f.Value)) {
        ++saved;
      } else {
        fail(kNotWritten, f.Key);
      }
    } catch (const RaisedError& e) {
      fail(e.Description, f.Key);
    }
  }
  if (keysByReason.empty()) return;
  std::string text = "These settings could not be saved in the file\r\n" + ini.INIFile() + ":";
  for (const auto& [reason, keys] : keysByReason) {
    std::string names;
    for (const std::string& k : keys) names += (names.empty() ? "" : ", ") + k;
    text += "\r\n\r\n" + names + ": " + reason;
  }
  if (saved > 0) text += "\r\n\r\nThe other settings are in the file.";
  P_.Windows.MessageBox(text, MessageIcon::Exclamation, kAppTitle);
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
  for (const Button& b : kButtons) {
    if (Control == b.Control) {
      (this->*b.Run)();
      return;
    }
  }
}

void frmMain::cmdConvert_Click() {
  if (Running_) return;  // the run lets the window process clicks; one run at a time
  const RunInputs inputs{View_->Text(control::kTxtPath), View_->Text(control::kTxtTI89Dir),
                         State_.ScreenCapturePath, State_.Files.ListFile, State_.Files.Placeholder};
  FormRunHost host(*View_, StopRequested_);
  Running_ = true;
  RunOutcome outcome;
  try {
    outcome = RunConversion(P_, inputs, host);
  } catch (...) {
    Running_ = false;
    throw;
  }
  Running_ = false;
  if (outcome == RunOutcome::Idle) {
    // A close asked for while a run failed to start is not left to stop the next run at once.
    StopRequested_ = false;
    return;
  }
  State_.ExitStatus = outcome == RunOutcome::Incomplete ? kExitIncomplete : 0;
  View_->Unload();
}

void frmMain::cmdBrowse_Click() {
  if (Running_) return;
  const std::string folder =
      BrowseFolder(P_.Folders, View_->Handle(), "Select folder of BMP files to convert:");
  // Cancelling keeps the remembered folder rather than emptying the field.
  if (!folder.empty()) View_->SetText(control::kTxtPath, folder);
}

void frmMain::cmdExit_Click() {
  View_->Unload();
}

}  // namespace pictrane
