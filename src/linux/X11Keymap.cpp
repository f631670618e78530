// SPDX-License-Identifier: GPL-3.0-or-later
// The keymap side of X11Keyboard: the keysyms of characters and named keys, the keymap read from
// the server and looked up, key actions resolved against it, and the spare keycodes mapped for
// the characters it lacks.
#include "linux/X11Keymap.h"

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <unordered_map>

#include "linux/TimingsLinux.h"
#include "linux/X11Keyboard.h"

namespace pictrane::linux_desktop::x11 {
namespace {

using SteadyClock = std::chrono::steady_clock;

// A client translates a key event when it gets round to it, and Xlib does so with the newest
// mapping it has heard of, so a spare keycode taken over for another character must have rested
// a while since its last key. Only strings with more missing characters than the spare keycodes
// can hold ever wait for it.
constexpr auto kEvictionGrace = std::chrono::milliseconds(kKeycodeRestMs);

bool Typable(char32_t C) {
  if (C == U'\n' || C == U'\r' || C == U'\t') return true;
  if (C < 0x20 || (C >= 0x7F && C <= 0x9F)) return false;
  if (C >= 0xD800 && C <= 0xDFFF) return false;
  return C <= 0x10FFFF;
}

KeySym KeysymOfCharacter(char32_t C) {
  if (C == U'\n' || C == U'\r') return XK_Return;
  if (C == U'\t') return XK_Tab;
  // Latin-1 keysyms are the code points themselves; everything else has a Unicode keysym.
  if ((C >= 0x20 && C <= 0x7E) || (C >= 0xA0 && C <= 0xFF)) return C;
  return 0x01000000UL + C;
}

KeySym KeysymOfNamedKey(NamedKey Key) {
  switch (Key) {
    case NamedKey::Enter:
      return XK_Return;
    case NamedKey::Tab:
      return XK_Tab;
    case NamedKey::Escape:
      return XK_Escape;
    case NamedKey::Backspace:
      return XK_BackSpace;
    case NamedKey::Delete:
      return XK_Delete;
    case NamedKey::Insert:
      return XK_Insert;
    case NamedKey::Home:
      return XK_Home;
    case NamedKey::End:
      return XK_End;
    case NamedKey::PageUp:
      return XK_Prior;
    case NamedKey::PageDown:
      return XK_Next;
    case NamedKey::Up:
      return XK_Up;
    case NamedKey::Down:
      return XK_Down;
    case NamedKey::Left:
      return XK_Left;
    case NamedKey::Right:
      return XK_Right;
    case NamedKey::Break:
      return XK_Break;
    case NamedKey::CapsLock:
      return XK_Caps_Lock;
    case NamedKey::NumLock:
      return XK_Num_Lock;
    case NamedKey::ScrollLock:
      return XK_Scroll_Lock;
    case NamedKey::PrintScreen:
      return XK_Print;
    case NamedKey::Help:
      return XK_Help;
    default:
      break;
  }
  const int Index = static_cast<int>(Key) - static_cast<int>(NamedKey::F1);
  if (Index >= 0 && Index < 16) return XK_F1 + static_cast<KeySym>(Index);
  Raise("Unknown named key " + std::to_string(static_cast<int>(Key)) + ".");
}

std::string DescribeCodePoint(char32_t C) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "U+%04X", static_cast<unsigned>(C));
  return Text;
}

// libxkbcommon's table also knows the legacy keysyms a layout may carry a character under
// (Cyrillic_zhe for U+0436), so that character is typed with the layout's own key. The keypad and
// function keys (0xFF00 up) are keys, not characters, even where the table gives them one.
char32_t CodePointOfKeysym(KeySym Sym) {
  if (Sym >= 0xFF00 && Sym <= 0xFFFF) return 0;
  return static_cast<char32_t>(xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(Sym)));
}

}  // namespace

// The keymap and the keyboard's locks are read again only after the server said they changed:
// every round trip saved here is saved on every key string.
void X11Keyboard::RefreshKeyboard() {
  if (KeymapStale_ || !Xkb_) {
    RefreshKeymap();
  } else if (KeyboardStale_) {
    if (XkbGetState(C_.D, XkbUseCoreKbd, &Keyboard_) != Success)
      Raise("Cannot read the keyboard state from the X server.");
    KeyboardStale_ = false;
  }
}

void X11Keyboard::RefreshKeymap() {
  XkbDescPtr Fresh =
      XkbGetMap(C_.D, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
  if (!Fresh) Raise("Cannot read the keyboard map from the X server.");
  if (Xkb_) XkbFreeKeyboard(Xkb_, 0, True);
  Xkb_ = Fresh;
  KeymapStale_ = false;
  NumLockMask_ = XkbKeysymToModifiers(C_.D, XK_Num_Lock);
  if (XkbGetState(C_.D, XkbUseCoreKbd, &Keyboard_) != Success)
    Raise("Cannot read the keyboard state from the X server.");
  KeyboardStale_ = false;
  NumGroups_ = 1;
  for (int Code = Xkb_->min_key_code; Code <= Xkb_->max_key_code; ++Code)
    NumGroups_ = std::max(NumGroups_, static_cast<int>(XkbKeyNumGroups(Xkb_, Code)));
  ReconcilePool();
}

bool X11Keyboard::InPool(KeyCode Code) const {
  return std::any_of(Pool_.begin(), Pool_.end(), [&](const Spare& S) { return S.Code == Code; });
}

bool X11Keyboard::KeyIsEmpty(KeyCode Code) const {
  const int Count = XkbKeyNumSyms(Xkb_, Code);
  const KeySym* Syms = XkbKeySymsPtr(Xkb_, Code);
  for (int I = 0; I < Count; ++I)
    if (Syms[I] != NoSymbol) return false;
  return true;
}

// Whether the key still carries every keysym we mapped to it (the server may fill in levels of
// its own choosing beside them).
bool X11Keyboard::KeyHolds(const Spare& S) const {
  const int Count = XkbKeyNumSyms(Xkb_, S.Code);
  const KeySym* Syms = XkbKeySymsPtr(Xkb_, S.Code);
  for (KeySym Mapped : S.Syms)
    if (Mapped != NoSymbol && std::find(Syms, Syms + Count, Mapped) == Syms + Count) return false;
  return true;
}

// Keeps the pool true to the keymap: a keycode that someone else (or a new layout) has taken is
// no longer ours to map or restore, and every free keycode joins the pool.
void X11Keyboard::ReconcilePool() {
  std::erase_if(Pool_,
                [&](const Spare& S) { return S.Free() ? !KeyIsEmpty(S.Code) : !KeyHolds(S); });
  for (int Code = Xkb_->max_key_code; Code >= Xkb_->min_key_code; --Code) {
    const auto Key = static_cast<KeyCode>(Code);
    if (InPool(Key) || !KeyIsEmpty(Key) || Xkb_->map->modmap[Key] != 0) continue;
    Pool_.push_back(Spare{Key});
  }
}

// The group a key really uses when the keyboard is in Group (keys with fewer groups wrap,
// clamp or redirect, as the key says).
int X11Keyboard::GroupOfKey(KeyCode Code, int Group) const {
  const int Groups = XkbKeyNumGroups(Xkb_, Code);
  if (Groups == 0) return -1;
  if (Group < Groups) return Group;
  const unsigned Info = XkbKeyGroupInfo(Xkb_, Code);
  switch (XkbOutOfRangeGroupAction(Info)) {
    case XkbRedirectIntoRange: {
      const int Target = XkbOutOfRangeGroupNumber(Info);
      return Target < Groups ? Target : 0;
    }
    case XkbClampIntoRange:
      return Groups - 1;
    default:
      return Group % Groups;
  }
}

// A key that types Sym, or (when Character is not 0) any keysym standing for Character.
std::optional<KeyChoice> X11Keyboard::FindOnKeymap(KeySym Sym, char32_t Character,
                                                   bool AnyGroup) const {
  // Caps Lock is off while we type (unless the keys toggle it); other locks stay as they are.
  const unsigned Locked = Keyboard_.locked_mods & ~static_cast<unsigned>(LockMask);
  std::vector<int> Groups{Keyboard_.group};
  if (AnyGroup)
    for (int G = 0; G < NumGroups_; ++G)
      if (G != Keyboard_.group) Groups.push_back(G);
  for (int Group : Groups) {
    for (bool Shift : {false, true}) {
      const unsigned Mods = Locked | (Shift ? static_cast<unsigned>(ShiftMask) : 0U);
      for (int Code = Xkb_->min_key_code; Code <= Xkb_->max_key_code; ++Code) {
        const auto Key = static_cast<KeyCode>(Code);
        const int KeyGroup = GroupOfKey(Key, Group);
        if (KeyGroup < 0 || InPool(Key)) continue;
        const XkbKeyTypePtr Type = XkbKeyKeyType(Xkb_, Key, KeyGroup);
        const unsigned Relevant = Mods & Type->mods.mask;
        int Level = 0;
        for (int I = 0; I < Type->map_count; ++I) {
          const XkbKTMapEntryRec& Entry = Type->map[I];
          if (Entry.active && Entry.mods.mask == Relevant) {
            Level = Entry.level;
            break;
          }
        }
        if (Level >= Type->num_levels) continue;
        const KeySym Found = XkbKeySymEntry(Xkb_, Key, Level, KeyGroup);
        if (Found == Sym ||
            (Character != 0 && Found != NoSymbol && CodePointOfKeysym(Found) == Character))
          return KeyChoice{Key, Shift, Group};
      }
    }
  }
  return std::nullopt;
}

std::optional<KeyCode> X11Keyboard::FindModifier(std::initializer_list<KeySym> Syms) const {
  for (KeySym Sym : Syms) {
    std::optional<KeyChoice> Key = FindOnKeymap(Sym, 0, false);
    if (Key && !Key->Shift && Xkb_->map->modmap[Key->Code] != 0) return Key->Code;
  }
  return std::nullopt;
}

// A spare keycode typing Sym: its first level plain, its second with Shift; in the group of its
// slot when it has two groups (one group serves in every group).
std::optional<KeyChoice> X11Keyboard::OnSpare(KeySym Sym) const {
  for (const Spare& S : Pool_) {
    for (int Slot = 0; Slot < 4; ++Slot) {
      if (S.Syms[Slot] != Sym) continue;
      return KeyChoice{S.Code, Slot % 2 == 1, S.TwoGroups() ? Slot / 2 : Keyboard_.group};
    }
  }
  return std::nullopt;
}

TypingPlan X11Keyboard::Resolve(const KeyActions& Actions) {
  TypingPlan Plan;
  Plan.Steps.reserve(Actions.size());
  for (const KeyAction& Action : Actions) {
    if (Action.Count < 0) Raise("A key cannot be typed a negative number of times.");
    TypingPlan::Step Step;
    Step.Count = Action.Count;
    if (Action.Type == KeyAction::Kind::Named) {
      Step.Sym = KeysymOfNamedKey(Action.Key);
      Plan.TogglesCapsLock = Plan.TogglesCapsLock || Action.Key == NamedKey::CapsLock;
    } else {
      if (!Typable(Action.Character))
        Raise("The character " + DescribeCodePoint(Action.Character) + " cannot be typed.");
      Step.Sym = KeysymOfCharacter(Action.Character);
    }
    Step.HoldShift = (Action.Modifiers & kShift) != 0;
    Step.HoldControl = (Action.Modifiers & kControl) != 0;
    Step.HoldAlt = (Action.Modifiers & kAlt) != 0;
    Plan.Steps.push_back(Step);
  }

  RefreshKeyboard();
  // Strings repeat their characters: each keysym is looked up once.
  std::unordered_map<KeySym, std::optional<KeyChoice>> Found;
  bool NeedsSpare = false;
  for (std::size_t I = 0; I < Plan.Steps.size(); ++I) {
    TypingPlan::Step& Step = Plan.Steps[I];
    const KeyAction& Action = Actions[I];
    const bool AsCharacter = Action.Type == KeyAction::Kind::Character &&
                             CodePointOfKeysym(Step.Sym) == Action.Character;
    auto It = Found.find(Step.Sym);
    if (It == Found.end()) {
      std::optional<KeyChoice> Key;
      if (!OnSpare(Step.Sym))
        Key = FindOnKeymap(Step.Sym, AsCharacter ? Action.Character : 0, true);
      It = Found.emplace(Step.Sym, Key).first;
    }
    Step.Key = It->second;
    NeedsSpare = NeedsSpare || !Step.Key;
  }
  if (NeedsSpare && Pool_.empty())
    Raise("The keyboard map has no free keycode to type a character it lacks.");
  const bool Shift = FindModifier({XK_Shift_L, XK_Shift_R}).has_value();
  const bool Control = FindModifier({XK_Control_L, XK_Control_R}).has_value();
  const bool Alt = FindModifier({XK_Alt_L, XK_Alt_R, XK_Meta_L}).has_value();
  for (const TypingPlan::Step& Step : Plan.Steps)
    if (((Step.HoldShift || (Step.Key && Step.Key->Shift)) && !Shift) ||
        (Step.HoldControl && !Control) || (Step.HoldAlt && !Alt))
      Raise("The keyboard map has no Shift, Ctrl or Alt key to hold.");
  return Plan;
}

// Maps spare keycodes to the keysyms the keymap lacks, from step From on: as many as fit, in the
// order they are needed, keeping the ones already mapped that are among them. A keycode takes
// one keysym, or when there are more keysyms than keycodes two (the second with Shift), or four
// (two more in a second group).
void X11Keyboard::MapBatch(const TypingPlan& Plan, std::size_t From, bool CanShift) {
  std::vector<KeySym> Upcoming;
  for (std::size_t I = From; I < Plan.Steps.size(); ++I) {
    const TypingPlan::Step& Step = Plan.Steps[I];
    if (!Step.Key && Step.Count > 0 &&
        std::find(Upcoming.begin(), Upcoming.end(), Step.Sym) == Upcoming.end())
      Upcoming.push_back(Step.Sym);
  }
  const std::size_t Slots = CanShift ? 4 : 1;
  std::vector<KeySym> Wanted;
  std::vector<const Spare*> Kept;
  std::size_t Usable = Pool_.size();
  for (KeySym Sym : Upcoming) {
    auto Holder =
        std::find_if(Pool_.begin(), Pool_.end(), [&](const Spare& S) { return S.Holds(Sym); });
    if (Holder != Pool_.end()) {
      if (std::find(Kept.begin(), Kept.end(), &*Holder) != Kept.end()) continue;
      if (Usable == 0 || Wanted.size() > Slots * (Usable - 1)) break;
      Kept.push_back(&*Holder);
      --Usable;
      continue;
    }
    if (Wanted.size() + 1 > Slots * Usable) break;
    Wanted.push_back(Sym);
  }
  if (Wanted.empty()) return;

  // Free keycodes first, then the ones idle longest.
  std::vector<Spare*> Candidates;
  for (Spare& S : Pool_)
    if (std::find(Kept.begin(), Kept.end(), &S) == Kept.end()) Candidates.push_back(&S);
  std::stable_sort(Candidates.begin(), Candidates.end(), [](const Spare* A, const Spare* B) {
    if (A->Free() != B->Free()) return A->Free();
    return A->LastUse < B->LastUse;
  });
  const std::size_t Codes = std::min(Wanted.size(), Candidates.size());
  const std::size_t PerCode = (Wanted.size() + Codes - 1) / Codes;
  Candidates.resize((Wanted.size() + PerCode - 1) / PerCode);

  auto LastUse = SteadyClock::time_point{};
  for (const Spare* S : Candidates)
    if (!S->Free()) LastUse = std::max(LastUse, S->LastUse);
  if (LastUse + kEvictionGrace > SteadyClock::now()) {
    // Its last key may still wait in our queue: deliver it, then give the receiver time to read
    // it before the keycode means something else.
    XSync(C_.D, False);
    std::this_thread::sleep_until(LastUse + kEvictionGrace);
  }
  std::size_t Next = 0;
  for (Spare* S : Candidates) {
    std::fill(S->Syms, S->Syms + 4, NoSymbol);
    for (std::size_t Slot = 0; Slot < PerCode && Next < Wanted.size(); ++Slot)
      S->Syms[Slot] = Wanted[Next++];
    // A level or group left empty repeats the one before: the server would otherwise fill it
    // with a case variant of its own.
    if (S->Syms[1] == NoSymbol) S->Syms[1] = S->Syms[0];
    if (S->Syms[2] != NoSymbol && S->Syms[3] == NoSymbol) S->Syms[3] = S->Syms[2];
  }
  WriteMapping(Candidates);
}

// One request per run of neighbouring keycodes. The server applies it before the keys that
// follow it, and every client hears of it before them.
void X11Keyboard::WriteMapping(const std::vector<Spare*>& Changed) {
  std::vector<Spare*> Sorted = Changed;
  std::sort(Sorted.begin(), Sorted.end(),
            [](const Spare* A, const Spare* B) { return A->Code < B->Code; });
  std::vector<KeySym> Syms;
  for (std::size_t Start = 0; Start < Sorted.size();) {
    std::size_t End = Start + 1;
    while (End < Sorted.size() && Sorted[End]->Code == Sorted[End - 1]->Code + 1) ++End;
    const bool Wide = std::any_of(Sorted.begin() + static_cast<std::ptrdiff_t>(Start),
                                  Sorted.begin() + static_cast<std::ptrdiff_t>(End),
                                  [](const Spare* S) { return S->TwoGroups(); });
    const int Width = Wide ? 4 : 2;
    Syms.clear();
    for (std::size_t I = Start; I < End; ++I)
      Syms.insert(Syms.end(), Sorted[I]->Syms, Sorted[I]->Syms + Width);
    XChangeKeyboardMapping(C_.D, Sorted[Start]->Code, Width, Syms.data(),
                           static_cast<int>(End - Start));
    Start = End;
  }
}

void X11Keyboard::RestoreSpares() {
  std::vector<Spare*> Mapped;
  for (Spare& S : Pool_)
    if (!S.Free()) Mapped.push_back(&S);
  if (Mapped.empty()) return;
  ErrorTrap Trap(C_.D);
  C_.DrainEvents();
  RefreshKeymap();  // drops what others have taken over since
  Mapped.clear();
  for (Spare& S : Pool_) {
    if (S.Free()) continue;
    std::fill(S.Syms, S.Syms + 4, NoSymbol);
    Mapped.push_back(&S);
  }
  WriteMapping(Mapped);
  XSync(C_.D, False);
}

}  // namespace pictrane::linux_desktop::x11
