#include "Val.h"

#include <cfenv>
#include <cmath>
#include <locale>
#include <sstream>

namespace pictrane {

namespace {

std::string WithoutBlanks(const std::string& Text) {
  std::string s;
  s.reserve(Text.size());
  for (char c : Text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }
  return s;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// &H and &O numbers: those that fit in 16 bits read as a 16-bit signed integer, others as 32.
double RadixValue(const std::string& s, std::size_t pos, unsigned radix) {
  std::uint64_t v = 0;
  for (; pos < s.size(); ++pos) {
    const char c = s[pos];
    unsigned d;
    if (IsDigit(c)) {
      d = static_cast<unsigned>(c - '0');
    } else if (radix == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) {
      d = static_cast<unsigned>((c | 0x20) - 'a' + 10);
    } else {
      break;
    }
    if (d >= radix) break;
    v = (v * radix + d) & 0xFFFFFFFFu;
  }
  if (v <= 0xFFFF) return static_cast<double>(static_cast<std::int16_t>(v));
  return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(v)));
}

}  // namespace

double Val(const std::string& Text) {
  const std::string s = WithoutBlanks(Text);
  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return RadixValue(s, 2, 16);
    if (s[1] == 'O' || s[1] == 'o') return RadixValue(s, 2, 8);
    return 0;
  }

  // Take the longest prefix of the decimal form, then let strtod read exactly that.
  std::size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  std::size_t end = i;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e')) {
    std::size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      while (j < s.size() && IsDigit(s[j])) ++j;
      end = j;
    }
  }
  // Always "." as the decimal point, whatever the user's locale says (Qt adopts it at start-up).
  std::istringstream number(s.substr(0, end));
  number.imbue(std::locale::classic());
  double value = 0;
  number >> value;  // out of range: the largest double with its sign, which no caller accepts
  return value;
}

std::optional<std::int16_t> CInt(double Number) {
  if (!std::isfinite(Number)) return std::nullopt;
  const int saved = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(Number);
  std::fesetround(saved);
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

int CheckBoxValueFromText(const std::string& Text) {
  const auto value = CInt(Val(Text));
  if (!value || *value < 0 || *value > 2) return 0;
  return *value;
}

}  // namespace pictrane
