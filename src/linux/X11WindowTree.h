// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The windows of the display as the server and the window manager describe them: the tree of
// windows, their properties, whose process each belongs to, and what the window manager runs
// and supports. Looking only: nothing here changes a window.

#include <functional>
#include <optional>
#include <vector>

#include "platform/WindowSystem.h"
#include "linux/X11Connection.h"

namespace pictrane::linux_desktop::x11 {

// A top-level window: what is a child of the root (a window manager's frame, or the client
// itself without one) and the client window inside it.
struct TopLevel {
  Window Frame = 0;
  Window Client = 0;
};

class WindowTree {
 public:
  explicit WindowTree(Connection& C) : C_(C) {}

  std::vector<unsigned long> Property32(Window W, Atom Name, Atom Type) const;
  bool HasProperty(Window W, Atom Name) const;
  ProcessId ProcessOf(Window W) const;
  Window ClientBelow(Window Top) const;
  Window ParentOf(Window W) const;
  Window TopLevelOf(Window W) const;
  bool IsWithin(Window W, Window Ancestor) const;
  std::vector<TopLevel> TopLevelsOf(std::optional<ProcessId> Process) const;
  // Visits the viewable children of the root that take input, topmost first: those that bypass
  // the window manager (OverrideRedirect: menus, pop-ups) or the others; until Visit says false.
  void ForEachShownTop(bool OverrideRedirect, const std::function<bool(Window)>& Visit) const;
  // The window keys go to (the one under the pointer when the focus follows it); 0: none.
  Window FocusedWindow() const;
  bool WindowManagerRuns() const;
  bool WindowManagerSupports(Atom Feature) const;

 private:
  Connection& C_;
};

}  // namespace pictrane::linux_desktop::x11
