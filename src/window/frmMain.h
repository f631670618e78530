// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
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
  void Restore(const char* Control, const std::string& Stored);
  std::string ToSave(const char* Control) const;

  Platform& P_;
  ProgramState& State_;
  std::unique_ptr<FormView> View_;
  bool Running_ = false;
  bool StopRequested_ = false;
  // What Load gave each text field and what the field then showed. A field that still shows
  // that gives back the stored text, so bytes it cannot show (a lone surrogate) are kept.
  struct Restored {
    std::string Stored, Shown;
  };
  std::map<std::string, Restored> Restored_;
};

}  // namespace pictrane
