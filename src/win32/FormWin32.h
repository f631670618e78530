// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

#include "platform/Form.h"
#include "pictrane/RaisedError.h"
#include "pictrane/win32/Win32.h"

namespace pictrane::win32 {

// Builds windows of Win32 controls from a layout. Errors raised by the event handlers must not
// cross the window procedure, so they are handed to OnUnhandledError there.
class FormFactoryWin32 final : public FormControlsFactory {
 public:
  using ErrorHandler = std::function<void(const RaisedError&)>;
  FormFactoryWin32(HINSTANCE Instance, ErrorHandler OnUnhandledError);

  std::unique_ptr<FormControls> Create(const FormLayout& Layout,
                                       FormControlEvents& Events) override;

 private:
  HINSTANCE Instance_;
  ErrorHandler OnUnhandledError_;
};

// The window of a control of a form this factory built, or nothing for another name or view.
HWND ControlWindow(FormControls& View, const std::string& Name);

// The screen's horizontal dots per inch.
int ScreenDpi();

// The window class of containers that hold controls (picture boxes).
inline constexpr const wchar_t* kContainerClass = L"PictraneContainer";
inline constexpr const wchar_t* kFormClass = L"PictraneForm";

}  // namespace pictrane::win32
