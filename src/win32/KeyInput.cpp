// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/KeyInput.h"

#include <cstdio>
#include <string>

#include "pictrane/RaisedError.h"
#include "pictrane/win32/Errors.h"

namespace pictrane::win32 {

namespace {

struct VirtualKey {
  WORD Code;
  bool Extended;  // keys of the separate cursor block, told apart from the number pad
};

VirtualKey VirtualKeyOf(NamedKey Key) {
  switch (Key) {
    case NamedKey::Enter:
      return {VK_RETURN, false};
    case NamedKey::Tab:
      return {VK_TAB, false};
    case NamedKey::Escape:
      return {VK_ESCAPE, false};
    case NamedKey::Backspace:
      return {VK_BACK, false};
    case NamedKey::Delete:
      return {VK_DELETE, true};
    case NamedKey::Insert:
      return {VK_INSERT, true};
    case NamedKey::Home:
      return {VK_HOME, true};
    case NamedKey::End:
      return {VK_END, true};
    case NamedKey::PageUp:
      return {VK_PRIOR, true};
    case NamedKey::PageDown:
      return {VK_NEXT, true};
    case NamedKey::Up:
      return {VK_UP, true};
    case NamedKey::Down:
      return {VK_DOWN, true};
    case NamedKey::Left:
      return {VK_LEFT, true};
    case NamedKey::Right:
      return {VK_RIGHT, true};
    case NamedKey::Break:
      return {VK_CANCEL, true};
    case NamedKey::CapsLock:
      return {VK_CAPITAL, false};
    case NamedKey::NumLock:
      return {VK_NUMLOCK, true};
    case NamedKey::ScrollLock:
      return {VK_SCROLL, false};
    case NamedKey::PrintScreen:
      return {VK_SNAPSHOT, true};
    case NamedKey::Help:
      return {VK_HELP, false};
    default:
      break;
  }
  const int Function = static_cast<int>(Key) - static_cast<int>(NamedKey::F1);
  if (Function >= 0 && Function < 16) return {static_cast<WORD>(VK_F1 + Function), false};
  throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                    "No key for " + DescribeNamedKey(Key));
}

INPUT VirtualKeyEvent(VirtualKey Key, bool Up) {
  INPUT In{};
  In.type = INPUT_KEYBOARD;
  In.ki.wVk = Key.Code;
  In.ki.wScan = static_cast<WORD>(::MapVirtualKeyW(Key.Code, MAPVK_VK_TO_VSC));
  In.ki.dwFlags = (Key.Extended ? KEYEVENTF_EXTENDEDKEY : 0) | (Up ? KEYEVENTF_KEYUP : 0);
  In.ki.dwExtraInfo = kOwnInput;
  return In;
}

INPUT UnicodeEvent(wchar_t Unit, bool Up) {
  INPUT In{};
  In.type = INPUT_KEYBOARD;
  In.ki.wScan = static_cast<WORD>(Unit);
  In.ki.dwFlags = KEYEVENTF_UNICODE | (Up ? KEYEVENTF_KEYUP : 0);
  In.ki.dwExtraInfo = kOwnInput;
  return In;
}

std::wstring Utf16(char32_t Code) {
  if (Code < 0x10000) return std::wstring(1, static_cast<wchar_t>(Code));
  const char32_t V = Code - 0x10000;
  return {static_cast<wchar_t>(0xD800 + (V >> 10)), static_cast<wchar_t>(0xDC00 + (V & 0x3FF))};
}

std::string CodePoint(char32_t Code) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "U+%04lX", static_cast<unsigned long>(Code));
  return Text;
}

constexpr VirtualKey kCtrlKey{VK_CONTROL, false};
constexpr VirtualKey kAltKey{VK_MENU, false};
constexpr VirtualKey kShiftKey{VK_SHIFT, false};

}  // namespace

INPUT HandOverMark() {
  INPUT In{};
  In.type = INPUT_KEYBOARD;
  In.ki.wVk = 0xFF;  // reserved: no key has it
  In.ki.dwFlags = KEYEVENTF_KEYUP;
  In.ki.dwExtraInfo = kHandOverInput;
  return In;
}

std::vector<INPUT> KeyInputs(const KeyActions& Actions) {
  std::vector<INPUT> Inputs;
  for (const KeyAction& Action : Actions) {
    std::uint8_t Modifiers = Action.Modifiers;
    std::vector<INPUT> Press;
    if (Action.Type == KeyAction::Kind::Character && Modifiers == kNoModifier) {
      // Typed as itself whatever the keyboard layout, as the character it is.
      for (wchar_t Unit : Utf16(Action.Character)) {
        Press.push_back(UnicodeEvent(Unit, false));
        Press.push_back(UnicodeEvent(Unit, true));
      }
    } else {
      VirtualKey Key{};
      if (Action.Type == KeyAction::Kind::Named) {
        Key = VirtualKeyOf(Action.Key);
      } else {
        // A shortcut such as Ctrl+O: the application looks at the key, so it goes as one.
        const SHORT Scan = Action.Character < 0x10000
                               ? ::VkKeyScanW(static_cast<wchar_t>(Action.Character))
                               : static_cast<SHORT>(-1);
        if (Scan == -1 || (Scan & 0xFF) == 0xFF) {
          throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                            "The keyboard layout has no key for " + CodePoint(Action.Character) +
                                ", which was to be typed with Ctrl, Alt or Shift");
        }
        Key = {static_cast<WORD>(Scan & 0xFF), false};
        const int Shifts = (Scan >> 8) & 0xFF;
        if ((Shifts & 1) != 0) Modifiers |= kShift;
        if ((Shifts & 2) != 0) Modifiers |= kControl;
        if ((Shifts & 4) != 0) Modifiers |= kAlt;
      }
      Press.push_back(VirtualKeyEvent(Key, false));
      Press.push_back(VirtualKeyEvent(Key, true));
    }
    const int Count = Action.Count < 1 ? 1 : Action.Count;
    if ((Modifiers & kControl) != 0) Inputs.push_back(VirtualKeyEvent(kCtrlKey, false));
    if ((Modifiers & kAlt) != 0) Inputs.push_back(VirtualKeyEvent(kAltKey, false));
    if ((Modifiers & kShift) != 0) Inputs.push_back(VirtualKeyEvent(kShiftKey, false));
    for (int I = 0; I < Count; ++I) Inputs.insert(Inputs.end(), Press.begin(), Press.end());
    if ((Modifiers & kShift) != 0) Inputs.push_back(VirtualKeyEvent(kShiftKey, true));
    if ((Modifiers & kAlt) != 0) Inputs.push_back(VirtualKeyEvent(kAltKey, true));
    if ((Modifiers & kControl) != 0) Inputs.push_back(VirtualKeyEvent(kCtrlKey, true));
  }
  return Inputs;
}

}  // namespace pictrane::win32
