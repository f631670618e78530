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
  FormRunHost(FormView& view, const bool& stop) : View_(view), Stop_(stop) {}
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
  clsINI& ini = State_.SettingsFile;
  View_->SetText("txtPath", ini.ReadValue(kSettingsSection, "LastDir"));
  View_->SetText("txtTI89Dir", ini.ReadValue(kSettingsSection, "LastDeviceDir"));
  View_->SetValue("chkDeleteBMPs",
                  CheckBoxValueFromText(ini.ReadValue(kSettingsSection, "DeleteBMPs")));
}

void frmMain::Unload(bool& Cancel) {
  if (Running_) {
    // The run is typing into the capture tool: let it finish the current file, then it unloads.
    StopRequested_ = true;
    Cancel = true;
    return;
  }
  clsINI& ini = State_.SettingsFile;
  ini.WriteValue(kSettingsSection, "DeleteBMPs", std::to_string(View_->Value("chkDeleteBMPs")));
  ini.WriteValue(kSettingsSection, "LastDeviceDir", View_->Text("txtTI89Dir"));
  ini.WriteValue(kSettingsSection, "LastDir", View_->Text("txtPath"));
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
  const RunInputs inputs{View_->Text("txtPath"), View_->Text("txtTI89Dir"),
                         State_.ScreenCapturePath};
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
  if (outcome == RunOutcome::Finished) View_->Unload();
}

void frmMain::cmdBrowse_Click() {
  if (Running_) return;
  const std::string folder =
      BrowseFolder(P_.Folders, View_->Handle(), "Select folder of BMP files to convert:");
  // Cancelling keeps the remembered folder rather than emptying the field.
  if (!folder.empty()) View_->SetText("txtPath", folder);
}

void frmMain::cmdExit_Click() {
  View_->Unload();
}

}  // namespace pictrane
