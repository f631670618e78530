// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

#include "calc/CalcFile.h"
#include "picture/PixelConversion.h"

namespace pictrane::capture {

// One entry of the "Save as type" list. Calculator pictures go through the picture-variable
// panel and libtifiles; the others are saved by Qt as two-colour images of screen size.
struct SaveType {
  const char* Label;
  const char* Extension;  // without the dot
  bool Calculator;
  CalcModelId Model;        // whose screen the picture is fitted to (CalcFile.h: AreaOf)
  const char* ImageFormat;  // Qt's format name for the others
};

// The TI-89 picture is the sixth entry: Down pressed five times reaches it from any entry above
// it and stays on it, which is what the file script relies on (the list opens at the type chosen
// last, so from the second file on it starts there). The entries after it are therefore past
// the last row Down reaches (kLastRowDownReaches): the mouse, End or Page Down choose them.
inline constexpr std::array<SaveType, 7> kSaveTypes{{
    {"Monochrome bitmap (*.bmp)", "bmp", false, CalcModelId::Ti89, "BMP"},
    {"PNG image (*.png)", "png", false, CalcModelId::Ti89, "PNG"},
    {"TI-92 picture (*.92i)", "92i", true, CalcModelId::Ti92, nullptr},
    {"TI-92 Plus picture (*.9xi)", "9xi", true, CalcModelId::Ti92Plus, nullptr},
    {"Voyage 200 picture (*.v2i)", "v2i", true, CalcModelId::Voyage200, nullptr},
    {"TI-89 picture (*.89i)", "89i", true, CalcModelId::Ti89, nullptr},
    {"TI-83 Plus / TI-84 Plus picture (*.8xi)", "8xi", true, CalcModelId::Ti83Plus, nullptr},
}};

inline constexpr int kTi89SaveType = 5;
inline constexpr int kLastRowDownReaches = kTi89SaveType;

}  // namespace pictrane::capture
