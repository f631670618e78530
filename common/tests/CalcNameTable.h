// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// File names and the calculator names they give, as both programs must take them: the converter
// when it tells which pictures will replace each other, the capture tool when it writes them.

#include <string>
#include <vector>

namespace pictrane::test {

struct CalcNameRow {
  std::string Text;  // a bitmap's name without ".bmp", UTF-8
  std::string Name;  // what the calculator keeps; empty: no letter a name takes
  // What the capture tool names the picture of a file so named on its own (batch, window), when
  // that is not Name: a phone's time stamp keeps its time of day.
  std::string FromFile = {};
};

inline const std::vector<CalcNameRow> kCalcNameRows = {
    {"Holiday", "holiday"},
    {"holiday pic+1", "holidayp"},
    {"2024_beach", "beach"},
    {"Été à Zürich", "étéàzüri"},
    {"ΓΔΣΩ αβ", "γδσωαβ"},
    {"ψυχή", "ψ"},  // only the Greek letters the calculator's character set holds
    {"πr2", "r2"},  // π is the constant, never a letter of a name
    {"Привет мир", ""},
    {"日本語", ""},
    {"a×b÷c", "abc"},
    {"x_1", "x_1"},
    {"IMG_20240612_183015", "img_2024", "im183015"},
    {"PXL_20240612_183015123", "pxl_2024", "px183015"},
    {"Screenshot_2024-06-12-18-30-15-123_com.app", "screensh", "sc183015"},
    {"20240612_183015", "", "p183015"},
    {"IMG_20241399_183015", "img_2024"},  // no such day: no stamp
};

}  // namespace pictrane::test
