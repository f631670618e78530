// SPDX-License-Identifier: GPL-3.0-or-later
// The probe's keys: another X client typing through XTEST while the session types.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdexcept>
#include <string>

#include "X11TestSupport.h"

namespace x11test {

void Probe::FakeKey(const char* Keysym, bool Press, bool Wait) {
  const KeyCode Code = XKeysymToKeycode(D_, XStringToKeysym(Keysym));
  if (Code == 0) throw std::runtime_error(std::string("no key for ") + Keysym);
  XTestFakeKeyEvent(D_, Code, Press ? True : False, CurrentTime);
  Wait ? XSync(D_, False) : XFlush(D_);
}

void Probe::Sync() {
  XSync(D_, False);
}

void Probe::ReadyToType() {
  int Event = 0, Error = 0, Major = 0, Minor = 0;
  XTestQueryExtension(D_, &Event, &Error, &Major, &Minor);
  Major = XkbMajorVersion;
  Minor = XkbMinorVersion;
  XkbQueryExtension(D_, nullptr, &Event, &Error, &Major, &Minor);
  // Xlib reads the keymap on the first look-up.
  XKeysymToKeycode(D_, XK_Shift_L);
  XkbKeysymToModifiers(D_, XK_Shift_L);
  XSync(D_, False);
}

void Probe::LockModifier(const char* Keysym, bool Lock, bool Wait) {
  const unsigned Mask = XkbKeysymToModifiers(D_, XStringToKeysym(Keysym));
  if (Mask == 0) throw std::runtime_error(std::string("no modifier for ") + Keysym);
  XkbLockModifiers(D_, XkbUseCoreKbd, Mask, Lock ? Mask : 0);
  Wait ? XSync(D_, False) : XFlush(D_);
}

void Probe::Modifier(const char* Keysym, bool Locked, bool On, bool Wait) {
  Locked ? LockModifier(Keysym, On, Wait) : FakeKey(Keysym, On, Wait);
}

}  // namespace x11test
