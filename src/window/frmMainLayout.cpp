#include "frmMainLayout.h"

namespace pictrane {

const FormLayout& frmMainLayout() {
  static const FormLayout layout = [] {
    FormLayout f;
    f.Name = "frmMain";
    f.Caption = "Pictrane Converter 1.1";
    f.ClientWidth = 7185;
    f.ClientHeight = 2250;
    f.FontName = "Tahoma";
    f.FontSize = 8.25;
    f.FontWeight = 400;
    f.FontCharset = 0;
    f.FixedSize = true;
    f.CentreOnScreen = true;
    f.FocusedControl = "cmdConvert";

    using K = ControlKind;
    // Creation order follows the tab order, so toolkits that order focus by creation agree.
    f.Controls = {
        {.Name = "cmdConvert",
         .Kind = K::PushButton,
         .Container = "",
         .Left = 5820,
         .Top = 1740,
         .Width = 1215,
         .Height = 375,
         .TabIndex = 0,
         .Caption = "Convert"},
        {.Name = "Frame1",
         .Kind = K::GroupFrame,
         .Container = "",
         .Left = 120,
         .Top = 120,
         .Width = 6915,
         .Height = 1515,
         .TabIndex = 1,
         .Caption = "Conversion"},
        {.Name = "Picture1",
         .Kind = K::PictureBox,
         .Container = "Frame1",
         .Left = 180,
         .Top = 300,
         .Width = 6555,
         .Height = 1095,
         .TabIndex = 2,
         .Caption = ""},
        {.Name = "txtPath",
         .Kind = K::TextField,
         .Container = "Picture1",
         .Left = 1140,
         .Top = 0,
         .Width = 4935,
         .Height = 315,
         .TabIndex = 3,
         .Caption = "",
         .ReadOnly = true,
         .ButtonFaceBackground = true},
        {.Name = "cmdBrowse",
         .Kind = K::PushButton,
         .Container = "Picture1",
         .Left = 6120,
         .Top = 0,
         .Width = 435,
         .Height = 315,
         .TabIndex = 4,
         .Caption = "..."},
        {.Name = "txtTI89Dir",
         .Kind = K::TextField,
         .Container = "Picture1",
         .Left = 1140,
         .Top = 420,
         .Width = 1815,
         .Height = 315,
         .TabIndex = 5,
         .Caption = "",
         .MaxLength = 8},
        {.Name = "Label1(1)",
         .Kind = K::Label,
         .Container = "Picture1",
         .Left = 0,
         .Top = 480,
         .Width = 1005,
         .Height = 195,
         .TabIndex = 6,
         .Caption = "Device folder:",
         .SizedToText = true},
        {.Name = "Label1(0)",
         .Kind = K::Label,
         .Container = "Picture1",
         .Left = 0,
         .Top = 60,
         .Width = 510,
         .Height = 195,
         .TabIndex = 7,
         .Caption = "Folder:",
         .SizedToText = true},
        {.Name = "chkDeleteBMPs",
         .Kind = K::CheckBox,
         .Container = "Picture1",
         .Left = 1140,
         .Top = 840,
         .Width = 2715,
         .Height = 195,
         .TabIndex = 8,
         .Caption = "Delete BMP files after conversion",
         .TriState = true},
        {.Name = "cmdExit",
         .Kind = K::PushButton,
         .Container = "",
         .Left = 4500,
         .Top = 1740,
         .Width = 1215,
         .Height = 375,
         .TabIndex = 9,
         .Caption = "Exit"},
    };
    return f;
  }();
  return layout;
}

}  // namespace pictrane
