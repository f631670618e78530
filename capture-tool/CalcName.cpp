// SPDX-License-Identifier: GPL-3.0-or-later
#include "CalcName.h"

#include <algorithm>
#include <string>

namespace pictrane::capture {

namespace {

bool IsGreekNameLetter(char32_t Character) {
  switch (Character) {
    case U'α':
    case U'β':
    case U'Γ':
    case U'γ':
    case U'Δ':
    case U'δ':
    case U'ε':
    case U'ζ':
    case U'θ':
    case U'λ':
    case U'ξ':
    case U'ρ':
    case U'Σ':
    case U'σ':
    case U'τ':
    case U'φ':
    case U'ψ':
    case U'Ω':
    case U'ω':
      return true;
    default:
      return false;
  }
}

bool IsDigitOrUnderscore(char32_t Character) {
  return (Character >= U'0' && Character <= U'9') || Character == U'_';
}

}  // namespace

bool IsNameLetter(char32_t Character) {
  if ((Character >= U'A' && Character <= U'Z') || (Character >= U'a' && Character <= U'z')) {
    return true;
  }
  if (Character >= 0xC0 && Character <= 0xFF) return Character != 0xD7 && Character != 0xF7;
  return IsGreekNameLetter(Character);
}

bool IsNameSoFar(std::u32string_view Text) {
  if (Text.size() > kMaxNameLength) return false;
  for (std::size_t At = 0; At < Text.size(); ++At) {
    const bool Fits = IsNameLetter(Text[At]) || (At > 0 && IsDigitOrUnderscore(Text[At]));
    if (!Fits) return false;
  }
  return true;
}

bool IsValidName(std::u32string_view Text) {
  return !Text.empty() && IsNameSoFar(Text);
}

std::u32string LowerName(std::u32string_view Text) {
  std::u32string Lower(Text);
  for (char32_t& Character : Lower) {
    const bool AsciiUpper = Character >= U'A' && Character <= U'Z';
    const bool Latin1Upper = Character >= 0xC0 && Character <= 0xDE && Character != 0xD7;
    // Γ Δ Σ Ω: their small forms sit 0x20 higher and are in the character set too.
    const bool GreekUpper = Character >= 0x391 && Character <= 0x3A9 && IsNameLetter(Character);
    if (AsciiUpper || Latin1Upper || GreekUpper) Character += 0x20;
  }
  return Lower;
}

std::u32string NameFromTyping(std::u32string_view Text) {
  std::u32string Name;
  for (const char32_t Character : Text) {
    Name.push_back(Character);
    if (!IsNameSoFar(Name)) Name.pop_back();
  }
  return Name;
}

std::u32string DistinctName(std::u32string_view Name, const std::set<std::u32string>& Taken) {
  if (!Taken.contains(LowerName(Name))) return std::u32string(Name);
  for (unsigned Number = 1;; ++Number) {
    const std::string Digits = std::to_string(Number);
    std::u32string Candidate(Name.substr(0, std::min(Name.size(), kMaxNameLength - Digits.size())));
    Candidate.append(Digits.begin(), Digits.end());
    if (!Taken.contains(LowerName(Candidate))) return Candidate;
  }
}

std::u32string FallbackName(const std::set<std::u32string>& Taken) {
  for (unsigned Number = 1;; ++Number) {
    const std::string Digits = std::to_string(Number);
    std::u32string Candidate = U"pic";
    Candidate.append(Digits.begin(), Digits.end());
    if (!Taken.contains(Candidate)) return Candidate;
  }
}

}  // namespace pictrane::capture
