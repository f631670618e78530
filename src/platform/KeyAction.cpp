// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/KeyAction.h"

#include <array>
#include <cstddef>

namespace pictrane {

std::string DescribeNamedKey(NamedKey Key) {
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
