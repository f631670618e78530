// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11Connection.h"

#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "pictrane/RaisedError.h"

namespace pictrane::linux_desktop::x11 {

[[noreturn]] void Raise(const std::string& Description) {
  throw RaisedError(ErrorNumber::InvalidProcedureCall, "X11", Description);
}

namespace {

// The traps in force, innermost first.
ErrorTrap* gInnermost = nullptr;

}  // namespace

// An error belongs to the innermost trap set before its request was sent: a trap set while an
// outer one's requests still owe their errors does not take them over.
int ErrorTrap::Record(Display*, XErrorEvent* Event) {
  for (ErrorTrap* T = gInnermost; T; T = T->Outer_) {
    if (Event->serial < T->Start_) continue;
    if (T->First_ == 0) T->First_ = Event->error_code;
    break;
  }
  return 0;
}

ErrorTrap::ErrorTrap(Display* D) : D_(D), Start_(NextRequest(D)), Outer_(gInnermost) {
  Previous_ = XSetErrorHandler(Record);
  gInnermost = this;
}

ErrorTrap::~ErrorTrap() {
  if (!Settled_) XSync(D_, False);
  XSetErrorHandler(Previous_);
  gInnermost = Outer_;
}

int ErrorTrap::Sync(const std::function<void()>& RoundTrip) {
  if (RoundTrip) {
    RoundTrip();
  } else {
    XSync(D_, False);
  }
  Settled_ = true;
  return First_;
}

Connection::Connection() {
  const char* Given = std::getenv("DISPLAY");
  if (!Given || !*Given)
    Raise(
        "No X display: set DISPLAY to the X server whose windows receive the keystrokes "
        "(for example DISPLAY=:0).");
  Name = Given;
  D = XOpenDisplay(Given);
  if (!D)
    Raise("Cannot open the X display \"" + Name +
          "\": no X server answers there, or it refuses this user.");
  int Event = 0, Error = 0, Major = 0, Minor = 0;
  if (!XTestQueryExtension(D, &Event, &Error, &Major, &Minor)) {
    XCloseDisplay(D);
    Raise("The X server on display \"" + Name +
          "\" lacks the XTEST extension, which is needed to synthesise keystrokes.");
  }
  int Opcode = 0;
  Major = XkbMajorVersion;
  Minor = XkbMinorVersion;
  if (!XkbQueryExtension(D, &Opcode, &Event, &Error, &Major, &Minor)) {
    XCloseDisplay(D);
    Raise("The X server on display \"" + Name +
          "\" lacks the XKEYBOARD extension, which is needed to read its keyboard map.");
  }
  XkbEventBase = Event;
  // Raw key events tell the program's own keys from others'; from 2.1 on they come even while
  // another client holds a grab.
  Major = 2;
  Minor = 2;
  if (!XQueryExtension(D, "XInputExtension", &XiOpcode, &Event, &Error) ||
      XIQueryVersion(D, &Major, &Minor) != Success || Major < 2 || (Major == 2 && Minor < 1)) {
    XCloseDisplay(D);
    Raise("The X server on display \"" + Name +
          "\" lacks version 2.1 of the X Input extension, which is needed to tell the user's keys "
          "from the program's own.");
  }

  const int ScreenNumber = DefaultScreen(D);
  Root = RootWindow(D, ScreenNumber);
  ScreenWidth = DisplayWidth(D, ScreenNumber);
  ScreenHeight = DisplayHeight(D, ScreenNumber);
  auto Intern = [&](const char* AtomName) { return XInternAtom(D, AtomName, False); };
  NetWmPid = Intern("_NET_WM_PID");
  WmClientLeader = Intern("WM_CLIENT_LEADER");
  WmState = Intern("WM_STATE");
  WmProtocols = Intern("WM_PROTOCOLS");
  WmDeleteWindow = Intern("WM_DELETE_WINDOW");
  NetWmState = Intern("_NET_WM_STATE");
  NetMaxVert = Intern("_NET_WM_STATE_MAXIMIZED_VERT");
  NetMaxHorz = Intern("_NET_WM_STATE_MAXIMIZED_HORZ");
  NetActiveWindow = Intern("_NET_ACTIVE_WINDOW");
  NetCloseWindow = Intern("_NET_CLOSE_WINDOW");
  NetSupported = Intern("_NET_SUPPORTED");
  NetSupportingWmCheck = Intern("_NET_SUPPORTING_WM_CHECK");
}

Connection::~Connection() {
  XCloseDisplay(D);
}

void Connection::DrainEvents() {
  // QueuedAfterFlush sends what is buffered and reads what has arrived, without waiting.
  while (XEventsQueued(D, QueuedAfterFlush) > 0) {
    XEvent Event;
    XNextEvent(D, &Event);
    if (OnEvent) OnEvent(Event);
  }
}

}  // namespace pictrane::linux_desktop::x11
