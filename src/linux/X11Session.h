// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Keystrokes and window focus over X11. This header stays free of Xlib, whose None/Bool macros
// must never meet Qt code; the Xlib side lives in the X11 files of this folder alone.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/KeyAction.h"
#include "platform/WindowSystem.h"

namespace pictrane::linux_desktop {

// An X11 window id (Xlib's Window), as a plain integer.
using X11Window = std::uint64_t;

// One connection to the X server named by $DISPLAY. Not thread-safe: use it from one thread.
// Its keyboard: characters come from the current keymap (with Shift, or in another group, when
// that is where they are); characters the keymap lacks go through spare keycodes remapped in
// batches before the keys that need them, and kept mapped for reuse until the session ends.
// Whatever happens, no key or modifier is left held and a locked Caps Lock or group is put back.
// A batch is one key press with the releases after it: a release needs no look of its own.
class X11Session final : public KeyInjector {
 public:
  // Raises RaisedError with a description the user can act on when there is no X display, or
  // when the server lacks the XTEST or XKEYBOARD extension.
  static std::unique_ptr<X11Session> Open();

  // Gives every borrowed spare keycode its empty mapping back.
  ~X11Session() override;
  X11Session(const X11Session&) = delete;
  X11Session& operator=(const X11Session&) = delete;

  void Plan(const KeyActions& Actions) override;
  // The string's first look asks Target about the focused window's process and, when another
  // client holds the keyboard (a grab attempt says so), about the process of the topmost
  // override-redirect window, the likely holder: a menu of the tool itself passes. Those
  // questions need no round trip of their own when the previous string's closing look found the
  // keyboard free and no focus event has come since (a grab by another client shows as one).
  // Later looks answer from the server's focus events so far, so at most the one event already
  // on its way can reach another window; when they tell of a change (another window, a grab),
  // the same questions are asked again.
  KeysOutcome StillFree(KeyTarget& Target) override;
  bool HasNext() const override;
  std::size_t NextPress(std::size_t From) override;
  void Send(std::size_t Count) override;
  // One round trip: a grab attempt on the focus window, let go at once; Handed runs once its
  // reply has brought the server's confirmation.
  KeysOutcome Finish(KeyTarget& Target, const std::function<void()>& Handed) override;
  void Abandon() noexcept override;

  // Others' keys (the user's keyboard, another client's XTEST keys) are told from ours by the raw
  // key events of XInput 2, which come on this connection with the others (no round trip): ours
  // come from the XTEST keyboard in the order we sent them, each with its request's serial, so
  // any other event, or one of ours that never comes back (swallowed by a key another holds), is
  // others'. So is one of ours handled while a modifier of others was in force, as XKB's state
  // notifications tell, and another client's latch or lock. A key that others hold is confirmed
  // by a round trip; a latched or locked modifier (Caps Lock and Num Lock aside) counts as held.
  bool OthersTyped() override;
  void ForgetOthersKeys() override;
  bool OthersHold() override;
  bool AskOthersHold() override;

  // The process id of the top-level window that has the input focus (its _NET_WM_PID, or that of
  // its client leader); 0 when no window has it, kUnknownProcess when it carries no process id.
  ProcessId FocusedProcess();
  bool FocusBelongsTo(ProcessId Process) { return Process > 0 && FocusedProcess() == Process; }
  // The viewable top-level windows (window managers' frames where they make them), topmost first.
  std::vector<TopLevelWindow> TopLevelWindows();

  // Waits, up to TimeoutMs, for a viewable top-level window of Process, then maximises it (through
  // the window manager when one runs, otherwise by giving it the screen's size), raises it and
  // gives it the input focus. Returns once the focus is there; false when the window never came
  // or never took the focus in time.
  bool ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs);

  // Asks every viewable top-level window of Process to close, with no keystroke: through the
  // window manager (_NET_CLOSE_WINDOW) when one runs, else with WM_DELETE_WINDOW to a client that
  // takes it; a window not yet mapped that takes WM_DELETE_WINDOW gets it itself (no window
  // manager knows it yet). Does not wait for the windows to go. False when Process had no such
  // window.
  bool CloseWindowsOf(ProcessId Process);
  // Raises Window and gives it the input focus; false when it does not have it within TimeoutMs.
  bool FocusWindow(X11Window Window, int TimeoutMs);

  // Runs after every synthesised key event, once the server has taken it (before the next
  // look); an exception it throws aborts the string there. Lets tests make typing fail, or the
  // focus move, half-way.
  void SetAfterKeyEvent(std::function<void()> Hook);

  // How many keycodes the keymap leaves free for characters it lacks.
  int SpareKeycodeCount() const;

  struct State;

 private:
  explicit X11Session(std::unique_ptr<State> Session);
  std::unique_ptr<State> S_;
  bool Looked_ = false;  // the string's first look was made
};

}  // namespace pictrane::linux_desktop
