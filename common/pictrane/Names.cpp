// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/Names.h"

#include "pictrane/Utf8.h"

namespace pictrane {

namespace {

bool IsControl(char32_t C) {
  return C < 0x20 || (C >= 0x7F && C < 0xA0) || C == 0x2028 || C == 0x2029;
}

}  // namespace

bool TypableName(const std::string& Name) {
  for (std::size_t At = 0; At < Name.size();) {
    char32_t C = 0;
    if (!NextUtf8(Name, At, C) || IsControl(C)) return false;
  }
  return true;
}

std::string EscapedName(const std::string& Name) {
  std::string Out;
  for (std::size_t At = 0; At < Name.size();) {
    const std::size_t Start = At;
    char32_t C = 0;
    const bool Valid = NextUtf8(Name, At, C);
    if (Valid && !IsControl(C) && C != '\\') {
      Out.append(Name, Start, At - Start);
    } else if (Valid && C == '\\') {
      Out += "\\\\";
    } else if (Valid && C == '\r') {
      Out += "\\r";
    } else if (Valid && C == '\n') {
      Out += "\\n";
    } else if (Valid && C == '\t') {
      Out += "\\t";
    } else {
      for (std::size_t K = Start; K < At; ++K) {
        const auto B = static_cast<unsigned char>(Name[K]);
        Out += "\\x";
        Out += kHexDigits[B >> 4];
        Out += kHexDigits[B & 0xF];
      }
    }
  }
  return Out;
}

}  // namespace pictrane
