// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The keyboard part of an X11 session: the keymap, the spare keycodes borrowed for characters
// the keymap lacks (both in X11Keymap.cpp), and typing through XTEST.

#include <X11/XKBlib.h>

#include <algorithm>
#include <bitset>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/KeyAction.h"
#include "linux/X11Connection.h"
#include "linux/X11Keymap.h"

namespace pictrane::linux_desktop::x11 {

class X11Keyboard {
 public:
  explicit X11Keyboard(Connection& C);
  // Gives every borrowed spare keycode its empty mapping back.
  ~X11Keyboard();
  X11Keyboard(const X11Keyboard&) = delete;
  X11Keyboard& operator=(const X11Keyboard&) = delete;

  // Notes keymap and keyboard-state changes, and every key event as a raw event: the program's
  // own are told from others' by their device (the XTEST one) and by matching, in order, the
  // events it sent, each by the serial of the request that sent it (another client's XTEST keys
  // come from the same device, and never with that serial before ours).
  void HandleEvent(XEvent& Event);

  // Others' keys as the events that have reached us tell them.
  // A key event of others came since the last Forgive; or one of ours was handled while a
  // modifier the program did not press was in force (held, latched or locked), or another client
  // latched or locked a modifier.
  bool OthersTyped() const { return OthersTyped_; }
  void Forgive() { OthersTyped_ = false; }
  // A key of others is down, or a modifier latched or locked (Caps Lock and Num Lock aside), as
  // far as the events tell; when they say so, the server is asked (a round trip) whether it
  // still is.
  bool OthersHold();
  // Asks the server which keys are down (the program holds none between strings) and whether a
  // modifier is latched or locked, and takes that as the truth from then on.
  bool QueryOthersHold();
  // Once the server has taken a string's events and their raw events have been read: any of
  // ours that did not come back was swallowed, by a key that another held.
  void EndOfString();

  // Resolves Actions against the keymap for the next string. Raises, typing nothing, for a
  // negative count, a character that cannot be typed, or a modifier the keymap lacks. Reads the
  // keymap again when the server said it changed.
  void Prepare(const KeyActions& Actions);
  // Resolves the prepared string again when the keymap or the locks changed since.
  void Refresh();

  // Types the prepared string into whatever has the focus, as KeyInjector's NextPress and Send
  // ask: a step's events are the group change, the modifiers' presses, its key's presses and
  // releases, and the modifiers' releases; spare keycodes are mapped in batches, each before the
  // first step that needs it. Raises when it cannot go on.
  bool HasNext() const;
  std::size_t NextPress(std::size_t From);
  void Send(std::size_t Count);
  // Releases every key still held, puts back Caps Lock and the keyboard group, and has the
  // server take every event with one round trip: Closing when given (a look that ends in a
  // reply), else a plain one. Raises when the server refused an event.
  void End(const std::function<void()>& Closing);
  // The same, raising nothing, after a throw.
  void Abandon() noexcept;

  int SpareKeycodeCount() const { return static_cast<int>(Pool_.size()); }
  // The server said the keymap or the keyboard's locks changed since they were last read.
  bool Stale() const { return KeymapStale_ || KeyboardStale_; }
  // Runs after every synthesised key event, once the server has taken it; an exception it
  // throws ends the batch there.
  std::function<void()> AfterKeyEvent;

 private:
  class Typist;
  struct Spare {
    KeyCode Code = 0;
    // Group 1 level 1 and 2, group 2 level 1 and 2, as we mapped them; NoSymbol: unused. The
    // second group is used only when two levels of every spare keycode are not enough.
    KeySym Syms[4] = {NoSymbol, NoSymbol, NoSymbol, NoSymbol};
    std::chrono::steady_clock::time_point LastUse{};
    bool Free() const { return Syms[0] == NoSymbol; }
    bool TwoGroups() const { return Syms[2] != NoSymbol; }
    bool Holds(KeySym Sym) const { return std::find(Syms, Syms + 4, Sym) != Syms + 4; }
  };

  void RefreshKeyboard();
  void RefreshKeymap();
  void ReconcilePool();
  bool InPool(KeyCode Code) const;
  bool KeyIsEmpty(KeyCode Code) const;
  bool KeyHolds(const Spare& S) const;
  int GroupOfKey(KeyCode Code, int Group) const;
  std::optional<KeyChoice> FindOnKeymap(KeySym Sym, char32_t Character, bool AnyGroup) const;
  std::optional<KeyCode> FindModifier(std::initializer_list<KeySym> Syms) const;
  std::optional<KeyChoice> OnSpare(KeySym Sym) const;
  TypingPlan Resolve(const KeyActions& Actions);
  void MapBatch(const TypingPlan& Plan, std::size_t From, bool CanShift);
  void Begin();
  void Expand(std::size_t Step);
  // Makes the events of the next step that has any once those before it have all gone.
  void ExpandNext();
  // A step with events is left that has not been made yet.
  bool StepLeft() const;
  void WriteMapping(const std::vector<Spare*>& Changed);
  void RestoreSpares();

  Connection& C_;
  XkbDescPtr Xkb_ = nullptr;
  bool KeymapStale_ = true;    // a mapping notification came since Xkb_ was read
  bool KeyboardStale_ = true;  // a lock or the group changed since Keyboard_ was read
  XkbStateRec Keyboard_{};
  int NumGroups_ = 1;  // the most groups any key has
  std::vector<Spare> Pool_;
  std::vector<KeyCode> Held_;  // pressed and not yet released, in pressing order

  // The string being typed: its plan, the events of its next steps not yet sent, and what the
  // typing changed until it ends.
  struct TypedEvent {
    enum class Kind : std::uint8_t { Press, Release, Group } Type;
    KeyCode Code = 0;
    int Group = 0;
  };
  KeyActions Actions_;
  TypingPlan Plan_;
  std::size_t NextStep_ = 0;
  std::deque<TypedEvent> Pending_;
  std::optional<KeyCode> Shift_, Control_, Alt_;
  std::optional<ErrorTrap> Trap_;
  std::unique_ptr<Typist> Typist_;

  struct KeyEvent {
    KeyCode Code;
    bool Press;
    unsigned long Serial;  // of the request that sent it
  };
  void Sent(KeyCode Code, bool Press);
  void NoteOurs(const KeyEvent& Key);
  void NoteState(const XkbStateNotifyEvent& State);
  unsigned OthersModifiers(unsigned Latched, unsigned Locked) const;

  std::vector<int> XtestDevices_;  // the XTEST slave keyboards, through which ours come
  std::deque<KeyEvent> Expected_;  // ours, sent and not yet seen back as raw events
  std::bitset<256> OthersDown_;    // keys others pressed and have not let go
  std::bitset<256> OursDown_;      // keys of ours down, as the raw events tell
  unsigned long KnownSince_ = 0;   // OthersDown_ holds what events before this serial did
  // The server's modifiers as its state notifications tell, from this serial on: in force,
  // latched and locked; and the mask of Num Lock, which like Caps Lock is no one's key.
  unsigned long StateSince_ = 0;
  unsigned ServerMods_ = 0, ServerLatched_ = 0, ServerLocked_ = 0;
  unsigned NumLockMask_ = 0;
  bool OthersTyped_ = false;
};

}  // namespace pictrane::linux_desktop::x11
