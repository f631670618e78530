// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/X11Session.h"

#include <utility>

#include "platform/linux/X11Connection.h"
#include "platform/linux/X11Keyboard.h"
#include "platform/linux/X11Windows.h"

namespace pictrane::linux_desktop {

// Members end in reverse order: the keymap is given back (which pumps events to both parts)
// before the windows part ends and the display closes.
struct X11Session::State {
  x11::Connection Connection;
  x11::X11Windows Windows{Connection};
  x11::X11Keyboard Keyboard{Connection};

  State() {
    Connection.OnEvent = [this](XEvent& Event) {
      Keyboard.HandleEvent(Event);
      Windows.HandleEvent(Event);
    };
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;
};

X11Session::X11Session(std::unique_ptr<State> Session) : S_(std::move(Session)) {}

X11Session::~X11Session() = default;

std::unique_ptr<X11Session> X11Session::Open() {
  return std::unique_ptr<X11Session>(new X11Session(std::make_unique<State>()));
}

KeysOutcome X11Session::SendKeys(const KeyActions& Actions, KeyTarget& Target, KeyPacing& Pacing) {
  State& S = *S_;
  S.Connection.DrainEvents();
  x11::TypingPlan Plan = S.Keyboard.Resolve(Actions);  // raises before any key
  Pacing.BeforeFirstKey();
  KeysOutcome Outcome = S.Windows.WatchFocus(Target);
  if (Outcome != KeysOutcome::Sent) return Outcome;
  // The keymap changed during the pause: the plan is made again from the new one.
  if (S.Keyboard.Stale()) Plan = S.Keyboard.Resolve(Actions);
  const bool All = S.Keyboard.Type(
      Plan,
      [&S, &Target, &Outcome] {
        if (S.Windows.FocusStillWatched()) return true;
        // The focus moved, or a grab began: where to is looked at before the next event.
        Outcome = S.Windows.WatchFocus(Target);
        return Outcome == KeysOutcome::Sent;
      },
      [&S, &Pacing] { S.Windows.CloseLook([&Pacing] { Pacing.Handed(); }); });
  if (All) return KeysOutcome::Sent;
  return Outcome == KeysOutcome::Sent ? KeysOutcome::FocusLost : Outcome;
}

bool X11Session::SendKeys(const KeyActions& Actions, ProcessId Target) {
  OneProcess Only(Target);
  return SendKeys(Actions, Only) == KeysOutcome::Sent;
}

std::vector<TopLevelWindow> X11Session::TopLevelWindows() {
  return S_->Windows.TopLevelWindows();
}

ProcessId X11Session::FocusedProcess() {
  return S_->Windows.FocusedProcess();
}

bool X11Session::ShowMaximisedWithFocus(ProcessId Process, int TimeoutMs) {
  return S_->Windows.ShowMaximisedWithFocus(Process, TimeoutMs);
}

void X11Session::CloseWindowsOf(ProcessId Process) {
  S_->Windows.CloseWindowsOf(Process);
}

bool X11Session::FocusWindow(X11Window Window, int TimeoutMs) {
  return S_->Windows.FocusWindow(static_cast<::Window>(Window), TimeoutMs);
}

void X11Session::SetBeforeKeyEvent(std::function<void()> Hook) {
  S_->Keyboard.BeforeKeyEvent = std::move(Hook);
}

int X11Session::SpareKeycodeCount() const {
  return S_->Keyboard.SpareKeycodeCount();
}

}  // namespace pictrane::linux_desktop
