// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/SendKeys.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "pictrane/RaisedError.h"
#include "pictrane/Utf8.h"

namespace pictrane {
namespace {

// Index is 0-based over code points; users count from 1.
[[noreturn]] void Fail(const std::string& Problem, std::size_t Index) {
  throw RaisedError(ErrorNumber::InvalidProcedureCall, "SendKeys",
                    Problem + " at position " + std::to_string(Index + 1) + ".");
}

// Strict decoding (Utf8.h): overlong forms, surrogates and values above U+10FFFF are refused, so
// every action is a character a back end can actually type.
std::u32string DecodeUtf8(const std::string& Text) {
  std::u32string Out;
  Out.reserve(Text.size());
  for (std::size_t At = 0; At < Text.size();) {
    char32_t C = 0;
    if (!NextUtf8(Text, At, C)) Fail("Invalid UTF-8", Out.size());
    Out += C;
  }
  return Out;
}

struct KeyName {
  std::string_view Name;
  NamedKey Key;
};

constexpr std::array<KeyName, 41> kKeyNames{{
    {"ENTER", NamedKey::Enter},
    {"TAB", NamedKey::Tab},
    {"ESC", NamedKey::Escape},
    {"ESCAPE", NamedKey::Escape},
    {"BS", NamedKey::Backspace},
    {"BACKSPACE", NamedKey::Backspace},
    {"BKSP", NamedKey::Backspace},
    {"DEL", NamedKey::Delete},
    {"DELETE", NamedKey::Delete},
    {"INS", NamedKey::Insert},
    {"INSERT", NamedKey::Insert},
    {"HOME", NamedKey::Home},
    {"END", NamedKey::End},
    {"PGUP", NamedKey::PageUp},
    {"PGDN", NamedKey::PageDown},
    {"UP", NamedKey::Up},
    {"DOWN", NamedKey::Down},
    {"LEFT", NamedKey::Left},
    {"RIGHT", NamedKey::Right},
    {"BREAK", NamedKey::Break},
    {"CAPSLOCK", NamedKey::CapsLock},
    {"NUMLOCK", NamedKey::NumLock},
    {"SCROLLLOCK", NamedKey::ScrollLock},
    {"PRTSC", NamedKey::PrintScreen},
    {"HELP", NamedKey::Help},
    {"F1", NamedKey::F1},
    {"F2", NamedKey::F2},
    {"F3", NamedKey::F3},
    {"F4", NamedKey::F4},
    {"F5", NamedKey::F5},
    {"F6", NamedKey::F6},
    {"F7", NamedKey::F7},
    {"F8", NamedKey::F8},
    {"F9", NamedKey::F9},
    {"F10", NamedKey::F10},
    {"F11", NamedKey::F11},
    {"F12", NamedKey::F12},
    {"F13", NamedKey::F13},
    {"F14", NamedKey::F14},
    {"F15", NamedKey::F15},
    {"F16", NamedKey::F16},
}};

bool FindNamedKey(std::u32string_view Name, NamedKey& Key) {
  std::string Upper;
  for (char32_t C : Name) {
    if (C >= 0x80) return false;
    Upper += static_cast<char>(C >= U'a' && C <= U'z' ? C - (U'a' - U'A') : C);
  }
  for (const KeyName& Entry : kKeyNames) {
    if (Entry.Name == Upper) {
      Key = Entry.Key;
      return true;
    }
  }
  return false;
}

int ParseCount(std::u32string_view Text, std::size_t OpenAt) {
  if (Text.empty()) Fail("Bad repeat count ''", OpenAt);
  int Count = 0;
  for (char32_t C : Text) {
    if (C < U'0' || C > U'9') Fail("Bad repeat count '" + ToUtf8(Text) + "'", OpenAt);
    // Saturate just past the limit so that long digit strings cannot overflow.
    Count = std::min(Count * 10 + static_cast<int>(C - U'0'), kMaxKeyRepeat + 1);
  }
  if (Count < 1 || Count > kMaxKeyRepeat) {
    Fail("Repeat count '" + ToUtf8(Text) + "' out of range 1.." + std::to_string(kMaxKeyRepeat),
         OpenAt);
  }
  return Count;
}

// Reads "{...}" opening at Keys[OpenAt]; returns the action (modifiers not yet set) and moves
// Index past the closing brace.
KeyAction ParseBraced(const std::u32string& Keys, std::size_t OpenAt, std::size_t& Index) {
  const std::size_t Start = OpenAt + 1;
  if (Start >= Keys.size()) Fail("Unclosed brace", OpenAt);
  // The first character belongs to the name whatever it is, which makes "{}}" and "{  2}" (two
  // blanks) work; a "}" first and nothing a name could continue with is "{}".
  if (Keys[Start] == U'}' &&
      (Start + 1 >= Keys.size() || (Keys[Start + 1] != U'}' && Keys[Start + 1] != U' '))) {
    Fail("Empty braces", OpenAt);
  }
  const std::size_t Close = Keys.find(U'}', Start + 1);
  if (Close == std::u32string::npos) Fail("Unclosed brace", OpenAt);

  const std::u32string_view Content(Keys.data() + Start, Close - Start);
  const std::size_t Blank = Content.find(U' ', 1);
  const std::u32string_view Name = Content.substr(0, Blank);

  KeyAction Action;
  if (Name.size() == 1) {
    Action.Type = KeyAction::Kind::Character;
    Action.Character = Name[0];
  } else if (FindNamedKey(Name, Action.Key)) {
    Action.Type = KeyAction::Kind::Named;
  } else {
    Fail("Unknown key name '" + ToUtf8(Name) + "'", OpenAt);
  }
  if (Blank != std::u32string_view::npos)
    Action.Count = ParseCount(Content.substr(Blank + 1), OpenAt);
  Index = Close + 1;
  return Action;
}

std::uint8_t ModifierOf(char32_t C) {
  switch (C) {
    case U'+':
      return kShift;
    case U'^':
      return kControl;
    case U'%':
      return kAlt;
    default:
      return kNoModifier;
  }
}

// One batch: the next key press with the events up to the press after it (its releases, and
// what the next press needs first). A release needs no look of its own, and wherever the focus
// has gone it types nothing; every press gets a look.
void InjectBatch(KeyInjector& Keys) {
  Keys.Send(Keys.NextPress(Keys.NextPress(0) + 1));
}

}  // namespace

KeyActions ParseKeys(const std::string& Keys) {
  const std::u32string Text = DecodeUtf8(Keys);

  struct Group {
    std::uint8_t Modifiers;  // held for every key of the group
    std::size_t OpenAt;
    std::size_t FirstAction;
  };
  std::vector<Group> Groups;
  KeyActions Actions;
  std::uint8_t Pending = kNoModifier;  // modifiers waiting for their key or group
  std::size_t PendingAt = 0;

  std::size_t Index = 0;
  while (Index < Text.size()) {
    const char32_t C = Text[Index];
    const std::uint8_t Held = Groups.empty() ? std::uint8_t{kNoModifier} : Groups.back().Modifiers;
    if (const std::uint8_t Modifier = ModifierOf(C)) {
      Pending |= Modifier;
      PendingAt = Index++;
      continue;
    }
    if (C == U'(') {
      Groups.push_back({static_cast<std::uint8_t>(Held | Pending), Index++, Actions.size()});
      Pending = kNoModifier;
      continue;
    }
    if (Pending != kNoModifier && C == U')') {
      Fail(std::string("Modifier '") + static_cast<char>(Text[PendingAt]) + "' without a key",
           PendingAt);
    }
    if (C == U')') {
      if (Groups.empty()) Fail("Unexpected ')'", Index);
      if (Actions.size() == Groups.back().FirstAction) Fail("Empty group", Groups.back().OpenAt);
      Groups.pop_back();
      ++Index;
      continue;
    }
    if (C == U'}') Fail("Unexpected '}'", Index);

    KeyAction Action;
    if (C == U'{') {
      Action = ParseBraced(Text, Index, Index);
    } else if (C == U'~') {
      Action.Type = KeyAction::Kind::Named;
      Action.Key = NamedKey::Enter;
      ++Index;
    } else {
      Action.Character = C;
      ++Index;
    }
    Action.Modifiers = static_cast<std::uint8_t>(Held | Pending);
    Pending = kNoModifier;
    Actions.push_back(Action);
  }

  if (Pending != kNoModifier) {
    Fail(std::string("Modifier '") + static_cast<char>(Text[PendingAt]) + "' without a key",
         PendingAt);
  }
  if (!Groups.empty()) Fail("Unclosed group", Groups.back().OpenAt);
  return Actions;
}

std::string EscapeKeys(const std::string& Text) {
  constexpr std::string_view kSpecial = "+^%~(){}[]";
  std::string Out;
  Out.reserve(Text.size());
  std::size_t CodePoint = 0;  // of Text[I], for the message
  for (std::size_t I = 0; I < Text.size(); ++I) {
    const auto Byte = static_cast<unsigned char>(Text[I]);
    const bool C1 = Byte == 0xC2 && I + 1 < Text.size() &&
                    static_cast<unsigned char>(Text[I + 1]) >= 0x80 &&
                    static_cast<unsigned char>(Text[I + 1]) <= 0x9F;
    if (Byte < 0x20 || Byte == 0x7F || C1) {
      const unsigned Value = C1 ? static_cast<unsigned char>(Text[I + 1]) : Byte;
      Fail(std::string("Control character U+00") + kHexDigits[Value >> 4] +
               kHexDigits[Value & 0xF] + " cannot be typed as itself",
           CodePoint);
    }
    if ((Byte & 0xC0) != 0x80) ++CodePoint;
    if (kSpecial.find(Text[I]) != std::string_view::npos) {
      Out += '{';
      Out += Text[I];
      Out += '}';
    } else {
      Out += Text[I];
    }
  }
  return Out;
}

std::string DescribeKeys(const KeyActions& Actions) {
  std::string Out;
  for (const KeyAction& Action : Actions) {
    if (!Out.empty()) Out += ' ';
    if (Action.Modifiers & kControl) Out += "Ctrl+";
    if (Action.Modifiers & kAlt) Out += "Alt+";
    if (Action.Modifiers & kShift) Out += "Shift+";

    const char32_t C = Action.Character;
    if (Action.Type == KeyAction::Kind::Named) {
      Out += DescribeNamedKey(Action.Key);
    } else if (C < 0x20 || (C >= 0x7F && C <= 0x9F)) {
      Out += "U+";
      for (int Shift = 12; Shift >= 0; Shift -= 4) Out += kHexDigits[(C >> Shift) & 0xF];
    } else if (Action.Modifiers != kNoModifier) {
      if (C == U' ') {
        Out += "Space";
      } else {
        AppendUtf8(Out, C);
      }
    } else {
      Out += '\'';
      AppendUtf8(Out, C);
      Out += '\'';
    }
    if (Action.Count != 1) Out += " x" + std::to_string(Action.Count);
  }
  return Out;
}

KeysOutcome SendKeys(KeyInjector& Keys, const KeyActions& Actions, KeyTarget& Target,
                     KeyPacing& Pacing) {
  Keys.Plan(Actions);
  Pacing.BeforeFirstKey();
  KeysOutcome Outcome = Keys.StillFree(Target);
  if (Outcome != KeysOutcome::Sent) return Outcome;
  if (!Pacing.EarlierKeysCount()) Keys.ForgetOthersKeys();
  if (Keys.OthersTyped()) return KeysOutcome::OthersKeys;
  if (Keys.OthersHold()) return KeysOutcome::KeysHeld;
  try {
    while (Keys.HasNext()) {
      InjectBatch(Keys);
      if (!Keys.HasNext()) break;
      // Others' keys first: a stop for them keeps the bitmap whatever the focus did.
      const KeysOutcome Free = Keys.StillFree(Target);
      Outcome = Keys.OthersTyped() ? KeysOutcome::OthersKeys : Free;
      if (Outcome != KeysOutcome::Sent) break;
    }
  } catch (...) {
    Keys.Abandon();
    throw;
  }
  const KeysOutcome Closing = Keys.Finish(Target, [&Pacing] { Pacing.Handed(); });
  // The events that came with the closing look: others' among ours still stop the string.
  if (Outcome == KeysOutcome::Sent && Keys.OthersTyped()) return KeysOutcome::OthersKeys;
  return Outcome == KeysOutcome::Sent ? Closing : Outcome;
}

KeysOutcome SendKeys(KeyInjector& Keys, const KeyActions& Actions, KeyTarget& Target) {
  NoPacing Unpaced;
  return SendKeys(Keys, Actions, Target, Unpaced);
}

bool SendKeys(KeyInjector& Keys, const KeyActions& Actions, ProcessId Target) {
  OneProcess Only(Target);
  return SendKeys(Keys, Actions, Only) == KeysOutcome::Sent;
}

}  // namespace pictrane
