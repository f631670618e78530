#include "platform/linux/X11Session.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/RaisedError.h"

// libX11's own keysym-to-Unicode table (what Xutf8LookupString uses). It is exported but declared
// in no public header, so it is referenced weakly: without it, characters that a layout carries
// under a legacy keysym (Cyrillic_zhe for U+0436) are typed through a spare keycode instead.
extern "C" unsigned int KeySymToUcs4(KeySym Sym) __attribute__((weak));

namespace pictrane {
namespace {

using SteadyClock = std::chrono::steady_clock;

// Few characters of a run lie outside the keymap; a small pool of keycodes covers them without
// reusing one while a client may still be translating its last key.
constexpr std::size_t kSparePoolSize = 10;
// A client translates a key event when it gets round to it, with the mapping of that moment, so a
// spare keycode taken over for another character must have rested this long since its last key.
constexpr auto kEvictionGrace = std::chrono::milliseconds(50);
constexpr auto kPollInterval = std::chrono::milliseconds(10);
// How often a window that has not yet taken the focus or the size is asked again.
constexpr auto kRetryInterval = std::chrono::milliseconds(100);

constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;
constexpr long kSourcePager = 2;

[[noreturn]] void Raise(const std::string& Description) {
  throw RaisedError(ErrorNumber::InvalidProcedureCall, "X11", Description);
}

// The first X protocol error since the innermost trap was set.
int gFirstError = 0;

int RecordError(Display*, XErrorEvent* Event) {
  if (gFirstError == 0) gFirstError = Event->error_code;
  return 0;
}

// Collects X protocol errors instead of letting Xlib's default handler end the process: other
// programs' windows can vanish while we look at them, and a refused key must become an error the
// caller sees.
class ErrorTrap {
 public:
  // Every operation of a session ends in a round trip, so no earlier request can still owe an
  // error: the trap starts without one of its own.
  explicit ErrorTrap(Display* D) : D_(D) {
    Outer_ = gFirstError;
    gFirstError = 0;
    Previous_ = XSetErrorHandler(RecordError);
  }
  ~ErrorTrap() {
    if (!Settled_) XSync(D_, False);
    XSetErrorHandler(Previous_);
    gFirstError = Outer_;
  }
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // After a round trip: the code of the first error since the trap was set, or 0.
  int Sync() {
    XSync(D_, False);
    Settled_ = true;
    return gFirstError;
  }

  // The last request had a reply, so its errors are in: closing needs no round trip.
  void Settled() { Settled_ = true; }

  // Requests were sent since the last round trip.
  void Unsettled() { Settled_ = false; }

 private:
  Display* D_;
  bool Settled_ = false;
  int Outer_ = 0;
  XErrorHandler Previous_ = nullptr;
};

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

char32_t CodePointOfKeysym(KeySym Sym) {
  if ((Sym >= 0x20 && Sym <= 0x7E) || (Sym >= 0xA0 && Sym <= 0xFF))
    return static_cast<char32_t>(Sym);
  if (Sym >= 0x01000100 && Sym <= 0x0110FFFF) return static_cast<char32_t>(Sym - 0x01000000);
  return KeySymToUcs4 ? static_cast<char32_t>(KeySymToUcs4(Sym)) : 0;
}

// Where a keysym is typed: a keycode, with or without Shift, in a keyboard group.
struct KeyChoice {
  KeyCode Code = 0;
  bool Shift = false;
  int Group = 0;
};

enum HeldModifier : unsigned { kHoldShift = 1, kHoldControl = 2, kHoldAlt = 4 };

}  // namespace

struct X11Session::State {
  explicit State(Display* Connection) : D(Connection) {}
  ~State();
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  struct Spare {
    KeyCode Code = 0;
    KeySym Sym = NoSymbol;  // what we mapped it to; NoSymbol while it is free
    std::uint64_t LastUse = 0;
  };

  // A top-level window: what is a child of the root (a window manager's frame, or the client
  // itself without one) and the client window inside it.
  struct TopLevel {
    Window Frame = 0;
    Window Client = 0;
  };

  Display* D;
  Window Root = 0;
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  Atom NetWmPid = 0, WmClientLeader = 0, WmState = 0, NetWmState = 0, NetMaxVert = 0,
       NetMaxHorz = 0, NetActiveWindow = 0, NetSupported = 0, NetSupportingWmCheck = 0;

  XkbDescPtr Xkb = nullptr;
  bool KeymapStale = true;  // a mapping notification came since Xkb was read
  int XkbEventBase = -1;
  bool KeyboardStale = true;  // a lock or the group changed since Keyboard was read
  XkbStateRec Keyboard{};
  // The last focused window and its process; forgotten when that window is destroyed.
  Window CachedFocus = 0;
  ProcessId CachedProcess = 0;
  int NumGroups = 1;  // the most groups any key has
  std::vector<Spare> Pool;
  std::uint64_t UseCounter = 0;
  std::vector<KeyCode> Held;  // pressed and not yet released, in pressing order
  std::function<void()> BeforeKeyEvent;

  void DrainEvents();
  void RefreshKeymap();
  void RefreshKeyboard();
  void ReconcilePool();
  bool InPool(KeyCode Code) const;
  bool KeyIsEmpty(KeyCode Code) const;
  KeySym SoleKeysym(KeyCode Code) const;
  int GroupOfKey(KeyCode Code, int Group) const;
  std::optional<KeyChoice> FindOnKeymap(KeySym Sym, char32_t Character, bool AnyGroup) const;
  std::optional<KeyCode> FindModifier(std::initializer_list<KeySym> Syms) const;
  Spare* SpareFor(KeySym Sym);
  KeyChoice MapSpare(KeySym Sym, const std::vector<KeySym>& Keep = {});
  void RestoreSpares();

  std::vector<unsigned long> Property32(Window W, Atom Name, Atom Type) const;
  bool HasProperty(Window W, Atom Name) const;
  ProcessId ProcessOf(Window W) const;
  Window ClientBelow(Window Top) const;
  Window ParentOf(Window W) const;
  bool IsWithin(Window W, Window Ancestor) const;
  std::optional<TopLevel> FindTopLevel(ProcessId Process) const;
  bool WindowManagerRuns() const;
  bool WindowManagerSupports(Atom Feature) const;
  void SendToRoot(Window W, Atom Message, long A0, long A1, long A2, long A3);
  void Maximise(const TopLevel& Top);
  bool IsMaximised(const TopLevel& Top) const;
  void Activate(Window W);
  Window FocusWindow() const;
};

namespace {

// Presses and releases keys for one SendKeys call and owns what it changes: whatever happens,
// its end releases every key still held and puts back Caps Lock and the keyboard group.
class Typist {
 public:
  // Keys that toggle Caps Lock themselves leave the lock to them.
  Typist(X11Session::State& S, ErrorTrap& Trap, bool TogglesCapsLock) : S_(S), Trap_(Trap) {
    OriginalGroup_ = S_.Keyboard.locked_group;
    Group_ = S_.Keyboard.group;
    // A locked Caps Lock would capitalise keys that do not consume Lock, remapped ones included.
    CapsLocked_ = !TogglesCapsLock && (S_.Keyboard.locked_mods & LockMask) != 0;
    if (CapsLocked_) {
      XkbLockModifiers(S_.D, XkbUseCoreKbd, LockMask, 0);
      XSync(S_.D, False);
    }
  }
  ~Typist() {
    while (!S_.Held.empty()) {
      XTestFakeKeyEvent(S_.D, S_.Held.back(), False, CurrentTime);
      S_.Held.pop_back();
    }
    if (GroupChanged_) XkbLockGroup(S_.D, XkbUseCoreKbd, OriginalGroup_);
    if (CapsLocked_) XkbLockModifiers(S_.D, XkbUseCoreKbd, LockMask, LockMask);
    XFlush(S_.D);
    Trap_.Unsettled();  // the trap's round trip confirms these
  }
  Typist(const Typist&) = delete;
  Typist& operator=(const Typist&) = delete;

  // Locks the keyboard in Group for keys found only there (layouts rarely latch a group, so the
  // locked group is the one in force).
  void UseGroup(int Group) {
    if (Group == Group_) return;
    XkbLockGroup(S_.D, XkbUseCoreKbd, static_cast<unsigned>(Group));
    Group_ = Group;
    GroupChanged_ = true;
    Check();
  }

  // Held counts the key as down before the server answers, so a refused press is released too.
  void Press(KeyCode Code) {
    if (S_.BeforeKeyEvent) S_.BeforeKeyEvent();
    XTestFakeKeyEvent(S_.D, Code, True, CurrentTime);
    S_.Held.push_back(Code);
    Check();
  }

  void Release(KeyCode Code) {
    if (S_.BeforeKeyEvent) S_.BeforeKeyEvent();
    XTestFakeKeyEvent(S_.D, Code, False, CurrentTime);
    auto It = std::find(S_.Held.rbegin(), S_.Held.rend(), Code);
    if (It != S_.Held.rend()) S_.Held.erase(std::next(It).base());
    Check();
  }

 private:
  // Each event goes out at once, in order; the server's verdict on them all is collected with
  // one round trip when the string ends (a round trip per event would cost more than the
  // pauses between strings).
  void Check() { Trap_.Unsettled(); }

  X11Session::State& S_;
  ErrorTrap& Trap_;
  unsigned OriginalGroup_ = 0;
  int Group_ = 0;
  bool GroupChanged_ = false;
  bool CapsLocked_ = false;
};

}  // namespace

X11Session::State::~State() {
  try {
    RestoreSpares();
  } catch (...) {
    // A server that has gone away has no mapping left to restore.
  }
  if (Xkb) XkbFreeKeyboard(Xkb, 0, True);
  XCloseDisplay(D);
}

void X11Session::State::DrainEvents() {
  // Nothing is selected, but mapping notifications come to every client and would pile up.
  while (XPending(D) > 0) {
    XEvent Event;
    XNextEvent(D, &Event);
    if (Event.type == MappingNotify) {
      XRefreshKeyboardMapping(&Event.xmapping);
      KeymapStale = true;
    } else if (Event.type == XkbEventBase) {
      // An XKB client hears of keymap changes through these rather than MappingNotify.
      const int Kind = reinterpret_cast<const XkbAnyEvent&>(Event).xkb_type;
      if (Kind == XkbMapNotify || Kind == XkbNewKeyboardNotify) KeymapStale = true;
      KeyboardStale = true;
    } else if (Event.type == DestroyNotify && Event.xdestroywindow.window == CachedFocus) {
      CachedFocus = 0;
      CachedProcess = 0;
    }
  }
}

// The keymap and the keyboard's locks are read again only after the server said they changed:
// every round trip saved here is saved on every key string.
void X11Session::State::RefreshKeyboard() {
  if (KeymapStale || !Xkb) {
    RefreshKeymap();
  } else if (KeyboardStale) {
    if (XkbGetState(D, XkbUseCoreKbd, &Keyboard) != Success)
      Raise("Cannot read the keyboard state from the X server.");
    KeyboardStale = false;
  }
}

void X11Session::State::RefreshKeymap() {
  XkbDescPtr Fresh =
      XkbGetMap(D, XkbKeyTypesMask | XkbKeySymsMask | XkbModifierMapMask, XkbUseCoreKbd);
  if (!Fresh) Raise("Cannot read the keyboard map from the X server.");
  if (Xkb) XkbFreeKeyboard(Xkb, 0, True);
  Xkb = Fresh;
  KeymapStale = false;
  if (XkbGetState(D, XkbUseCoreKbd, &Keyboard) != Success)
    Raise("Cannot read the keyboard state from the X server.");
  KeyboardStale = false;
  NumGroups = 1;
  for (int Code = Xkb->min_key_code; Code <= Xkb->max_key_code; ++Code)
    NumGroups = std::max(NumGroups, static_cast<int>(XkbKeyNumGroups(Xkb, Code)));
  ReconcilePool();
}

bool X11Session::State::InPool(KeyCode Code) const {
  return std::any_of(Pool.begin(), Pool.end(), [&](const Spare& S) { return S.Code == Code; });
}

bool X11Session::State::KeyIsEmpty(KeyCode Code) const {
  const int Count = XkbKeyNumSyms(Xkb, Code);
  const KeySym* Syms = XkbKeySymsPtr(Xkb, Code);
  for (int I = 0; I < Count; ++I)
    if (Syms[I] != NoSymbol) return false;
  return true;
}

// The one keysym a key carries on every level and group, or NoSymbol when it carries several.
KeySym X11Session::State::SoleKeysym(KeyCode Code) const {
  const int Count = XkbKeyNumSyms(Xkb, Code);
  const KeySym* Syms = XkbKeySymsPtr(Xkb, Code);
  KeySym Sole = NoSymbol;
  for (int I = 0; I < Count; ++I) {
    if (Syms[I] == NoSymbol) continue;
    if (Sole != NoSymbol && Syms[I] != Sole) return NoSymbol;
    Sole = Syms[I];
  }
  return Sole;
}

// Keeps the pool true to the keymap: a keycode that someone else (or a new layout) has taken is
// no longer ours to map or restore, and free keycodes fill the pool up again.
void X11Session::State::ReconcilePool() {
  std::erase_if(Pool, [&](const Spare& S) {
    return S.Sym == NoSymbol ? !KeyIsEmpty(S.Code) : SoleKeysym(S.Code) != S.Sym;
  });
  for (int Code = Xkb->max_key_code; Code >= Xkb->min_key_code && Pool.size() < kSparePoolSize;
       --Code) {
    const auto Key = static_cast<KeyCode>(Code);
    if (InPool(Key) || !KeyIsEmpty(Key) || Xkb->map->modmap[Key] != 0) continue;
    Pool.push_back(Spare{Key});
  }
}

// The group a key really uses when the keyboard is in Group (keys with fewer groups wrap,
// clamp or redirect, as the key says).
int X11Session::State::GroupOfKey(KeyCode Code, int Group) const {
  const int Groups = XkbKeyNumGroups(Xkb, Code);
  if (Groups == 0) return -1;
  if (Group < Groups) return Group;
  const unsigned Info = XkbKeyGroupInfo(Xkb, Code);
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
std::optional<KeyChoice> X11Session::State::FindOnKeymap(KeySym Sym, char32_t Character,
                                                         bool AnyGroup) const {
  // Caps Lock is off while we type (unless the keys toggle it); other locks stay as they are.
  const unsigned Locked = Keyboard.locked_mods & ~static_cast<unsigned>(LockMask);
  std::vector<int> Groups{Keyboard.group};
  if (AnyGroup)
    for (int G = 0; G < NumGroups; ++G)
      if (G != Keyboard.group) Groups.push_back(G);
  for (int Group : Groups) {
    for (bool Shift : {false, true}) {
      const unsigned Mods = Locked | (Shift ? static_cast<unsigned>(ShiftMask) : 0U);
      for (int Code = Xkb->min_key_code; Code <= Xkb->max_key_code; ++Code) {
        const auto Key = static_cast<KeyCode>(Code);
        if (InPool(Key)) continue;
        const int KeyGroup = GroupOfKey(Key, Group);
        if (KeyGroup < 0) continue;
        const XkbKeyTypePtr Type = XkbKeyKeyType(Xkb, Key, KeyGroup);
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
        const KeySym Found = XkbKeySymEntry(Xkb, Key, Level, KeyGroup);
        if (Found == Sym ||
            (Character != 0 && Found != NoSymbol && CodePointOfKeysym(Found) == Character))
          return KeyChoice{Key, Shift, Group};
      }
    }
  }
  return std::nullopt;
}

std::optional<KeyCode> X11Session::State::FindModifier(std::initializer_list<KeySym> Syms) const {
  for (KeySym Sym : Syms) {
    std::optional<KeyChoice> Key = FindOnKeymap(Sym, 0, false);
    if (Key && !Key->Shift && Xkb->map->modmap[Key->Code] != 0) return Key->Code;
  }
  return std::nullopt;
}

X11Session::State::Spare* X11Session::State::SpareFor(KeySym Sym) {
  for (Spare& S : Pool)
    if (S.Sym == Sym) return &S;
  return nullptr;
}

// A spare keycode mapped to Sym: the one already mapped to it, a free one, or else the least
// recently used one that does not hold a keysym of Keep.
KeyChoice X11Session::State::MapSpare(KeySym Sym, const std::vector<KeySym>& Keep) {
  Spare* Slot = SpareFor(Sym);
  if (!Slot) {
    for (Spare& S : Pool) {
      if (S.Sym == NoSymbol) {
        Slot = &S;
        break;
      }
      if (std::find(Keep.begin(), Keep.end(), S.Sym) != Keep.end()) continue;
      if (!Slot || S.LastUse < Slot->LastUse) Slot = &S;
    }
    if (!Slot) Raise("The keyboard map has no free keycode to type a character it lacks.");
    if (Slot->Sym != NoSymbol) {
      // Its last key may still wait in our queue: deliver it, then give the receiver time to
      // read it before the keycode means something else.
      XSync(D, False);
      std::this_thread::sleep_for(kEvictionGrace);
    }
    KeySym Syms[2] = {Sym, Sym};
    XChangeKeyboardMapping(D, Slot->Code, 2, Syms, 1);
    // The round trip puts the mapping notification ahead of our key in every client's queue.
    XSync(D, False);
    Slot->Sym = Sym;
  }
  Slot->LastUse = ++UseCounter;
  return KeyChoice{Slot->Code, false, Keyboard.group};
}

void X11Session::State::RestoreSpares() {
  if (std::none_of(Pool.begin(), Pool.end(), [](const Spare& S) { return S.Sym != NoSymbol; }))
    return;
  ErrorTrap Trap(D);
  RefreshKeymap();  // drops what others have taken over since
  for (Spare& S : Pool) {
    if (S.Sym == NoSymbol) continue;
    KeySym Empty = NoSymbol;
    XChangeKeyboardMapping(D, S.Code, 1, &Empty, 1);
    S.Sym = NoSymbol;
  }
  XSync(D, False);
}

std::vector<unsigned long> X11Session::State::Property32(Window W, Atom Name, Atom Type) const {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  std::vector<unsigned long> Values;
  if (XGetWindowProperty(D, W, Name, 0, 1024, False, Type, &Actual, &Format, &Count, &After,
                         &Data) != Success)
    return Values;
  if (Data && Actual == Type && Format == 32) {
    // Xlib hands 32-bit items to the client as longs.
    const auto* Items = reinterpret_cast<const unsigned long*>(Data);
    Values.assign(Items, Items + Count);
  }
  if (Data) XFree(Data);
  return Values;
}

bool X11Session::State::HasProperty(Window W, Atom Name) const {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  if (XGetWindowProperty(D, W, Name, 0, 0, False, AnyPropertyType, &Actual, &Format, &Count, &After,
                         &Data) != Success)
    return false;
  if (Data) XFree(Data);
  return Actual != 0;
}

ProcessId X11Session::State::ProcessOf(Window W) const {
  if (W == 0) return 0;
  std::vector<unsigned long> Pid = Property32(W, NetWmPid, XA_CARDINAL);
  if (!Pid.empty()) return static_cast<ProcessId>(Pid.front());
  std::vector<unsigned long> Leader = Property32(W, WmClientLeader, XA_WINDOW);
  if (!Leader.empty() && Leader.front() != W) {
    Pid = Property32(Leader.front(), NetWmPid, XA_CARDINAL);
    if (!Pid.empty()) return static_cast<ProcessId>(Pid.front());
  }
  return 0;
}

// The client window of a top-level: itself, or the window below a window manager's frame that
// carries WM_STATE (or a process id). Top itself when there is none.
Window X11Session::State::ClientBelow(Window Top) const {
  if (HasProperty(Top, WmState) || HasProperty(Top, NetWmPid)) return Top;
  std::vector<Window> Level{Top};
  for (int Depth = 0; Depth < 4 && !Level.empty(); ++Depth) {
    std::vector<Window> Next;
    for (Window W : Level) {
      Window RootReturn = 0, Parent = 0, *Children = nullptr;
      unsigned Count = 0;
      if (!XQueryTree(D, W, &RootReturn, &Parent, &Children, &Count)) continue;
      for (unsigned I = 0; I < Count; ++I) Next.push_back(Children[I]);
      if (Children) XFree(Children);
    }
    for (Window W : Next)
      if (HasProperty(W, WmState) || HasProperty(W, NetWmPid)) return W;
    Level = std::move(Next);
  }
  return Top;
}

Window X11Session::State::ParentOf(Window W) const {
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(D, W, &RootReturn, &Parent, &Children, &Count)) return 0;
  if (Children) XFree(Children);
  return Parent;
}

bool X11Session::State::IsWithin(Window W, Window Ancestor) const {
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    if (W == Ancestor) return true;
    if (W == Root) return false;
    W = ParentOf(W);
  }
  return false;
}

Window X11Session::State::FocusWindow() const {
  Window Focus = 0;
  int Revert = 0;
  XGetInputFocus(D, &Focus, &Revert);
  if (Focus == PointerRoot) {
    // Keys go to the window under the pointer.
    Window RootReturn = 0, Child = 0;
    int RootX = 0, RootY = 0, X = 0, Y = 0;
    unsigned Mask = 0;
    if (!XQueryPointer(D, Root, &RootReturn, &Child, &RootX, &RootY, &X, &Y, &Mask)) return 0;
    return Child;
  }
  return Focus == Root ? 0 : Focus;
}

std::optional<X11Session::State::TopLevel> X11Session::State::FindTopLevel(
    ProcessId Process) const {
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(D, Root, &RootReturn, &Parent, &Children, &Count)) return std::nullopt;
  std::vector<Window> Stack(Children, Children + Count);
  if (Children) XFree(Children);
  // Topmost first.
  for (auto It = Stack.rbegin(); It != Stack.rend(); ++It) {
    XWindowAttributes Attributes;
    if (!XGetWindowAttributes(D, *It, &Attributes)) continue;
    if (Attributes.override_redirect || Attributes.c_class == InputOnly ||
        Attributes.map_state != IsViewable)
      continue;
    const Window Client = ClientBelow(*It);
    if (ProcessOf(Client) != Process) continue;
    if (Client != *It &&
        (!XGetWindowAttributes(D, Client, &Attributes) || Attributes.map_state != IsViewable))
      continue;
    return TopLevel{*It, Client};
  }
  return std::nullopt;
}

bool X11Session::State::WindowManagerRuns() const {
  std::vector<unsigned long> Check = Property32(Root, NetSupportingWmCheck, XA_WINDOW);
  if (Check.empty()) return false;
  // A window manager that died leaves the root's property behind, but not its own window.
  std::vector<unsigned long> Self = Property32(Check.front(), NetSupportingWmCheck, XA_WINDOW);
  return !Self.empty() && Self.front() == Check.front();
}

bool X11Session::State::WindowManagerSupports(Atom Feature) const {
  if (!WindowManagerRuns()) return false;
  std::vector<unsigned long> Supported = Property32(Root, NetSupported, XA_ATOM);
  return std::find(Supported.begin(), Supported.end(), Feature) != Supported.end();
}

void X11Session::State::SendToRoot(Window W, Atom Message, long A0, long A1, long A2, long A3) {
  XEvent Event{};
  Event.xclient.type = ClientMessage;
  Event.xclient.window = W;
  Event.xclient.message_type = Message;
  Event.xclient.format = 32;
  Event.xclient.data.l[0] = A0;
  Event.xclient.data.l[1] = A1;
  Event.xclient.data.l[2] = A2;
  Event.xclient.data.l[3] = A3;
  XSendEvent(D, Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &Event);
}

void X11Session::State::Maximise(const TopLevel& Top) {
  if (WindowManagerSupports(NetMaxVert) && WindowManagerSupports(NetMaxHorz)) {
    SendToRoot(Top.Client, NetWmState, kNetWmStateAdd, static_cast<long>(NetMaxVert),
               static_cast<long>(NetMaxHorz), kSourceApplication);
  } else {
    // Without a window manager nobody else places the window; with one that cannot maximise,
    // this asks it for the whole screen.
    const Window Sized = WindowManagerRuns() ? Top.Client : Top.Frame;
    XMoveResizeWindow(D, Sized, 0, 0, static_cast<unsigned>(ScreenWidth),
                      static_cast<unsigned>(ScreenHeight));
  }
  XFlush(D);
}

bool X11Session::State::IsMaximised(const TopLevel& Top) const {
  if (WindowManagerSupports(NetMaxVert) && WindowManagerSupports(NetMaxHorz)) {
    std::vector<unsigned long> States = Property32(Top.Client, NetWmState, XA_ATOM);
    auto Has = [&](Atom A) { return std::find(States.begin(), States.end(), A) != States.end(); };
    return Has(NetMaxVert) && Has(NetMaxHorz);
  }
  // A window manager without maximising keeps a work area of its own that we cannot know.
  if (WindowManagerRuns()) return true;
  XWindowAttributes Attributes;
  if (!XGetWindowAttributes(D, Top.Frame, &Attributes)) return false;
  return Attributes.x == 0 && Attributes.y == 0 && Attributes.width == ScreenWidth &&
         Attributes.height == ScreenHeight;
}

void X11Session::State::Activate(Window W) {
  if (WindowManagerSupports(NetActiveWindow))
    SendToRoot(W, NetActiveWindow, kSourcePager, CurrentTime, 0, 0);
  XRaiseWindow(D, W);
  XSetInputFocus(D, W, RevertToParent, CurrentTime);
  XFlush(D);
}

X11Session::X11Session(std::unique_ptr<State> Session) : S_(std::move(Session)) {}

X11Session::~X11Session() = default;

std::unique_ptr<X11Session> X11Session::Open() {
  const char* Name = std::getenv("DISPLAY");
  if (!Name || !*Name)
    Raise(
        "No X display: set DISPLAY to the X server whose windows receive the keystrokes "
        "(for example DISPLAY=:0).");
  Display* D = XOpenDisplay(Name);
  if (!D)
    Raise("Cannot open the X display \"" + std::string(Name) +
          "\": no X server answers there, or it refuses this user.");
  auto S = std::make_unique<State>(D);  // closes the display on every way out

  int Event = 0, Error = 0, Major = 0, Minor = 0;
  if (!XTestQueryExtension(D, &Event, &Error, &Major, &Minor))
    Raise("The X server on display \"" + std::string(Name) +
          "\" lacks the XTEST extension, which is needed to synthesise keystrokes.");
  int Opcode = 0;
  Major = XkbMajorVersion;
  Minor = XkbMinorVersion;
  if (!XkbQueryExtension(D, &Opcode, &Event, &Error, &Major, &Minor))
    Raise("The X server on display \"" + std::string(Name) +
          "\" lacks the XKEYBOARD extension, which is needed to read its keyboard map.");

  const int ScreenNumber = DefaultScreen(D);
  S->Root = RootWindow(D, ScreenNumber);
  S->ScreenWidth = DisplayWidth(D, ScreenNumber);
  S->ScreenHeight = DisplayHeight(D, ScreenNumber);
  auto Intern = [&](const char* AtomName) { return XInternAtom(D, AtomName, False); };
  S->NetWmPid = Intern("_NET_WM_PID");
  S->WmClientLeader = Intern("WM_CLIENT_LEADER");
  S->WmState = Intern("WM_STATE");
  S->NetWmState = Intern("_NET_WM_STATE");
  S->NetMaxVert = Intern("_NET_WM_STATE_MAXIMIZED_VERT");
  S->NetMaxHorz = Intern("_NET_WM_STATE_MAXIMIZED_HORZ");
  S->NetActiveWindow = Intern("_NET_ACTIVE_WINDOW");
  S->NetSupported = Intern("_NET_SUPPORTED");
  S->NetSupportingWmCheck = Intern("_NET_SUPPORTING_WM_CHECK");
  S->XkbEventBase = Event;
  // Changes of the keymap and of the locks are announced, so a key string need not ask for them.
  const unsigned Maps = XkbMapNotifyMask | XkbNewKeyboardNotifyMask;
  XkbSelectEvents(D, XkbUseCoreKbd, Maps, Maps);
  const unsigned long Watched = XkbModifierLockMask | XkbGroupLockMask | XkbGroupStateMask;
  XkbSelectEventDetails(D, XkbUseCoreKbd, XkbStateNotify, Watched, Watched);
  S->RefreshKeymap();
  return std::unique_ptr<X11Session>(new X11Session(std::move(S)));
}

void X11Session::SendKeys(const KeyActions& Actions) {
  State& S = *S_;
  // Everything that can be wrong with the actions is found before the first key.
  std::vector<KeySym> Syms;
  Syms.reserve(Actions.size());
  for (const KeyAction& Action : Actions) {
    if (Action.Count < 0) Raise("A key cannot be typed a negative number of times.");
    if (Action.Type == KeyAction::Kind::Named) {
      Syms.push_back(KeysymOfNamedKey(Action.Key));
    } else {
      if (!Typable(Action.Character))
        Raise("The character " + DescribeCodePoint(Action.Character) + " cannot be typed.");
      Syms.push_back(KeysymOfCharacter(Action.Character));
    }
  }

  S.DrainEvents();
  ErrorTrap Trap(S.D);
  S.RefreshKeyboard();

  struct Step {
    std::optional<KeyChoice> Key;  // nothing: a spare keycode is mapped to Sym when its turn comes
    unsigned Hold = 0;
  };
  std::vector<Step> Steps(Actions.size());
  bool NeedsSpare = false;
  unsigned Holds = 0;
  for (std::size_t I = 0; I < Actions.size(); ++I) {
    Step& This = Steps[I];
    const KeyAction& Action = Actions[I];
    const char32_t Character =
        Action.Type == KeyAction::Kind::Character && CodePointOfKeysym(Syms[I]) == Action.Character
            ? Action.Character
            : 0;
    if (!S.SpareFor(Syms[I])) This.Key = S.FindOnKeymap(Syms[I], Character, true);
    NeedsSpare = NeedsSpare || !This.Key;
    const std::uint8_t Mods = Action.Modifiers;
    This.Hold = ((Mods & kShift) || (This.Key && This.Key->Shift) ? kHoldShift : 0U) |
                (Mods & kControl ? kHoldControl : 0U) | (Mods & kAlt ? kHoldAlt : 0U);
    Holds |= This.Hold;
  }
  if (NeedsSpare && S.Pool.empty())
    Raise("The keyboard map has no free keycode to type a character it lacks.");
  // When they fit, the spare keycodes are all mapped before the first key: the mapping then does
  // not change between keys, and a client that loads its keymap only on its first key press (as
  // Xlib does, subscribing to changes just after) sees them all.
  std::vector<KeySym> Borrowed;
  for (std::size_t I = 0; I < Actions.size(); ++I)
    if (!Steps[I].Key && std::find(Borrowed.begin(), Borrowed.end(), Syms[I]) == Borrowed.end())
      Borrowed.push_back(Syms[I]);
  if (Borrowed.size() <= S.Pool.size())
    for (KeySym Sym : Borrowed) S.MapSpare(Sym, Borrowed);
  const std::optional<KeyCode> Shift = S.FindModifier({XK_Shift_L, XK_Shift_R});
  const std::optional<KeyCode> Control = S.FindModifier({XK_Control_L, XK_Control_R});
  const std::optional<KeyCode> Alt = S.FindModifier({XK_Alt_L, XK_Alt_R, XK_Meta_L});
  if (((Holds & kHoldShift) && !Shift) || ((Holds & kHoldControl) && !Control) ||
      ((Holds & kHoldAlt) && !Alt))
    Raise("The keyboard map has no Shift, Ctrl or Alt key to hold.");

  {
    const bool TogglesCapsLock =
        std::any_of(Actions.begin(), Actions.end(), [](const KeyAction& A) {
          return A.Type == KeyAction::Kind::Named && A.Key == NamedKey::CapsLock;
        });
    Typist Keys(S, Trap, TogglesCapsLock);
    for (std::size_t I = 0; I < Actions.size(); ++I) {
      if (Actions[I].Count == 0) continue;
      const KeyChoice Key = Steps[I].Key ? *Steps[I].Key : S.MapSpare(Syms[I]);
      Keys.UseGroup(Key.Group);
      const unsigned Hold = Steps[I].Hold;
      if (Hold & kHoldControl) Keys.Press(*Control);
      if (Hold & kHoldAlt) Keys.Press(*Alt);
      if (Hold & kHoldShift) Keys.Press(*Shift);
      for (int Repeat = 0; Repeat < Actions[I].Count; ++Repeat) {
        Keys.Press(Key.Code);
        Keys.Release(Key.Code);
      }
      if (Hold & kHoldShift) Keys.Release(*Shift);
      if (Hold & kHoldAlt) Keys.Release(*Alt);
      if (Hold & kHoldControl) Keys.Release(*Control);
    }
  }
  // The releases above ended in a round trip: the server has taken every event.
  if (int Error = Trap.Sync())
    Raise("The X server refused a synthesised keystroke (X error " + std::to_string(Error) + ").");
}

ProcessId X11Session::FocusedProcess() {
  State& S = *S_;
  ErrorTrap Trap(S.D);
  Trap.Settled();  // only requests with replies follow: their errors come with them
  const Window Focus = S.FocusWindow();
  // A destruction of the cached window reached us before the reply above did.
  S.DrainEvents();
  if (Focus != 0 && Focus == S.CachedFocus) return S.CachedProcess;

  ProcessId Found = 0;
  Window W = Focus;
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    if ((Found = S.ProcessOf(W))) break;
    const Window Parent = S.ParentOf(W);
    if (Parent == 0) break;
    // At the top: W may be a window manager's frame with the client below it.
    if (Parent == S.Root) {
      Found = S.ProcessOf(S.ClientBelow(W));
      break;
    }
    W = Parent;
  }
  if (Found != 0) {
    // Watch for its destruction, so that a later window given the same id is looked up anew.
    XSelectInput(S.D, Focus, StructureNotifyMask);
    Trap.Unsettled();
    S.CachedFocus = Focus;
    S.CachedProcess = Found;
  }
  return Found;
}

bool X11Session::ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs) {
  State& S = *S_;
  if (Process <= 0) return false;
  const auto Deadline = SteadyClock::now() + std::chrono::milliseconds(TimeoutMs);
  std::optional<State::TopLevel> Found;
  for (;;) {
    {
      ErrorTrap Trap(S.D);
      Found = S.FindTopLevel(Process);
    }
    if (Found) break;
    if (SteadyClock::now() >= Deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }

  bool Asked = false;
  auto LastAsked = SteadyClock::time_point{};
  for (;;) {
    bool Maximised = false;
    {
      ErrorTrap Trap(S.D);
      Maximised = S.IsMaximised(*Found);
    }
    const bool Focused = FocusBelongsTo(Process);
    if (Focused && Maximised) return true;
    if (SteadyClock::now() >= Deadline) return Focused;
    // Asked again now and then: a program may still be placing or focusing its own window.
    if (!Asked || SteadyClock::now() - LastAsked >= kRetryInterval) {
      ErrorTrap Trap(S.D);
      if (!Maximised) S.Maximise(*Found);
      if (!Focused || !Asked) S.Activate(Found->Client);
      Asked = true;
      LastAsked = SteadyClock::now();
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

bool X11Session::FocusWindow(X11Window Window, int TimeoutMs) {
  State& S = *S_;
  const auto Deadline = SteadyClock::now() + std::chrono::milliseconds(TimeoutMs);
  auto LastAsked = SteadyClock::time_point{};
  for (;;) {
    {
      ErrorTrap Trap(S.D);
      if (S.IsWithin(S.FocusWindow(), static_cast<::Window>(Window))) return true;
      if (SteadyClock::now() - LastAsked >= kRetryInterval) {
        S.Activate(static_cast<::Window>(Window));
        LastAsked = SteadyClock::now();
      }
    }
    if (SteadyClock::now() >= Deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

void X11Session::CloseWindowsOf(ProcessId Process) {
  State& S = *S_;
  if (Process <= 0) return;
  ErrorTrap Trap(S.D);
  const std::optional<State::TopLevel> Found = S.FindTopLevel(Process);
  if (!Found) return;
  // WM_DELETE_WINDOW straight to the client: what a close box sends, with or without a window
  // manager to relay it.
  XEvent Event{};
  Event.xclient.type = ClientMessage;
  Event.xclient.window = Found->Client;
  Event.xclient.message_type = XInternAtom(S.D, "WM_PROTOCOLS", False);
  Event.xclient.format = 32;
  Event.xclient.data.l[0] = static_cast<long>(XInternAtom(S.D, "WM_DELETE_WINDOW", False));
  Event.xclient.data.l[1] = CurrentTime;
  XSendEvent(S.D, Found->Client, False, NoEventMask, &Event);
  Trap.Sync();
}

void X11Session::SetBeforeKeyEvent(std::function<void()> Hook) {
  S_->BeforeKeyEvent = std::move(Hook);
}

int X11Session::SpareKeycodeCount() const {
  return static_cast<int>(S_->Pool.size());
}

}  // namespace pictrane
