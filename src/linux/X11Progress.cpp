// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11Progress.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace pictrane::linux_desktop {

bool FocusedTopLevelCentre(int& X, int& Y) {
  // A connection of its own: asked once per run, and Qt's connection is xcb, not Xlib.
  Display* D = XOpenDisplay(nullptr);
  if (D == nullptr) return false;
  Window Focus = 0;
  int Revert = 0;
  XGetInputFocus(D, &Focus, &Revert);
  const Window Root = DefaultRootWindow(D);
  bool Found = false;
  if (Focus != 0 && Focus != PointerRoot && Focus != Root) {
    // The focus may sit on a child: climb to the window just under the root (the frame under a
    // window manager), whose geometry is the tool's on screen.
    Window Top = Focus;
    for (;;) {
      Window RootReturn = 0, Parent = 0, *Children = nullptr;
      unsigned Count = 0;
      if (!XQueryTree(D, Top, &RootReturn, &Parent, &Children, &Count)) break;
      if (Children != nullptr) XFree(Children);
      if (Parent == Root || Parent == 0) break;
      Top = Parent;
    }
    XWindowAttributes A;
    if (XGetWindowAttributes(D, Top, &A)) {
      X = A.x + A.width / 2;
      Y = A.y + A.height / 2;
      Found = true;
    }
  }
  XCloseDisplay(D);
  return Found;
}

void SkipTaskbar(unsigned long Window) {
  Display* D = XOpenDisplay(nullptr);
  if (D == nullptr) return;
  const Atom State = XInternAtom(D, "_NET_WM_STATE", False);
  std::vector<Atom> States;
  Atom Type = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  if (XGetWindowProperty(D, Window, State, 0, 32, False, XA_ATOM, &Type, &Format, &Count, &After,
                         &Data) == Success &&
      Data != nullptr) {
    if (Format == 32)
      States.assign(reinterpret_cast<Atom*>(Data), reinterpret_cast<Atom*>(Data) + Count);
    XFree(Data);
  }
  for (const char* Name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
    const Atom A = XInternAtom(D, Name, False);
    bool Present = false;
    for (Atom S : States) Present = Present || S == A;
    if (!Present) States.push_back(A);
  }
  XChangeProperty(D, Window, State, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(States.data()), static_cast<int>(States.size()));
  // In place before Qt maps the window and reads the property back.
  XSync(D, False);
  XCloseDisplay(D);
}

}  // namespace pictrane::linux_desktop
