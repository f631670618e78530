// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/frmMainLayout.h"

#include "pictrane/Product.h"

namespace pictrane {

namespace {
// What each control is for, told where the pointer rests on it.
namespace tip {
constexpr const char* kFolder = "the folder of bitmaps (*.bmp) to convert: pick it with \"...\"";
constexpr const char* kBrowse = "pick the folder of bitmaps";
constexpr const char* kDeviceFolder =
    "the folder on the calculator that receives the pictures; the calculator takes up to 8 "
    "letters or digits, starting with a letter";
constexpr const char* kDelete =
    "delete each bitmap once its picture is written; a bitmap without a picture is kept";
constexpr const char* kConvert = "convert every bitmap of the folder, then close";
constexpr const char* kExit = "save these settings and close";
}  // namespace tip
}  // namespace

const FormLayout& frmMainLayout() {
  static const FormLayout Layout = [] {
    FormLayout F;
    F.Name = control::kForm;
    F.Caption = kWindowCaption;
    F.ClientWidth = 7185;
    F.ClientHeight = 2250;
    F.FontName = "Tahoma";
    F.FontSize = 8.25;
    F.FontWeight = 400;
    F.FontCharset = 0;
    F.FixedSize = true;
    F.CentreOnScreen = true;
    F.FocusedControl = control::kCmdConvert;

    using K = ControlKind;
    // Creation order follows the tab order, so toolkits that order focus by creation agree.
    F.Controls = {
        {.Name = control::kCmdConvert,
         .Kind = K::PushButton,
         .Container = "",
         .Left = 5820,
         .Top = 1740,
         .Width = 1215,
         .Height = 375,
         .TabIndex = 0,
         .Caption = "Convert",
         .ToolTip = tip::kConvert},
        {.Name = control::kFrame,
         .Kind = K::GroupFrame,
         .Container = "",
         .Left = 120,
         .Top = 120,
         .Width = 6915,
         .Height = 1515,
         .TabIndex = 1,
         .Caption = "Conversion",
         .ToolTip = ""},
        {.Name = control::kPicture,
         .Kind = K::PictureBox,
         .Container = control::kFrame,
         .Left = 180,
         .Top = 300,
         .Width = 6555,
         .Height = 1095,
         .TabIndex = 2,
         .Caption = "",
         .ToolTip = ""},
        {.Name = control::kTxtPath,
         .Kind = K::TextField,
         .Container = control::kPicture,
         .Left = 1140,
         .Top = 0,
         .Width = 4935,
         .Height = 315,
         .TabIndex = 3,
         .Caption = "",
         .ReadOnly = true,
         .ButtonFaceBackground = true,
         .ToolTip = tip::kFolder},
        {.Name = control::kCmdBrowse,
         .Kind = K::PushButton,
         .Container = control::kPicture,
         .Left = 6120,
         .Top = 0,
         .Width = 435,
         .Height = 315,
         .TabIndex = 4,
         .Caption = "...",
         .ToolTip = tip::kBrowse},
        {.Name = control::kTxtTI89Dir,
         .Kind = K::TextField,
         .Container = control::kPicture,
         .Left = 1140,
         .Top = 420,
         .Width = 1815,
         .Height = 315,
         .TabIndex = 5,
         .Caption = "",
         .MaxLength = 8,
         .ToolTip = tip::kDeviceFolder},
        {.Name = control::kLblDeviceFolder,
         .Kind = K::Label,
         .Container = control::kPicture,
         .Left = 0,
         .Top = 480,
         .Width = 1005,
         .Height = 195,
         .TabIndex = 6,
         .Caption = "Device folder:",
         .SizedToText = true,
         .ToolTip = tip::kDeviceFolder},
        {.Name = control::kLblFolder,
         .Kind = K::Label,
         .Container = control::kPicture,
         .Left = 0,
         .Top = 60,
         .Width = 510,
         .Height = 195,
         .TabIndex = 7,
         .Caption = "Folder:",
         .SizedToText = true,
         .ToolTip = tip::kFolder},
        {.Name = control::kChkDeleteBMPs,
         .Kind = K::CheckBox,
         .Container = control::kPicture,
         .Left = 1140,
         .Top = 840,
         .Width = 2715,
         .Height = 195,
         .TabIndex = 8,
         .Caption = "Delete BMP files after conversion",
         .TriState = true,
         .ToolTip = tip::kDelete},
        {.Name = control::kCmdExit,
         .Kind = K::PushButton,
         .Container = "",
         .Left = 4500,
         .Top = 1740,
         .Width = 1215,
         .Height = 375,
         .TabIndex = 9,
         .Caption = "Exit",
         .ToolTip = tip::kExit},
    };
    return F;
  }();
  return Layout;
}

}  // namespace pictrane
