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
};

}  // namespace pictrane::test
