// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11Keyboard.h"

#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <string>

namespace pictrane::linux_desktop::x11 {
namespace {

using SteadyClock = std::chrono::steady_clock;

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

void X11Keyboard::Prepare(const KeyActions& Actions) {
  Abandon();
  Plan_ = Resolve(Actions);
  Actions_ = Actions;
  NextStep_ = 0;
}

void X11Keyboard::Refresh() {
  if (Stale()) Plan_ = Resolve(Actions_);
}

bool X11Keyboard::StepLeft() const {
  return std::any_of(Plan_.Steps.begin() + static_cast<std::ptrdiff_t>(NextStep_),
                     Plan_.Steps.end(),
                     [](const TypingPlan::Step& Step) { return Step.Count > 0; });
}

bool X11Keyboard::HasNext() const {
  return !Pending_.empty() || StepLeft();
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
  // The next step's group comes first, then its first press.
  return StepLeft() ? Pending_.size() + 1 : Pending_.size();
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
