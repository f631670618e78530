// SPDX-License-Identifier: GPL-3.0-or-later
#include "BareXTest.h"

#include <algorithm>
#include <iterator>
#include <utility>
#include <vector>

// Last: Xlib's macros (None, Status) would clash with the names above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace benchx11 {
namespace {

// The named keys of the file script and of the close keys: all the bare typist knows.
constexpr std::pair<pictrane::NamedKey, KeySym> kNamedKeys[] = {
    {pictrane::NamedKey::Enter, XK_Return},
    {pictrane::NamedKey::Delete, XK_Delete},
    {pictrane::NamedKey::Down, XK_Down},
    {pictrane::NamedKey::F4, XK_F4},
};

}  // namespace

bool QueueBare(Display* D, const pictrane::KeyActions& Keys) {
  const auto Code = [D](KeySym Sym) { return XKeysymToKeycode(D, Sym); };
  for (const pictrane::KeyAction& Key : Keys) {
    KeySym Sym = Key.Character;
    if (Key.Type == pictrane::KeyAction::Kind::Named) {
      const auto* Named = std::find_if(std::begin(kNamedKeys), std::end(kNamedKeys),
                                       [&Key](const auto& Pair) { return Pair.first == Key.Key; });
      if (Named == std::end(kNamedKeys)) return false;
      Sym = Named->second;
    }
    const KeyCode Main = Code(Sym);
    if (Main == 0) return false;
    std::vector<KeyCode> Held;
    if (Key.Modifiers & pictrane::kControl) Held.push_back(Code(XK_Control_L));
    if (Key.Modifiers & pictrane::kAlt) Held.push_back(Code(XK_Alt_L));
    if ((Key.Modifiers & pictrane::kShift) || XkbKeycodeToKeysym(D, Main, 0, 0) != Sym)
      Held.push_back(Code(XK_Shift_L));
    for (KeyCode Modifier : Held) XTestFakeKeyEvent(D, Modifier, True, CurrentTime);
    for (int Repeat = 0; Repeat < Key.Count; ++Repeat) {
      XTestFakeKeyEvent(D, Main, True, CurrentTime);
      XTestFakeKeyEvent(D, Main, False, CurrentTime);
    }
    for (auto It = Held.rbegin(); It != Held.rend(); ++It)
      XTestFakeKeyEvent(D, *It, False, CurrentTime);
  }
  return true;
}

bool GrabKeyboard(Display* D, unsigned long Window) {
  return XGrabKeyboard(D, Window, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
}

// The release needs no reply, but goes out at once: a grab left with us would take every key.
void ReleaseKeyboard(Display* D) {
  XUngrabKeyboard(D, CurrentTime);
  XFlush(D);
}

}  // namespace benchx11
