#pragma once

// Keystrokes and window focus over X11. This header stays free of Xlib, whose None/Bool macros
// must never meet Qt code; the Xlib side lives in X11Session.cpp alone.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/KeyAction.h"
#include "platform/WindowSystem.h"

namespace pictrane {

// An X11 window id (Xlib's Window), as a plain integer.
using X11Window = std::uint64_t;

// One connection to the X server named by $DISPLAY. Not thread-safe: use it from one thread.
class X11Session {
 public:
  // Raises RaisedError with a description the user can act on when there is no X display, or
  // when the server lacks the XTEST or XKEYBOARD extension.
  static std::unique_ptr<X11Session> Open();

  // Gives every borrowed spare keycode its empty mapping back.
  ~X11Session();
  X11Session(const X11Session&) = delete;
  X11Session& operator=(const X11Session&) = delete;

  // Types Actions into whatever has the keyboard focus, then waits until the server has
  // delivered them (XSync and a round trip). Characters come from the current keymap (with
  // Shift, or in another group, when that is where they are); a character the keymap lacks goes
  // through a spare keycode remapped to it, kept mapped for reuse until the session ends.
  // Everything is checked before the first key, so bad input types nothing. Whatever fails, no
  // key or modifier is left held and a locked Caps Lock or group is put back.
  void SendKeys(const KeyActions& Actions);

  // The process id of the top-level window that has the input focus (its _NET_WM_PID, or that of
  // its client leader), or 0 when there is no such window or it carries no process id.
  ProcessId FocusedProcess();
  bool FocusBelongsTo(ProcessId Process) { return Process != 0 && FocusedProcess() == Process; }

  // Waits, up to TimeoutMs, for a viewable top-level window of Process, then maximises it (through
  // the window manager when one runs, otherwise by giving it the screen's size), raises it and
  // gives it the input focus. Returns once the focus is there; false when the window never came
  // or never took the focus in time.
  bool ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs);

  // Sends a close request (_NET_CLOSE_WINDOW through the window manager, else WM_DELETE_WINDOW)
  // to every top-level window of Process.
  void CloseWindowsOf(ProcessId Process);
  // Raises Window and gives it the input focus; false when it does not have it within TimeoutMs.
  bool FocusWindow(X11Window Window, int TimeoutMs);

  // Runs before every synthesised key event; an exception it throws aborts SendKeys there. Lets
  // tests make typing fail half-way.
  void SetBeforeKeyEvent(std::function<void()> Hook);

  // How many characters outside the keymap can be typed before a spare keycode is reused.
  int SpareKeycodeCount() const;

  struct State;

 private:
  explicit X11Session(std::unique_ptr<State> Session);
  std::unique_ptr<State> S_;
};

}  // namespace pictrane
