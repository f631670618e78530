// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgressTestX11.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <memory>

namespace progresstest {
namespace {

struct Connection {
  Connection() : D(XOpenDisplay(nullptr)) {}
  ~Connection() { XCloseDisplay(D); }
  Display* D;
};

// The window just under the root that holds Window (a window manager's frame, or itself).
Window TopLevel(Display* D, Window W) {
  for (;;) {
    Window Root = 0, Parent = 0, *Children = nullptr;
    unsigned Count = 0;
    if (!XQueryTree(D, W, &Root, &Parent, &Children, &Count)) return W;
    if (Children) XFree(Children);
    if (Parent == Root || Parent == 0) return W;
    W = Parent;
  }
}

}  // namespace

bool InputAccepted(unsigned long Window) {
  Connection C;
  std::unique_ptr<XWMHints, int (*)(void*)> Hints(XGetWMHints(C.D, Window), XFree);
  return !Hints || !(Hints->flags & InputHint) || Hints->input != False;
}

std::vector<std::string> NetWmState(unsigned long Window) {
  Connection C;
  Atom Type = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  std::vector<std::string> Names;
  if (XGetWindowProperty(C.D, Window, XInternAtom(C.D, "_NET_WM_STATE", False), 0, 64, False,
                         XA_ATOM, &Type, &Format, &Count, &After, &Data) == Success &&
      Data) {
    const auto* Atoms = reinterpret_cast<const Atom*>(Data);
    for (unsigned long I = 0; I < Count; ++I) {
      char* Name = XGetAtomName(C.D, Atoms[I]);
      Names.emplace_back(Name);
      XFree(Name);
    }
    XFree(Data);
  }
  return Names;
}

Point RootOrigin(unsigned long W) {
  Connection C;
  int X = 0, Y = 0;
  Window Child = 0;
  XTranslateCoordinates(C.D, W, DefaultRootWindow(C.D), 0, 0, &X, &Y, &Child);
  return {X, Y};
}

bool StackedAbove(unsigned long Upper, unsigned long Lower) {
  Connection C;
  const Window U = TopLevel(C.D, Upper), L = TopLevel(C.D, Lower);
  Window Root = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(C.D, DefaultRootWindow(C.D), &Root, &Parent, &Children, &Count)) return false;
  // Bottom to top.
  Window* End = Children + Count;
  const bool Result = std::find(Children, End, U) > std::find(Children, End, L) &&
                      std::find(Children, End, U) != End;
  XFree(Children);
  return Result;
}

void Click(Point At) {
  Connection C;
  XTestFakeMotionEvent(C.D, DefaultScreen(C.D), At.X, At.Y, 0);
  XTestFakeButtonEvent(C.D, 1, True, 0);
  XTestFakeButtonEvent(C.D, 1, False, 0);
  XSync(C.D, False);
}

void Raise(unsigned long Window) {
  Connection C;
  XRaiseWindow(C.D, TopLevel(C.D, Window));
  XSync(C.D, False);
}

}  // namespace progresstest
