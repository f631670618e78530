// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11Keyboard.h"

#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <unordered_map>

#include "linux/TimingsLinux.h"

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

// Presses and releases keys for one string and owns what it changes: whatever happens, its end
// releases every key still held and puts back Caps Lock and the keyboard group.
class X11Keyboard::Typist {
 public:
  // Keys that toggle Caps Lock themselves leave the lock to them.
  Typist(X11Keyboard& K, ErrorTrap& Trap, bool TogglesCapsLock) : K_(K), Trap_(Trap) {
    OriginalGroup_ = K_.Keyboard_.locked_group;
    Group_ = K_.Keyboard_.group;
    // A locked Caps Lock would capitalise keys that do not consume Lock, remapped ones included.
    CapsLocked_ = !TogglesCapsLock && (K_.Keyboard_.locked_mods & LockMask) != 0;
    if (CapsLocked_) {
      XkbLockModifiers(K_.C_.D, XkbUseCoreKbd, LockMask, 0);
      XSync(K_.C_.D, False);
    }
  }
  ~Typist() {
    // Releases go to whoever has the focus now: a key or modifier left down would stay down for
    // every program.
    while (!K_.Held_.empty()) {
      XTestFakeKeyEvent(K_.C_.D, K_.Held_.back(), False, CurrentTime);
      K_.Sent(K_.Held_.back(), false);
      K_.Held_.pop_back();
    }
    if (GroupChanged_) XkbLockGroup(K_.C_.D, XkbUseCoreKbd, OriginalGroup_);
    if (CapsLocked_) XkbLockModifiers(K_.C_.D, XkbUseCoreKbd, LockMask, LockMask);
    // The trap's round trip sends these and confirms them: one write with the string's last
    // events and the closing look.
    Trap_.Unsettled();
  }
  Typist(const Typist&) = delete;
  Typist& operator=(const Typist&) = delete;

  // Locks the keyboard in Group for keys found only there (layouts rarely latch a group, so the
  // locked group is the one in force).
  void UseGroup(int Group) {
    if (Group == Group_) return;
    XkbLockGroup(K_.C_.D, XkbUseCoreKbd, static_cast<unsigned>(Group));
    Group_ = Group;
    GroupChanged_ = true;
    Trap_.Unsettled();
  }

  // Held counts the key as down before the server answers, so a refused press is released too.
  void Press(KeyCode Code) {
    XTestFakeKeyEvent(K_.C_.D, Code, True, CurrentTime);
    K_.Sent(Code, true);
    K_.Held_.push_back(Code);
    AfterEvent();
  }

  // A release needs no look of its own: it leaves with the next press's look (or the string's
  // closing look), one write for both, and wherever the focus has gone a release types nothing.
  void Release(KeyCode Code) {
    XTestFakeKeyEvent(K_.C_.D, Code, False, CurrentTime);
    K_.Sent(Code, false);
    auto It = std::find(K_.Held_.rbegin(), K_.Held_.rend(), Code);
    if (It != K_.Held_.rend()) K_.Held_.erase(std::next(It).base());
    AfterEvent();
  }

 private:
  // The server's verdict on the events is collected with one round trip when the string ends (a
  // round trip per event would cost more than the pauses between strings).
  void AfterEvent() {
    Trap_.Unsettled();
    if (K_.AfterKeyEvent) {
      // The hook stands for another program acting between two events, after the server has
      // taken the ones before: without the round trip a focus change made from another
      // connection could overtake events still waiting in the server's queue.
      XSync(K_.C_.D, False);
      K_.AfterKeyEvent();
    }
  }

  X11Keyboard& K_;
  ErrorTrap& Trap_;
  unsigned OriginalGroup_ = 0;
  int Group_ = 0;
  bool GroupChanged_ = false;
  bool CapsLocked_ = false;
};

X11Keyboard::X11Keyboard(Connection& C) : C_(C) {
  // Changes of the keymap and of the locks are announced, so a key string need not ask for them.
  const unsigned Maps = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
  XkbSelectEvents(C_.D, XkbUseCoreKbd, Maps, Maps);
  // A latched or locked modifier (sticky keys, or another client's latch or lock) would modify
  // our next key; the modifiers in force tell whether one of others was when ours was handled.
  const unsigned long Watched = XkbModifierStateMask | XkbModifierLockMask | XkbModifierLatchMask |
                                XkbGroupLockMask | XkbGroupStateMask;
  XkbSelectEventDetails(C_.D, XkbUseCoreKbd, XkbStateNotify, Watched, Watched);
  RefreshKeymap();

  // Every key event of every master keyboard, as a raw event on the root: delivered whoever
  // holds a grab, and in the order the server took the events, ours among them.
  unsigned char Mask[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(Mask, XI_RawKeyPress);
  XISetMask(Mask, XI_RawKeyRelease);
  XIEventMask Selection{XIAllMasterDevices, static_cast<int>(sizeof Mask), Mask};
  XISelectEvents(C_.D, C_.Root, &Selection, 1);
  // XTestFakeKeyEvent types through the XTEST slave keyboard of the core keyboard; the server
  // marks such devices with the "XTEST Device" property (and names them "... XTEST keyboard").
  const Atom XtestProperty = XInternAtom(C_.D, "XTEST Device", True);
  int Count = 0;
  XIDeviceInfo* Devices = XIQueryDevice(C_.D, XIAllDevices, &Count);
  for (int I = 0; I < Count; ++I) {
    if (Devices[I].use != XISlaveKeyboard) continue;
    bool Xtest = std::string(Devices[I].name).ends_with("XTEST keyboard");
    Atom Type = 0;
    int Format = 0;
    unsigned long Items = 0, After = 0;
    unsigned char* Data = nullptr;
    if (XtestProperty != 0 &&
        XIGetProperty(C_.D, Devices[I].deviceid, XtestProperty, 0, 1, False, AnyPropertyType, &Type,
                      &Format, &Items, &After, &Data) == Success &&
        Data) {
      Xtest = Items > 0 && Format == 8 && Data[0] != 0;
      XFree(Data);
    }
    if (Xtest) XtestDevices_.push_back(Devices[I].deviceid);
  }
  if (Devices) XIFreeDeviceInfo(Devices);
  QueryOthersHold();  // what is down now is others'
}

X11Keyboard::~X11Keyboard() {
  try {
    RestoreSpares();
  } catch (...) {
    // A server that has gone away has no mapping left to restore.
  }
  if (Xkb_) XkbFreeKeyboard(Xkb_, 0, True);
}

void X11Keyboard::HandleEvent(XEvent& Event) {
  XGenericEventCookie& Cookie = Event.xcookie;
  if (Event.type == GenericEvent && Cookie.extension == C_.XiOpcode) {
    if ((Cookie.evtype != XI_RawKeyPress && Cookie.evtype != XI_RawKeyRelease) ||
        !XGetEventData(C_.D, &Cookie))
      return;
    const auto& Raw = *static_cast<const XIRawEvent*>(Cookie.data);
    const KeyEvent Key{static_cast<KeyCode>(Raw.detail), Cookie.evtype == XI_RawKeyPress,
                       Raw.serial};
    // The server makes our event while it handles the request that sent it, so the event bears
    // that request's serial; another client's comes between two of our requests (the earlier
    // one's serial) or after ours. One of ours passed by without its event was swallowed, by a
    // key that another held.
    while (!Expected_.empty() && Expected_.front().Serial < Key.Serial) {
      Expected_.pop_front();
      OthersTyped_ = true;
    }
    const bool ThroughXtest =
        XtestDevices_.empty() ||
        std::find(XtestDevices_.begin(), XtestDevices_.end(), Raw.sourceid) != XtestDevices_.end();
    const KeyEvent* Next = Expected_.empty() ? nullptr : &Expected_.front();
    if (ThroughXtest && Next && Next->Code == Key.Code && Next->Press == Key.Press &&
        Next->Serial == Key.Serial) {
      NoteOurs(Key);
      Expected_.pop_front();
    } else {
      OthersTyped_ = true;
      if (Raw.serial >= KnownSince_ && Raw.detail >= 0 && Raw.detail < 256)
        OthersDown_[static_cast<std::size_t>(Raw.detail)] = Key.Press;
    }
    XFreeEventData(C_.D, &Cookie);
    return;
  }
  if (Event.type == MappingNotify) {
    XRefreshKeyboardMapping(&Event.xmapping);
    KeymapStale_ = true;
  } else if (Event.type == C_.XkbEventBase) {
    // An XKB client hears of keymap changes through these rather than MappingNotify.
    const int Kind = reinterpret_cast<const XkbAnyEvent&>(Event).xkb_type;
    if (Kind == XkbStateNotify) {
      const auto& State = reinterpret_cast<const XkbStateNotifyEvent&>(Event);
      NoteState(State);
      // A modifier pressed and let go leaves the plan as it was; a lock, a latch or the group
      // may not.
      if ((State.changed & ~static_cast<unsigned>(XkbModifierStateMask | XkbModifierBaseMask)) &
          (XkbModifierLockMask | XkbModifierLatchMask | XkbGroupLockMask | XkbGroupStateMask))
        KeyboardStale_ = true;
      return;
    }
    if (Kind == XkbMapNotify || Kind == XkbNewKeyboardNotify) KeymapStale_ = true;
    KeyboardStale_ = true;
  }
}

void X11Keyboard::Sent(KeyCode Code, bool Press) {
  Expected_.push_back({Code, Press, NextRequest(C_.D) - 1});
}

// Caps Lock and Num Lock are left to the user (Caps Lock is put off while we type); any other
// modifier in force that the program did not press changes what its keys mean.
unsigned X11Keyboard::OthersModifiers(unsigned Latched, unsigned Locked) const {
  return (Latched | Locked) & ~(static_cast<unsigned>(LockMask) | NumLockMask_);
}

void X11Keyboard::NoteOurs(const KeyEvent& Key) {
  if (Key.Press) {
    // The state notifications of the keys before this one have come: what is in force now is
    // what the key was handled with.
    unsigned Ours = static_cast<unsigned>(LockMask) | NumLockMask_;
    for (std::size_t Code = 0; Code < OursDown_.size(); ++Code)
      if (OursDown_[Code] && Xkb_) Ours |= Xkb_->map->modmap[Code];
    if (ServerMods_ & ~Ours) OthersTyped_ = true;
  }
  OursDown_[Key.Code] = Key.Press;
}

void X11Keyboard::NoteState(const XkbStateNotifyEvent& State) {
  if (State.serial < StateSince_) return;  // the last query's answer is newer
  // A latch or lock made by a request (no key) is another client's: ours only touch Caps Lock.
  if (State.keycode == 0 && OthersModifiers(State.latched_mods, State.locked_mods) !=
                                OthersModifiers(ServerLatched_, ServerLocked_))
    OthersTyped_ = true;
  ServerMods_ = State.mods;
  ServerLatched_ = State.latched_mods;
  ServerLocked_ = State.locked_mods;
}

bool X11Keyboard::OthersHold() {
  if (OthersDown_.none() && OthersModifiers(ServerLatched_, ServerLocked_) == 0) return false;
  return QueryOthersHold();
}

bool X11Keyboard::QueryOthersHold() {
  char Keys[32] = {};
  // Events from before the query are in its answer.
  KnownSince_ = NextRequest(C_.D);
  XQueryKeymap(C_.D, Keys);
  XkbStateRec Now{};
  StateSince_ = NextRequest(C_.D);
  if (XkbGetState(C_.D, XkbUseCoreKbd, &Now) != Success)
    Raise("Cannot read the keyboard state from the X server.");
  for (std::size_t Code = 0; Code < OthersDown_.size(); ++Code)
    OthersDown_[Code] = ((static_cast<unsigned char>(Keys[Code / 8]) >> (Code % 8)) & 1U) != 0;
  OursDown_.reset();
  ServerMods_ = Now.mods;
  ServerLatched_ = Now.latched_mods;
  ServerLocked_ = Now.locked_mods;
  return OthersDown_.any() || Now.latched_mods != 0 ||
         OthersModifiers(Now.latched_mods, Now.locked_mods) != 0;
}

void X11Keyboard::EndOfString() {
  if (!Expected_.empty()) OthersTyped_ = true;
  Expected_.clear();
  // Whatever the string pressed, its end let go of.
  OursDown_.reset();
}

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

void X11Keyboard::Prepare(const KeyActions& Actions) {
  Abandon();
  Plan_ = Resolve(Actions);
  Actions_ = Actions;
  NextStep_ = 0;
}

void X11Keyboard::Refresh() {
  if (Stale()) Plan_ = Resolve(Actions_);
}

bool X11Keyboard::HasNext() const {
  return !Pending_.empty() ||
         std::any_of(Plan_.Steps.begin() + static_cast<std::ptrdiff_t>(NextStep_),
                     Plan_.Steps.end(),
                     [](const TypingPlan::Step& Step) { return Step.Count > 0; });
}

void X11Keyboard::Begin() {
  Shift_ = FindModifier({XK_Shift_L, XK_Shift_R});
  Control_ = FindModifier({XK_Control_L, XK_Control_R});
  Alt_ = FindModifier({XK_Alt_L, XK_Alt_R, XK_Meta_L});
  Trap_.emplace(C_.D);
  // When they fit, the spare keycodes are all mapped before the first key: the mapping then
  // does not change between keys, and a client that loads its keymap only on its first key
  // press (as Xlib does, subscribing to changes just after) sees them all.
  MapBatch(Plan_, 0, Shift_.has_value());
  Typist_ = std::make_unique<Typist>(*this, *Trap_, Plan_.TogglesCapsLock);
}

// The events of step I, its key found (a spare keycode mapped) only now that it comes.
void X11Keyboard::Expand(std::size_t I) {
  const TypingPlan::Step& Step = Plan_.Steps[I];
  if (Step.Count == 0) return;
  std::optional<KeyChoice> Key = Step.Key ? Step.Key : OnSpare(Step.Sym);
  if (!Key) {
    MapBatch(Plan_, I, Shift_.has_value());
    Key = OnSpare(Step.Sym);
    if (!Key) Raise("The keyboard map has no free keycode to type a character it lacks.");
  }
  if (!Step.Key)
    for (Spare& S : Pool_)
      if (S.Code == Key->Code) S.LastUse = SteadyClock::now();
  using Kind = TypedEvent::Kind;
  Pending_.push_back({Kind::Group, 0, Key->Group});
  const bool HoldShift = Step.HoldShift || Key->Shift;
  if (Step.HoldControl) Pending_.push_back({Kind::Press, *Control_});
  if (Step.HoldAlt) Pending_.push_back({Kind::Press, *Alt_});
  if (HoldShift) Pending_.push_back({Kind::Press, *Shift_});
  for (int Repeat = 0; Repeat < Step.Count; ++Repeat) {
    Pending_.push_back({Kind::Press, Key->Code});
    Pending_.push_back({Kind::Release, Key->Code});
  }
  if (HoldShift) Pending_.push_back({Kind::Release, *Shift_});
  if (Step.HoldAlt) Pending_.push_back({Kind::Release, *Alt_});
  if (Step.HoldControl) Pending_.push_back({Kind::Release, *Control_});
}

// A step's events are made only once those before it have gone (its spare keycode may take
// over the one a step before still types with), but every step begins with its group and then
// a press, which is all that is told of it before.
std::size_t X11Keyboard::NextPress(std::size_t From) {
  if (!Typist_) Begin();
  if (Pending_.empty()) ExpandNext();
  for (std::size_t I = From; I < Pending_.size(); ++I)
    if (Pending_[I].Type == TypedEvent::Kind::Press) return I;
  const bool StepFollows =
      std::any_of(Plan_.Steps.begin() + static_cast<std::ptrdiff_t>(NextStep_), Plan_.Steps.end(),
                  [](const TypingPlan::Step& Step) { return Step.Count > 0; });
  // The next step's group comes first, then its first press.
  return StepFollows ? Pending_.size() + 1 : Pending_.size();
}

void X11Keyboard::ExpandNext() {
  while (Pending_.empty() && NextStep_ < Plan_.Steps.size()) Expand(NextStep_++);
}

void X11Keyboard::Send(std::size_t Count) {
  for (; Count > 0; --Count) {
    ExpandNext();
    if (Pending_.empty()) return;
    const TypedEvent Next = Pending_.front();
    Pending_.pop_front();
    switch (Next.Type) {
      case TypedEvent::Kind::Press:
        Typist_->Press(Next.Code);
        break;
      case TypedEvent::Kind::Release:
        Typist_->Release(Next.Code);
        break;
      case TypedEvent::Kind::Group:
        Typist_->UseGroup(Next.Group);
        break;
    }
  }
}

void X11Keyboard::End(const std::function<void()>& Closing) {
  if (!Trap_) Trap_.emplace(C_.D);
  // The last events go out with the typist's end; the round trip has the server take them all.
  Typist_.reset();
  const int Error = Trap_->Sync(Closing);
  Trap_.reset();
  Pending_.clear();
  if (Error)
    Raise("The X server refused a synthesised keystroke (X error " + std::to_string(Error) + ").");
}

void X11Keyboard::Abandon() noexcept {
  Typist_.reset();
  Trap_.reset();  // its end has the server take what went out
  Pending_.clear();
}

}  // namespace pictrane::linux_desktop::x11
