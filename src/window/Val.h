// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pictrane {

// The numeric-prefix rule: blanks, tabs and line feeds are skipped anywhere; then an optional
// sign and digits with at most one period and an optional E exponent, or &H hexadecimal, or &O
// octal. The first other character ends the number; text without one gives 0.
double Val(const std::string& Text);

// Rounds to the nearest integer, halves to the even neighbour; nothing when the result does not
// fit in 16 signed bits.
std::optional<std::int16_t> CInt(double Number);

// The check box value a stored text stands for: 0, 1 or 2. Anything else, including a number too
// large to hold, leaves the box unchecked rather than ending the program.
int CheckBoxValueFromText(const std::string& Text);

}  // namespace pictrane
