// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/CalcName.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>

#include "pictrane/Utf8.h"

namespace pictrane {

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

bool IsDigit(char32_t Character) {
  return Character >= U'0' && Character <= U'9';
}

bool IsDigitOrUnderscore(char32_t Character) {
  return IsDigit(Character) || Character == U'_';
}

bool FitsAt(char32_t Character, std::size_t At) {
  return IsNameLetter(Character) || (At > 0 && IsDigitOrUnderscore(Character));
}

// Text as a name field of Limit characters takes it when typed: what breaks the rules is refused.
std::u32string TypedName(std::u32string_view Text, std::size_t Limit) {
  std::u32string Name;
  for (const char32_t Character : Text) {
    if (Name.size() < Limit && FitsAt(Character, Name.size())) Name.push_back(Character);
  }
  return Name;
}

// A phone's stamp: its fields in order (year, month, day, hour, minute, second), each of fixed
// width and within its range, with at most one separator before each but the first.
bool ReadStamp(std::u32string_view Text, std::size_t At, std::u32string& Time) {
  struct Field {
    std::size_t Width;
    int Lowest;
    int Highest;
  };
  constexpr std::array<Field, 6> kFields = {
      {{4, 1970, 2099}, {2, 1, 12}, {2, 1, 31}, {2, 0, 23}, {2, 0, 59}, {2, 0, 59}}};
  Time.clear();
  for (std::size_t I = 0; I < kFields.size(); ++I) {
    const char32_t Next = At < Text.size() ? Text[At] : U'\0';
    if (I > 0 && (Next == U'_' || Next == U'-' || Next == U'.' || Next == U':' || Next == U' ' ||
                  (I == 3 && Next == U'T'))) {
      ++At;
    }
    int Value = 0;
    for (std::size_t K = 0; K < kFields[I].Width; ++K, ++At) {
      if (At >= Text.size() || !IsDigit(Text[At])) return false;
      Value = Value * 10 + static_cast<int>(Text[At] - U'0');
      if (I >= 3) Time.push_back(Text[At]);
    }
    if (Value < kFields[I].Lowest || Value > kFields[I].Highest) return false;
  }
  return true;
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
    if (!FitsAt(Text[At], At)) return false;
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
  return TypedName(Text, kMaxNameLength);
}

std::u32string TimeStampName(std::u32string_view Text) {
  std::size_t Letters = 0;
  while (Letters < Text.size() && IsNameLetter(Text[Letters])) ++Letters;
  std::size_t At = Letters;
  while (At < Text.size() && At < Letters + 2 && !IsDigit(Text[At])) ++At;  // "_", " - "
  std::u32string Time;
  if (!ReadStamp(Text, At, Time)) return {};
  return (Letters == 0 ? std::u32string(U"p")
                       : std::u32string(Text.substr(0, std::min<std::size_t>(Letters, 2)))) +
         Time;
}

std::u32string NameFromFile(std::u32string_view Text) {
  std::u32string Stamped = TimeStampName(Text);
  return Stamped.empty() ? NameFromTyping(Text) : Stamped;
}

std::vector<std::u32string> NamesTellingApart(const std::vector<std::u32string>& Texts) {
  // The names the texts would give without the length limit, to compare.
  std::vector<std::u32string> Whole;
  std::vector<std::u32string> Lower;
  std::map<std::u32string, std::vector<std::size_t>> Colliding;  // by what the calculator sees
  for (const std::u32string& Text : Texts) {
    const std::u32string Stamped = TimeStampName(Text);
    Whole.push_back(Stamped.empty() ? TypedName(Text, Text.size()) : Stamped);
    Lower.push_back(LowerName(Whole.back()));
    if (!Lower.back().empty()) {
      Colliding[Lower.back().substr(0, kMaxNameLength)].push_back(Lower.size() - 1);
    }
  }
  const auto Shared = [](std::u32string_view A, std::u32string_view B) {
    return static_cast<std::size_t>(std::mismatch(A.begin(), A.end(), B.begin(), B.end()).first -
                                    A.begin());
  };
  std::vector<std::u32string> Names;
  for (std::size_t I = 0; I < Whole.size(); ++I) {
    const std::u32string& Text = Whole[I];
    Names.push_back(Text.substr(0, kMaxNameLength));
    if (Text.empty()) continue;
    // Where it first differs from its nearest sibling among the texts it collides with; one that
    // merely goes on after it has nothing to tell them apart by.
    std::size_t Differs = 0;
    for (const std::size_t J : Colliding[Lower[I].substr(0, kMaxNameLength)]) {
      if (const std::size_t Same = Shared(Lower[I], Lower[J]); Same < Text.size()) {
        Differs = std::max(Differs, Same);
      }
    }
    if (Differs == 0) continue;  // no collision, or nothing of its own
    std::size_t Letters = 0;
    while (Letters < Text.size() && IsNameLetter(Text[Letters])) ++Letters;
    const std::size_t Room = kMaxNameLength - std::min<std::size_t>(Letters, 3);
    const bool Digit = IsDigit(Text[Differs]);
    std::size_t Run = Differs;
    while (Run > 0 && (Digit ? IsDigit(Text[Run - 1]) : IsNameLetter(Text[Run - 1]))) --Run;
    const std::size_t Start =
        std::max({kMaxNameLength, Run, Differs + 1 - std::min(Room, Differs + 1)});
    const std::u32string Part = Text.substr(Start);
    const std::size_t Head = std::min(
        Letters,
        std::max<std::size_t>(3, Part.size() < kMaxNameLength ? kMaxNameLength - Part.size() : 0));
    std::u32string Name = (Text.substr(0, Head) + Part).substr(0, kMaxNameLength);
    while (Name.back() == U'_') Name.pop_back();
    Names.back() = Name;
  }
  return Names;
}

std::u32string DistinctName(std::u32string_view Name, const std::set<std::u32string>& Taken) {
  if (!Taken.contains(LowerName(Name))) return std::u32string(Name);
  for (unsigned Number = 1;; ++Number) {
    const std::string Digits = std::to_string(Number);
    std::u32string Candidate(Name.substr(0, std::min(Name.size(), kMaxNameLength - Digits.size())));
    if (IsDigit(Candidate.back())) {
      Candidate.resize(std::min(Candidate.size(), kMaxNameLength - Digits.size() - 1));
      if (Candidate.back() != U'_') Candidate.push_back(U'_');
    }
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

std::string CalculatorName(std::string_view Variable) {
  std::u32string Text;
  for (std::size_t At = 0; At < Variable.size();) {
    char32_t Character = 0;
    if (NextUtf8(Variable, At, Character)) Text.push_back(Character);
  }
  std::string Name;
  for (const char32_t Character : LowerName(NameFromTyping(Text))) AppendUtf8(Name, Character);
  return Name;
}

}  // namespace pictrane
