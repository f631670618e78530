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

void X11Session::Plan(const KeyActions& Actions) {
  S_->Connection.DrainEvents();
  S_->Keyboard.Prepare(Actions);  // raises before any key
  Looked_ = false;
}

KeysOutcome X11Session::StillFree(KeyTarget& Target) {
  State& S = *S_;
  if (!std::exchange(Looked_, true)) {
    const KeysOutcome Outcome = S.Windows.WatchFocus(Target);
    if (Outcome != KeysOutcome::Sent) return Outcome;
    // The keymap changed during the pause: the plan is made again from the new one.
    S.Keyboard.Refresh();
    // Others' keys from the raw events that have come (no round trip).
    S.Connection.DrainEvents();
    return KeysOutcome::Sent;
  }
  // Reads what has come; others' keys stop the string before any look costs a round trip.
  if (S.Windows.FocusStillWatched() || S.Keyboard.OthersTyped()) return KeysOutcome::Sent;
  // The focus moved, or a grab began: where to is looked at before the next event.
  return S.Windows.WatchFocus(Target);
}

bool X11Session::HasNext() const {
  return S_->Keyboard.HasNext();
}

std::size_t X11Session::NextPress(std::size_t From) {
  return S_->Keyboard.NextPress(From);
}

void X11Session::Send(std::size_t Count) {
  S_->Keyboard.Send(Count);
}

KeysOutcome X11Session::Finish(KeyTarget& Target, const std::function<void()>& Handed) {
  State& S = *S_;
  const bool Whole = !S.Keyboard.HasNext();
  try {
    S.Keyboard.End([&S, &Handed] { S.Windows.CloseLook(Handed); });
  } catch (...) {
    // The server has taken what went out (the failed string's last round trip).
    S.Connection.DrainEvents();
    S.Keyboard.EndOfString();
    throw;
  }
  // The closing round trip brought the raw events of every key sent, others' before them too,
  // and any focus change that came before the last key was delivered.
  S.Connection.DrainEvents();
  S.Keyboard.EndOfString();
  return Whole ? StillFree(Target) : KeysOutcome::Sent;
}

void X11Session::Abandon() noexcept {
  S_->Keyboard.Abandon();
  S_->Connection.DrainEvents();
  S_->Keyboard.EndOfString();
}

bool X11Session::OthersTyped() {
  return S_->Keyboard.OthersTyped();
}

void X11Session::ForgetOthersKeys() {
  S_->Keyboard.Forgive();
}

bool X11Session::OthersHold() {
  return S_->Keyboard.OthersHold();
}

bool X11Session::AskOthersHold() {
  S_->Connection.DrainEvents();
  return S_->Keyboard.QueryOthersHold();
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

void X11Session::SetAfterKeyEvent(std::function<void()> Hook) {
  S_->Keyboard.AfterKeyEvent = std::move(Hook);
}

int X11Session::SpareKeycodeCount() const {
  return S_->Keyboard.SpareKeycodeCount();
}

}  // namespace pictrane::linux_desktop
