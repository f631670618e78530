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
#include <vector>

namespace pictrane {

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

// The name a phone's time stamp gives (IMG_20240612_183015, PXL_20240612_183015123,
// Screenshot_2024-06-12-18-30-15, 20240612_183015, or an Exif time such as 2024:06:12 18:30:15):
// the first two letters before the stamp ("p" when there are none) and the time of day to the
// second ("IM183015", "Sc183015", "p183015"). The date stays out: eight characters cannot hold
// both, and photos sent together mostly share their day, not their second. Empty when Text holds
// no such stamp.
std::u32string TimeStampName(std::u32string_view Text);

// The name a picture gets from its file's name (Text, without the extension): TimeStampName's
// when there is one, else NameFromTyping's.
std::u32string NameFromFile(std::u32string_view Text);

// The names of a run's pictures, one for each of Texts (their file names), in order: what
// NameFromFile gives, unless names collide in their 8 characters while their texts differ.
// Then each keeps the part of its own text that tells it from its nearest sibling (the one it
// shares the longest beginning with), after the text's first letters (3, more when the part is
// short). The part begins after the 8 shared characters, later at the start of the run of digits
// or of letters where the text differs from that sibling, and later still if the differing
// character would not fit; it is cut to the 8 characters, a trailing "_" dropped. So
// "astronaut_1024x768" and "astronaut_160x100" give "ast1024x" and "ast160x1"; only the texts
// count, not their order. A phone's stamped names tell themselves apart (TimeStampName).
// Texts equal but for case keep their one name (DistinctName tells them apart); a text with no
// name gives an empty one. A text whose siblings all begin with it keeps its plain name.
std::vector<std::u32string> NamesTellingApart(const std::vector<std::u32string>& Texts);

// A valid Name made distinct from every name in Taken (held as LowerName gives them): Name itself
// when it is free, else the first free one with a number in its last places, appended while the
// name is shorter than 8 characters ("sea" gives "sea1"), in place of its last characters after
// ("astronau" gives "astrona1", then "astrona2"). A number never lengthens digits the name ends
// in, which would read as another number or a year: a "_" goes between ("img_2024" gives
// "img_20_1").
std::u32string DistinctName(std::u32string_view Name, const std::set<std::u32string>& Taken);

// The name of a picture whose file name gives none (NameFromTyping is empty: "Привет мир",
// "日本語", "~~~", "42"): "pic1", else the first of "pic2", "pic3"... not in Taken.
std::u32string FallbackName(const std::set<std::u32string>& Taken);

// The name a calculator keeps of the UTF-8 text Variable typed into a name field, as LowerName
// and NameFromTyping give it, in UTF-8 (bytes that are not UTF-8 are refused as typing refuses
// them). Two texts that give one name make pictures that replace each other on the calculator.
std::string CalculatorName(std::string_view Variable);

}  // namespace pictrane
