// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The windows part of an X11 session: finding a process's top-level windows, maximising,
// focusing and closing them, and knowing whose window has the keyboard focus.

#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "platform/WindowSystem.h"
#include "linux/X11Connection.h"
#include "linux/X11WindowTree.h"

namespace pictrane::linux_desktop::x11 {

class X11Windows {
 public:
  explicit X11Windows(Connection& C) : C_(C), Tree_(C) {}

  // Takes the focus, destruction and property events of the windows it watches.
  void HandleEvent(const XEvent& Event);

  ProcessId FocusedProcess();
  std::vector<TopLevelWindow> TopLevelWindows();
  bool ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs);
  bool FocusWindow(Window W, int TimeoutMs);
  bool CloseWindowsOf(ProcessId Process);

  // Whether the focus is in a window Target owns and no other client holds the keyboard (no round
  // trip after a closing look that found both, two otherwise, a few more when the focus has moved
  // or a grab began). When it is, that window's
  // top-level is watched from then on: FocusStillWatched answers from the focus events it sends us,
  // with no round trip.
  KeysOutcome WatchFocus(KeyTarget& Target);
  // False once the watched top-level has lost the focus, been grabbed away from, or gone since
  // WatchFocus, as far as the events that have reached us tell.
  bool FocusStillWatched();
  // Ends a key string with the round trip that has the server take its events: a grab attempt on
  // the focus window, let go at once. When it finds the keyboard free and the focus still
  // watched, the next WatchFocus needs no round trip of its own. Replied is called as soon as
  // the server's answer is in, before the grab is let go.
  void CloseLook(const std::function<void()>& Replied);

 private:
  ProcessId OwnerOfFocus(Window Focus) const;
  void SendToRoot(Window W, Atom Message, long A0, long A1, long A2, long A3);
  void Maximise(const TopLevel& Top);
  bool IsMaximised(const TopLevel& Top) const;
  void Activate(Window W);
  // Tries to grab the keyboard on Focus and lets go at once; when another client holds it, asks
  // Target about that client.
  KeysOutcome CheckGrab(Window Focus, KeyTarget& Target);
  // The process of the client that most likely holds the keyboard: that of the topmost viewable
  // override-redirect window (menus and pop-ups grab the keyboard while they show).
  ProcessId GrabHolder() const;
  // Adds Mask to the events we take from W.
  void Select(Window W, long Mask);

  Connection& C_;
  WindowTree Tree_;
  // The last focused window and its process; forgotten when that window is destroyed.
  Window CachedFocus_ = 0;
  ProcessId CachedProcess_ = 0;
  // The top-level whose focus a key string relies on, and whether it has lost it since the
  // request with serial WatchSerial_.
  Window Watched_ = 0;
  ProcessId WatchedProcess_ = 0;  // whose window Watched_ is (as the target was asked)
  unsigned long WatchSerial_ = 0;
  unsigned long OwnGrabSerial_ = 0;  // of our last grab attempt
  bool WatchLost_ = false;
  Window LookedFocus_ = 0;     // the focus window of the last grab attempt before keys
  bool KeyboardFree_ = false;  // what the last closing look found, until WatchFocus takes it
  std::map<Window, long> Selected_;
};

}  // namespace pictrane::linux_desktop::x11
