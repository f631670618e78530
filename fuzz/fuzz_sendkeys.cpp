// SPDX-License-Identifier: GPL-3.0-or-later
// Key strings from anywhere: parsing either gives actions or raises RaisedError, and escaped
// text parses back to exactly its own characters.

#include <cstddef>
#include <cstdint>
#include <string>

#include "conversion/SendKeys.h"
#include "pictrane/RaisedError.h"

namespace {

// The code points of Text when it is valid UTF-8 (the same strict rules as the parser), else
// nothing: the parser must then refuse the escaped form too.
bool Decode(const std::string& Text, std::u32string& Out) {
  for (std::size_t I = 0; I < Text.size();) {
    const auto Lead = static_cast<unsigned char>(Text[I]);
    std::size_t Length = 1;
    char32_t C = Lead;
    char32_t Smallest = 0;
    if (Lead >= 0xF0 && Lead < 0xF8) {
      Length = 4, C = Lead & 0x07u, Smallest = 0x10000;
    } else if (Lead >= 0xE0 && Lead < 0xF0) {
      Length = 3, C = Lead & 0x0Fu, Smallest = 0x800;
    } else if (Lead >= 0xC0 && Lead < 0xE0) {
      Length = 2, C = Lead & 0x1Fu, Smallest = 0x80;
    } else if (Lead >= 0x80) {
      return false;
    }
    if (Text.size() - I < Length) return false;
    for (std::size_t K = 1; K < Length; ++K) {
      const auto Next = static_cast<unsigned char>(Text[I + K]);
      if ((Next & 0xC0) != 0x80) return false;
      C = (C << 6) | (Next & 0x3Fu);
    }
    if (C < Smallest || C > 0x10FFFF || (C >= 0xD800 && C <= 0xDFFF)) return false;
    Out += C;
    I += Length;
  }
  return true;
}

bool IsControl(char32_t C) {
  return C < 0x20 || (C >= 0x7F && C <= 0x9F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string Input(reinterpret_cast<const char*>(Data), Size);
  try {
    const pictrane::KeyActions Actions = pictrane::ParseKeys(Input);
    for (const pictrane::KeyAction& Action : Actions)
      if (Action.Count < 1 || Action.Count > pictrane::kMaxKeyRepeat) __builtin_trap();
    (void)pictrane::DescribeKeys(Actions);
  } catch (const pictrane::RaisedError&) {
  }

  std::u32string CodePoints;
  const bool Valid = Decode(Input, CodePoints);
  bool HasControl = false;
  for (char32_t C : CodePoints) HasControl = HasControl || IsControl(C);
  std::string Escaped;
  try {
    Escaped = pictrane::EscapeKeys(Input);
  } catch (const pictrane::RaisedError&) {
    // Only a control character is refused (bytes of invalid UTF-8 below 0x20 count as well).
    for (unsigned char Byte : Input)
      if (Byte < 0x20 || Byte == 0x7F) return 0;
    if (!HasControl && Valid) __builtin_trap();
    return 0;
  }
  if (HasControl) __builtin_trap();
  try {
    const pictrane::KeyActions Typed = pictrane::ParseKeys(Escaped);
    if (!Valid || Typed.size() != CodePoints.size()) __builtin_trap();
    for (std::size_t I = 0; I < Typed.size(); ++I) {
      const pictrane::KeyAction& A = Typed[I];
      if (A.Type != pictrane::KeyAction::Kind::Character || A.Character != CodePoints[I] ||
          A.Modifiers != pictrane::kNoModifier || A.Count != 1)
        __builtin_trap();
    }
  } catch (const pictrane::RaisedError&) {
    if (Valid) __builtin_trap();
  }
  return 0;
}
