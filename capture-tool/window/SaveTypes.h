// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

#include "calc/Models.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {

// One entry of the "Save as type" list. Calculator pictures go through the picture-variable
// panel and libtifiles; the others are saved by Qt as two-colour images of screen size.
struct SaveType {
  const char* Label;      // the images'; a calculator picture's comes from its model (LabelOf)
  const char* Extension;  // the same, without the dot
  bool Calculator;
  CalcModelId Model;        // whose screen the picture is fitted to (CalcFile.h: AreaOf)
  const char* ImageFormat;  // Qt's format name for the others
  int Kind = 0;             // of the model's picture kinds (Models.h)
};

// The first model's picture is the sixth entry: Down pressed five times reaches it from any entry
// above it and stays on it, which is what the file script relies on (the list opens at the type
// chosen last, so from the second file on it starts there). The entries after it are therefore past
// the last row Down reaches (kLastRowDownReaches): the mouse, End or Page Down choose them; new
// models' entries go last.
inline constexpr std::array<SaveType, 9> kSaveTypes{{
    {"Monochrome bitmap (*.bmp)", "bmp", false, CalcModelId::Ti89, "BMP"},
    {"PNG image (*.png)", "png", false, CalcModelId::Ti89, "PNG"},
    {nullptr, nullptr, true, CalcModelId::Ti92, nullptr},
    {nullptr, nullptr, true, CalcModelId::Ti92Plus, nullptr},
    {nullptr, nullptr, true, CalcModelId::Voyage200, nullptr},
    {nullptr, nullptr, true, CalcModelId::Ti89, nullptr},
    {nullptr, nullptr, true, CalcModelId::Ti83Plus, nullptr},
    {nullptr, nullptr, true, CalcModelId::Ti84PlusCe, nullptr, 0},
    {nullptr, nullptr, true, CalcModelId::Ti84PlusCe, nullptr, 1},
}};

inline QString ExtensionOf(const SaveType& Type) {
  return QString::fromUtf8(Type.Calculator ? KindOf(Type.Model, Type.Kind).Extension
                                           : Type.Extension);
}
// "PNG image (*.png)", or the model's menu name and " picture (*.89i)" with its extension (a
// further kind named by its stem: " image (*.8ca)").
inline QString LabelOf(const SaveType& Type) {
  if (!Type.Calculator) return QString::fromUtf8(Type.Label);
  const QString What = Type.Kind == 0
                           ? QStringLiteral("picture")
                           : QString::fromUtf8(KindOf(Type.Model, Type.Kind).Stem).toLower();
  return QStringLiteral("%1 %2 (*.%3)")
      .arg(QString::fromStdString(MenuNameOf(Type.Model)), What, ExtensionOf(Type));
}

inline constexpr int kTi89SaveType = 5;
inline constexpr int kLastRowDownReaches = kTi89SaveType;

}  // namespace pictrane::capture
