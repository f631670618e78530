// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What every toolkit's window does the same way, so that each back end only creates controls and
// moves text and values in and out of them.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/Form.h"

namespace pictrane {

// A form over a toolkit's controls. It finds controls by name (error 5 for a name the table
// lacks), lets only a check box hold a value of 0, 1 (or 2 when three-state) (error 380
// otherwise), and keeps what the controls showed when the window went, which is what reads give
// from then on (see Form.h).
class TableForm final : public FormView, private FormControlEvents {
 public:
  TableForm(FormLayout Layout, FormEvents& Events, FormControlsFactory& Toolkit);

  std::string Text(const std::string& Control) override;
  void SetText(const std::string& Control, const std::string& Text) override;
  int Value(const std::string& Control) override;
  void SetValue(const std::string& Control, int Value) override;
  WindowHandle Handle() override { return Controls_->Handle(); }
  void Show() override { Controls_->Show(); }
  void Unload() override { Controls_->Unload(); }

  // The toolkit's window, for tests that look at its controls.
  FormControls& Controls() { return *Controls_; }

 private:
  void Load() override { Events_.Load(); }
  void Unload(bool& Cancel) override { Events_.Unload(Cancel); }
  void Click(const std::string& Control) override { Events_.Click(Control); }
  void WindowGoing() override;

  // Position of Control in the table; raises error 5 when there is none.
  std::size_t IndexOf(const std::string& Control) const;
  const ControlEntry& ValueControl(std::size_t Index) const;

  struct Shown {
    std::string Text;
    int Value = 0;
  };
  FormLayout Layout_;
  FormEvents& Events_;
  std::vector<Shown> Last_;
  bool Gone_ = false;
  std::unique_ptr<FormControls> Controls_;
};

// Forms of TableForm over a toolkit.
class TableFormFactory final : public FormFactory {
 public:
  explicit TableFormFactory(FormControlsFactory& Toolkit) : Toolkit_(Toolkit) {}
  std::unique_ptr<FormView> Create(const FormLayout& Layout, FormEvents& Events) override {
    return std::make_unique<TableForm>(Layout, Events, Toolkit_);
  }

 private:
  FormControlsFactory& Toolkit_;
};

}  // namespace pictrane
