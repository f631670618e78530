// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the keyboard and the window parts of an X11 session share: the display connection, the
// error trap, the atoms and the event pump. Private to the X11 files: Xlib's None/Bool macros
// must never meet Qt code.

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <functional>
#include <string>

namespace pictrane::linux_desktop::x11 {

// Raises RaisedError(5, "X11", Description).
[[noreturn]] void Raise(const std::string& Description);

// Collects X protocol errors instead of letting Xlib's default handler end the process: other
// programs' windows can vanish while we look at them, and a refused key must become an error the
// caller sees.
class ErrorTrap {
 public:
  // Takes the errors of the requests sent from now on; those of earlier requests stay with the
  // trap that was in force when they were sent.
  explicit ErrorTrap(Display* D);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;

  // After a round trip: the code of the first error of this trap's requests, or 0. RoundTrip,
  // when given, makes the round trip itself (requests that end in a reply, under a trap of their
  // own): a look that has to be made anyway then also collects these errors.
  int Sync(const std::function<void()>& RoundTrip = {});
  // The last request had a reply, so its errors are in: closing needs no round trip. Returns the
  // code of the first error, or 0.
  int Settled() {
    Settled_ = true;
    return First_;
  }
  // Requests were sent since the last round trip.
  void Unsettled() { Settled_ = false; }

 private:
  static int Record(Display* D, XErrorEvent* Event);

  Display* D_;
  unsigned long Start_;  // serial of the first request this trap answers for
  ErrorTrap* Outer_;
  int First_ = 0;
  bool Settled_ = false;
  XErrorHandler Previous_ = nullptr;
};

// One open display with the atoms both parts use. Closes the display when it ends.
struct Connection {
  // Raises, with a description the user can act on, when $DISPLAY names no usable server.
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Hands every event that has already reached us to OnEvent, reading what the socket holds
  // without waiting for the server (no round trip).
  void DrainEvents();

  Display* D = nullptr;
  std::string Name;  // of the display, for messages
  Window Root = 0;
  int ScreenWidth = 0;
  int ScreenHeight = 0;
  int XkbEventBase = -1;
  int XiOpcode = -1;  // the X Input extension's, which its events carry
  Atom NetWmPid = 0, WmClientLeader = 0, WmState = 0, WmProtocols = 0, WmDeleteWindow = 0,
       NetWmState = 0, NetMaxVert = 0, NetMaxHorz = 0, NetActiveWindow = 0, NetCloseWindow = 0,
       NetSupported = 0, NetSupportingWmCheck = 0;
  std::function<void(XEvent&)> OnEvent;
};

}  // namespace pictrane::linux_desktop::x11
