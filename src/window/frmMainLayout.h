// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Form.h"

namespace pictrane {

// The names of the main window and its controls, spelled once for the table, the handlers and
// the tests.
namespace control {
inline constexpr const char* kForm = "frmMain";
inline constexpr const char* kCmdConvert = "cmdConvert";
inline constexpr const char* kFrame = "Frame1";
inline constexpr const char* kPicture = "Picture1";
inline constexpr const char* kTxtPath = "txtPath";
inline constexpr const char* kCmdBrowse = "cmdBrowse";
inline constexpr const char* kTxtTI89Dir = "txtTI89Dir";
inline constexpr const char* kLblDeviceFolder = "Label1(1)";
inline constexpr const char* kLblFolder = "Label1(0)";
inline constexpr const char* kChkDeleteBMPs = "chkDeleteBMPs";
inline constexpr const char* kCmdExit = "cmdExit";
}  // namespace control

// The main window as data: every toolkit builds it from this one table.
const FormLayout& frmMainLayout();

}  // namespace pictrane
