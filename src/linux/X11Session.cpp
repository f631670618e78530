// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/X11Session.h"

#include <utility>

#include "linux/X11Connection.h"
#include "linux/X11Keyboard.h"
#include "linux/X11Windows.h"

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
  // Others' keys, from the raw events that have come (no round trip unless they tell of a key
  // held): those since the previous string where the pacing says they count.
  S.Connection.DrainEvents();
  if (!Pacing.EarlierKeysCount()) S.Keyboard.Forgive();
  if (S.Keyboard.OthersTyped()) return KeysOutcome::OthersKeys;
  if (S.Keyboard.OthersHold()) return KeysOutcome::KeysHeld;
  const auto Others = [&S, &Outcome] {
    if (!S.Keyboard.OthersTyped()) return false;
    Outcome = KeysOutcome::OthersKeys;
    return true;
  };
  bool All = false;
  try {
    All = S.Keyboard.Type(
        Plan,
        [&S, &Target, &Outcome, &Others] {
          const bool Watched = S.Windows.FocusStillWatched();  // reads what has come
          if (Others()) return false;
          if (Watched) return true;
          // The focus moved, or a grab began: where to is looked at before the next event.
          Outcome = S.Windows.WatchFocus(Target);
          return Outcome == KeysOutcome::Sent && !Others();
        },
        [&S, &Pacing] { S.Windows.CloseLook([&Pacing] { Pacing.Handed(); }); });
  } catch (...) {
    // The server has taken what went out (the failed string's last round trip).
    S.Connection.DrainEvents();
    S.Keyboard.EndOfString();
    throw;
  }
  // The closing round trip brought the raw events of every key sent, others' before them too.
  S.Connection.DrainEvents();
  S.Keyboard.EndOfString();
  if (Outcome == KeysOutcome::Sent) Others();
  if (All || Outcome != KeysOutcome::Sent) return Outcome;
  return KeysOutcome::FocusLost;
}

bool X11Session::OthersHoldKeys() {
  S_->Connection.DrainEvents();
  return S_->Keyboard.QueryOthersHold();
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

bool X11Session::CloseWindowsOf(ProcessId Process) {
  return S_->Windows.CloseWindowsOf(Process);
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
