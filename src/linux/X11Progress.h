// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The one thing the progress window asks of X11 directly, kept apart from Qt code (Xlib's macros
// must never meet Qt's headers).

namespace pictrane::linux_desktop {

// The centre, in root coordinates, of the top-level window with the keyboard focus; false when
// there is no display or no focused window.
bool FocusedTopLevelCentre(int& X, int& Y);

// Adds "skip taskbar" and "skip pager" to the _NET_WM_STATE of Window, which must not be mapped
// yet (Qt keeps states it does not know of when it maps the window).
void SkipTaskbar(unsigned long Window);

}  // namespace pictrane::linux_desktop
