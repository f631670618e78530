// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The rules of a calculator's name fields, shared by the variable name and the device folder:
// 1 to 8 characters, the first a letter, the others letters, digits or "_".
//
// A letter is what the calculator's own character set holds as one and accepts in names:
//   - A..Z and a..z;
//   - the Latin-1 letters U+00C0..U+00FF (accented and international letters such as é, ü, ß,
//     ø), except the signs × and ÷;
//   - the Greek letters the character set carries (α β Γ γ Δ δ ε ζ θ λ ξ ρ Σ σ τ φ ψ Ω ω), except
//     π and Π, which the calculator keeps for the constant and the product.
// Anything else, including letters the calculator cannot show (Cyrillic, CJK, ...), is refused.

#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace pictrane::capture {

inline constexpr std::size_t kMaxNameLength = 8;

bool IsNameLetter(char32_t Character);

// True for text a name field may hold while it is being typed: empty, or a valid name.
bool IsNameSoFar(std::u32string_view Text);

// True for a complete name: not empty and following the rules above.
bool IsValidName(std::u32string_view Text);

// The name as the calculator stores it: every letter in lower case. Names on the calculator are
// not case-sensitive, and its own entry line lower-cases them the same way.
std::u32string LowerName(std::u32string_view Text);

// The name a name field ends up holding when Text is typed into it: every character that would
// break the rules at its place is refused and typing goes on ("holiday pic+1" gives "holidayp").
// Empty when nothing in Text can start a name.
std::u32string NameFromTyping(std::u32string_view Text);

// A valid Name made distinct from every name in Taken (held as LowerName gives them): Name itself
// when it is free, else the first free one with a number in its last places, appended while the
// name is shorter than 8 characters ("sea" gives "sea1"), in place of its last characters after
// ("astronau" gives "astrona1", then "astrona2").
std::u32string DistinctName(std::u32string_view Name, const std::set<std::u32string>& Taken);

// The name of a picture whose file name gives none (NameFromTyping is empty: "Привет мир",
// "日本語", "~~~", "42"): "pic1", else the first of "pic2", "pic3"... not in Taken.
std::u32string FallbackName(const std::set<std::u32string>& Taken);

}  // namespace pictrane::capture
