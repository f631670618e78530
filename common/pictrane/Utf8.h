// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace pictrane {

// The digits of the code points and byte escapes that messages show (U+000D, \xE9).
inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// Appends the UTF-8 form of one code point: names travel as UTF-8 everywhere in the program.
inline void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out += static_cast<char>(C);
  } else if (C < 0x800) {
    Out += static_cast<char>(0xC0 | (C >> 6));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else if (C < 0x10000) {
    Out += static_cast<char>(0xE0 | (C >> 12));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (C >> 18));
    Out += static_cast<char>(0x80 | ((C >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((C >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (C & 0x3F));
  }
}

// The same for a string of code points.
inline std::string ToUtf8(std::u32string_view Text) {
  std::string Out;
  for (char32_t C : Text) AppendUtf8(Out, C);
  return Out;
}

// Reads the code point that starts at Bytes[At] and moves At past it. Strict: an overlong form, a
// surrogate, a value above U+10FFFF or a cut sequence is no character; then At moves by one byte
// and false is returned, so a caller can show that byte for itself.
inline bool NextUtf8(std::string_view Bytes, std::size_t& At, char32_t& C) {
  const auto Byte = [&](std::size_t I) { return static_cast<unsigned char>(Bytes[I]); };
  const unsigned char Lead = Byte(At);
  std::size_t Length = 0;
  char32_t Min = 0;
  if (Lead < 0x80) {
    C = Lead;
    ++At;
    return true;
  } else if ((Lead & 0xE0) == 0xC0) {
    Length = 2, Min = 0x80, C = Lead & 0x1F;
  } else if ((Lead & 0xF0) == 0xE0) {
    Length = 3, Min = 0x800, C = Lead & 0x0F;
  } else if ((Lead & 0xF8) == 0xF0) {
    Length = 4, Min = 0x10000, C = Lead & 0x07;
  } else {
    ++At;
    return false;
  }
  if (Bytes.size() - At < Length) {
    ++At;
    return false;
  }
  for (std::size_t K = 1; K < Length; ++K) {
    if ((Byte(At + K) & 0xC0) != 0x80) {
      ++At;
      return false;
    }
    C = (C << 6) | (Byte(At + K) & 0x3F);
  }
  if (C < Min || C > 0x10FFFF || (C >= 0xD800 && C < 0xE000)) {
    ++At;
    return false;
  }
  At += Length;
  return true;
}

}  // namespace pictrane
