#include "frmMain.h"

#include "../conversion/ConversionRun.h"
#include "../startup/modMain.h"
#include "Modulo1.h"
#include "Val.h"
#include "frmMainLayout.h"

namespace pictrane {

namespace {

class FormRunHost : public RunHost {
 public:
  FormRunHost(FormView& View, const bool& Stop) : View_(View), Stop_(Stop) {}
  int DeleteOption() override { return View_.Value("chkDeleteBMPs"); }
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
  clsINI& Ini = State_.SettingsFile;
  View_->SetText("txtPath", Ini.ReadValue(kSettingsSection, "LastDir"));
  View_->SetText("txtTI89Dir", Ini.ReadValue(kSettingsSection, "LastDeviceDir"));
  View_->SetValue("chkDeleteBMPs",
                  CheckBoxValueFromText(Ini.ReadValue(kSettingsSection, "DeleteBMPs")));
}

void frmMain::Unload(bool& Cancel) {
  if (Running_) {
    // The run is typing into the capture tool: let it finish the current file, then it unloads.
    StopRequested_ = true;
    Cancel = true;
    return;
  }
  clsINI& Ini = State_.SettingsFile;
  Ini.WriteValue(kSettingsSection, "DeleteBMPs", std::to_string(View_->Value("chkDeleteBMPs")));
  Ini.WriteValue(kSettingsSection, "LastDeviceDir", View_->Text("txtTI89Dir"));
  Ini.WriteValue(kSettingsSection, "LastDir", View_->Text("txtPath"));
}

void frmMain::Click(const std::string& Control) {
  if (Control == "cmdConvert") {
    cmdConvert_Click();
  } else if (Control == "cmdBrowse") {
    cmdBrowse_Click();
  } else if (Control == "cmdExit") {
    cmdExit_Click();
  }
}

void frmMain::cmdConvert_Click() {
  if (Running_) return;  // the run lets the window process clicks; one run at a time
  const RunInputs Inputs{View_->Text("txtPath"), View_->Text("txtTI89Dir"),
                         State_.ScreenCapturePath};
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
  if (Outcome == RunOutcome::Finished) View_->Unload();
}

void frmMain::cmdBrowse_Click() {
  if (Running_) return;
  const std::string Folder =
      BrowseFolder(P_.Folders, View_->Handle(), "Select folder of BMP files to convert:");
  // Cancelling keeps the remembered folder rather than emptying the field.
  if (!Folder.empty()) View_->SetText("txtPath", Folder);
}

void frmMain::cmdExit_Click() {
  View_->Unload();
}

}  // namespace pictrane
