// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the progress window tests ask of the X server directly, kept out of Qt code.

#include <string>
#include <vector>

namespace progresstest {

struct Point {
  int X, Y;
};

bool InputAccepted(unsigned long Window);                     // WM_HINTS input (true if unset)
std::vector<std::string> NetWmState(unsigned long Window);    // names of its _NET_WM_STATE atoms
Point RootOrigin(unsigned long Window);                       // its top-left on the root window
bool StackedAbove(unsigned long Upper, unsigned long Lower);  // their top-levels, in that order
void Click(Point At);
void Raise(unsigned long Window);  // to the top of the stack, as a tool raising itself does // a
                                   // real click through XTest

}  // namespace progresstest
