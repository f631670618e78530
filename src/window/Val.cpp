// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/Val.h"

#include <cfenv>
#include <cmath>
#include <locale>
#include <sstream>

namespace pictrane {

namespace {

std::string WithoutBlanks(const std::string& Text) {
  std::string S;
  S.reserve(Text.size());
  for (char C : Text) {
    if (C != ' ' && C != '\t' && C != '\n') S += C;
  }
  return S;
}

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}

// &H and &O numbers: those that fit in 16 bits read as a 16-bit signed integer, others as 32.
double RadixValue(const std::string& S, std::size_t Pos, unsigned Radix) {
  std::uint64_t V = 0;
  for (; Pos < S.size(); ++Pos) {
    const char C = S[Pos];
    unsigned D;
    if (IsDigit(C)) {
      D = static_cast<unsigned>(C - '0');
    } else if (Radix == 16 && ((C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'))) {
      D = static_cast<unsigned>((C | 0x20) - 'a' + 10);
    } else {
      break;
    }
    if (D >= Radix) break;
    V = (V * Radix + D) & 0xFFFFFFFFu;
  }
  if (V <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(V));
  return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(V)));
}

}  // namespace

double Val(const std::string& Text) {
  const std::string S = WithoutBlanks(Text);
  if (S.size() >= 2 && S[0] == '&') {
    if (S[1] == 'H' || S[1] == 'h') return RadixValue(S, 2, 16);
    if (S[1] == 'O' || S[1] == 'o') return RadixValue(S, 2, 8);
    return 0;
  }

  // Take the longest prefix of the decimal form, then let strtod read exactly that.
  std::size_t I = 0;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) ++I;
  std::size_t Digits = 0;
  while (I < S.size() && IsDigit(S[I])) ++I, ++Digits;
  if (I < S.size() && S[I] == '.') {
    ++I;
    while (I < S.size() && IsDigit(S[I])) ++I, ++Digits;
  }
  if (Digits == 0) return 0;
  std::size_t End = I;
  if (I < S.size() && (S[I] == 'E' || S[I] == 'e')) {
    std::size_t J = I + 1;
    if (J < S.size() && (S[J] == '+' || S[J] == '-')) ++J;
    if (J < S.size() && IsDigit(S[J])) {
      while (J < S.size() && IsDigit(S[J])) ++J;
      End = J;
    }
  }
  // Always "." as the decimal point, whatever the user's locale says (Qt adopts it at start-up).
  std::istringstream Number(S.substr(0, End));
  Number.imbue(std::locale::classic());
  double Value = 0;
  Number >> Value;  // out of range: the largest double with its sign, which no caller accepts
  return Value;
}

std::optional<std::int16_t> CInt(double Number) {
  if (!std::isfinite(Number)) return std::nullopt;
  const int Saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double Rounded = std::nearbyint(Number);
  std::fesetround(Saved);
  if (Rounded < -32768.0 || Rounded > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(Rounded);
}

int CheckBoxValueFromText(const std::string& Text) {
  const auto Value = CInt(Val(Text));
  if (!Value || *Value < 0 || *Value > 2) return 0;
  return *Value;
}

}  // namespace pictrane
