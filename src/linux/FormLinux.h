// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window built from its layout with Qt Widgets.

#include <functional>
#include <memory>

#include "pictrane/RaisedError.h"
#include "platform/Form.h"

namespace pictrane::linux_desktop {

// What a window does with an error that escapes one of its handlers: the top level's report.
using UnhandledErrorFn = std::function<void(const RaisedError&)>;

class FormFactoryLinux : public FormControlsFactory {
 public:
  explicit FormFactoryLinux(UnhandledErrorFn OnUnhandled) : OnUnhandled_(std::move(OnUnhandled)) {}
  std::unique_ptr<FormControls> Create(const FormLayout& Layout,
                                       FormControlEvents& Events) override;

 private:
  UnhandledErrorFn OnUnhandled_;
};

}  // namespace pictrane::linux_desktop
