// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11WindowTree.h"

#include <X11/Xatom.h>

#include <algorithm>
#include <utility>

namespace pictrane::linux_desktop::x11 {

std::vector<unsigned long> WindowTree::Property32(Window W, Atom Name, Atom Type) const {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  std::vector<unsigned long> Values;
  if (XGetWindowProperty(C_.D, W, Name, 0, 1024, False, Type, &Actual, &Format, &Count, &After,
                         &Data) != Success)
    return Values;
  if (Data && Actual == Type && Format == 32) {
    // Xlib hands 32-bit items to the client as longs.
    const auto* Items = reinterpret_cast<const unsigned long*>(Data);
    Values.assign(Items, Items + Count);
  }
  if (Data) XFree(Data);
  return Values;
}

bool WindowTree::HasProperty(Window W, Atom Name) const {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  if (XGetWindowProperty(C_.D, W, Name, 0, 0, False, AnyPropertyType, &Actual, &Format, &Count,
                         &After, &Data) != Success)
    return false;
  if (Data) XFree(Data);
  return Actual != 0;
}

ProcessId WindowTree::ProcessOf(Window W) const {
  if (W == 0) return 0;
  std::vector<unsigned long> Pid = Property32(W, C_.NetWmPid, XA_CARDINAL);
  if (!Pid.empty()) return static_cast<ProcessId>(Pid.front());
  std::vector<unsigned long> Leader = Property32(W, C_.WmClientLeader, XA_WINDOW);
  if (!Leader.empty() && Leader.front() != W) {
    Pid = Property32(Leader.front(), C_.NetWmPid, XA_CARDINAL);
    if (!Pid.empty()) return static_cast<ProcessId>(Pid.front());
  }
  return 0;
}

// The client window of a top-level: itself, or the window below a window manager's frame that
// carries WM_STATE (or a process id). Top itself when there is none.
Window WindowTree::ClientBelow(Window Top) const {
  if (HasProperty(Top, C_.WmState) || HasProperty(Top, C_.NetWmPid)) return Top;
  std::vector<Window> Level{Top};
  for (int Depth = 0; Depth < 4 && !Level.empty(); ++Depth) {
    std::vector<Window> Next;
    for (Window W : Level) {
      Window RootReturn = 0, Parent = 0, *Children = nullptr;
      unsigned Count = 0;
      if (!XQueryTree(C_.D, W, &RootReturn, &Parent, &Children, &Count)) continue;
      for (unsigned I = 0; I < Count; ++I) Next.push_back(Children[I]);
      if (Children) XFree(Children);
    }
    for (Window W : Next)
      if (HasProperty(W, C_.WmState) || HasProperty(W, C_.NetWmPid)) return W;
    Level = std::move(Next);
  }
  return Top;
}

Window WindowTree::ParentOf(Window W) const {
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(C_.D, W, &RootReturn, &Parent, &Children, &Count)) return 0;
  if (Children) XFree(Children);
  return Parent;
}

// The child of the root that holds W (W itself when it is one); 0 when W is gone.
Window WindowTree::TopLevelOf(Window W) const {
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    const Window Parent = ParentOf(W);
    if (Parent == C_.Root) return W;
    W = Parent;
  }
  return 0;
}

bool WindowTree::IsWithin(Window W, Window Ancestor) const {
  for (int Depth = 0; W != 0 && Depth < 64; ++Depth) {
    if (W == Ancestor) return true;
    if (W == C_.Root) return false;
    W = ParentOf(W);
  }
  return false;
}

Window WindowTree::FocusedWindow() const {
  Window Focus = 0;
  int Revert = 0;
  XGetInputFocus(C_.D, &Focus, &Revert);
  if (Focus == PointerRoot) {
    // Keys go to the window under the pointer.
    Window RootReturn = 0, Child = 0;
    int RootX = 0, RootY = 0, X = 0, Y = 0;
    unsigned Mask = 0;
    if (!XQueryPointer(C_.D, C_.Root, &RootReturn, &Child, &RootX, &RootY, &X, &Y, &Mask)) return 0;
    return Child;
  }
  return Focus == C_.Root ? 0 : Focus;
}

void WindowTree::ForEachShownTop(bool OverrideRedirect,
                                 const std::function<bool(Window)>& Visit) const {
  Window RootReturn = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(C_.D, C_.Root, &RootReturn, &Parent, &Children, &Count)) return;
  std::vector<Window> Stack(Children, Children + Count);
  if (Children) XFree(Children);
  for (auto It = Stack.rbegin(); It != Stack.rend(); ++It) {
    XWindowAttributes Attributes;
    if (!XGetWindowAttributes(C_.D, *It, &Attributes)) continue;
    if (static_cast<bool>(Attributes.override_redirect) != OverrideRedirect ||
        Attributes.c_class == InputOnly || Attributes.map_state != IsViewable)
      continue;
    if (!Visit(*It)) return;
  }
}

// The viewable top-level windows of Process (of every process without one), topmost first.
std::vector<TopLevel> WindowTree::TopLevelsOf(std::optional<ProcessId> Process) const {
  std::vector<TopLevel> Found;
  ForEachShownTop(false, [&](Window Top) {
    const Window Client = ClientBelow(Top);
    if (Process && ProcessOf(Client) != *Process) return true;
    XWindowAttributes Attributes;
    if (Client != Top &&
        (!XGetWindowAttributes(C_.D, Client, &Attributes) || Attributes.map_state != IsViewable))
      return true;
    Found.push_back(TopLevel{Top, Client});
    return true;
  });
  return Found;
}

bool WindowTree::WindowManagerRuns() const {
  std::vector<unsigned long> Check = Property32(C_.Root, C_.NetSupportingWmCheck, XA_WINDOW);
  if (Check.empty()) return false;
  // A window manager that died leaves the root's property behind, but not its own window.
  std::vector<unsigned long> Self = Property32(Check.front(), C_.NetSupportingWmCheck, XA_WINDOW);
  return !Self.empty() && Self.front() == Check.front();
}

bool WindowTree::WindowManagerSupports(Atom Feature) const {
  if (!WindowManagerRuns()) return false;
  std::vector<unsigned long> Supported = Property32(C_.Root, C_.NetSupported, XA_ATOM);
  return std::find(Supported.begin(), Supported.end(), Feature) != Supported.end();
}

}  // namespace pictrane::linux_desktop::x11
