#include "ProgressWindowX11.h"

#include <X11/Xlib.h>

namespace pictrane {

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

}  // namespace pictrane
