// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/X11Connection.h"

#include <X11/extensions/XTest.h>

#include <cstdlib>

#include "platform/RaisedError.h"

namespace pictrane::linux_desktop::x11 {

[[noreturn]] void Raise(const std::string& Description) {
  throw RaisedError(ErrorNumber::InvalidProcedureCall, "X11", Description);
}

namespace {

// The first X protocol error since the innermost trap was set.
int gFirstError = 0;

int RecordError(Display*, XErrorEvent* Event) {
  if (gFirstError == 0) gFirstError = Event->error_code;
  return 0;
}

}  // namespace

ErrorTrap::ErrorTrap(Display* D) : D_(D) {
  Outer_ = gFirstError;
  gFirstError = 0;
  Previous_ = XSetErrorHandler(RecordError);
}

ErrorTrap::~ErrorTrap() {
  if (!Settled_) XSync(D_, False);
  XSetErrorHandler(Previous_);
  gFirstError = Outer_;
}

int ErrorTrap::Sync() {
  XSync(D_, False);
  Settled_ = true;
  return gFirstError;
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
