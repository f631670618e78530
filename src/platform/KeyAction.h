// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pictrane {

// Keys a back end knows by name; characters travel as Unicode code points instead.
enum class NamedKey : std::uint8_t {
  Enter,
  Tab,
  Escape,
  Backspace,
  Delete,
  Insert,
  Home,
  End,
  PageUp,
  PageDown,
  Up,
  Down,
  Left,
  Right,
  Break,
  CapsLock,
  NumLock,
  ScrollLock,
  PrintScreen,
  Help,
  F1,
  F2,
  F3,
  F4,
  F5,
  F6,
  F7,
  F8,
  F9,
  F10,
  F11,
  F12,
  F13,
  F14,
  F15,
  F16,
};

enum Modifier : std::uint8_t { kNoModifier = 0, kShift = 1, kControl = 2, kAlt = 4 };

// One step of a parsed key string: press Modifiers, then type the key (Count times when it
// repeats), then release. A Character is a code point to type as itself.
struct KeyAction {
  enum class Kind : std::uint8_t { Character, Named };
  Kind Type = Kind::Character;
  char32_t Character = 0;
  NamedKey Key = NamedKey::Enter;
  std::uint8_t Modifiers = kNoModifier;
  int Count = 1;

  friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

using KeyActions = std::vector<KeyAction>;

// The key's name as messages and key strings give it ("Enter", "F4").
inline std::string DescribeNamedKey(NamedKey Key) {
  // In the order of NamedKey.
  static constexpr std::array<const char*, 36> kNames{
      "Enter",   "Tab",        "Escape",      "Backspace", "Delete", "Insert", "Home",  "End",
      "PageUp",  "PageDown",   "Up",          "Down",      "Left",   "Right",  "Break", "CapsLock",
      "NumLock", "ScrollLock", "PrintScreen", "Help",      "F1",     "F2",     "F3",    "F4",
      "F5",      "F6",         "F7",          "F8",        "F9",     "F10",    "F11",   "F12",
      "F13",     "F14",        "F15",         "F16",
  };
  static_assert(static_cast<std::size_t>(NamedKey::F16) + 1 == kNames.size());
  const auto Index = static_cast<std::size_t>(Key);
  if (Index < kNames.size()) return kNames[Index];
  return "Key" + std::to_string(Index);
}

}  // namespace pictrane
