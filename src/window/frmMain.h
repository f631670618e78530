// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

#include "platform/Form.h"

namespace pictrane {

struct Platform;
struct ProgramState;

// The program's only window: restores its fields on Load, saves them on every Unload, and
// runs the conversion on Convert.
class frmMain : public FormEvents {
 public:
  frmMain(Platform& P, ProgramState& State);
  ~frmMain() override;

  void Show();
  FormView& View() { return *View_; }
  bool RunInProgress() const { return Running_; }

  void Load() override;
  void Unload(bool& Cancel) override;
  void Click(const std::string& Control) override;

 private:
  void cmdConvert_Click();
  void cmdBrowse_Click();
  void cmdExit_Click();
  void SaveFields();

  Platform& P_;
  ProgramState& State_;
  std::unique_ptr<FormView> View_;
  bool Running_ = false;
  bool StopRequested_ = false;
};

}  // namespace pictrane
