#pragma once

// The one thing the progress window asks of X11 directly, kept apart from Qt code (Xlib's macros
// must never meet Qt's headers).

namespace pictrane {

// The centre, in root coordinates, of the top-level window with the keyboard focus; false when
// there is no display or no focused window.
bool FocusedTopLevelCentre(int& X, int& Y);

}  // namespace pictrane
