// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "platform/KeyInjector.h"
#include "pictrane/win32/Win32.h"

namespace pictrane::win32 {

// Keys through SendInput, one call a batch (a key down and the key ups after it), so a window
// that comes forward mid-string gets at most the key already on its way. Windows has no keyboard
// grab another program could hold against the foreground window (input goes to the foreground
// thread, and what a low-level hook swallows cannot be seen from outside), so StillFree never
// answers KeyboardGrabbed.
// Others' keys are seen as raw input (WM_INPUT to a message-only window of this thread, whoever
// has the focus), read before every look: an event is ours when it carries kOwnInput
// (KeyInput.h); the user's keyboard and other programs' SendInput are others'. Keys held by
// others are raw input's and, confirming, GetAsyncKeyState's; a modifier is always asked of
// GetAsyncKeyState too, since one the system keeps down (locked) sends no key event.
class KeyboardWin32 final : public KeyInjector {
 public:
  KeyboardWin32() = default;
  // Stops the raw input once no keyboard of this process watches any more.
  ~KeyboardWin32() override;
  KeyboardWin32(const KeyboardWin32&) = delete;
  KeyboardWin32& operator=(const KeyboardWin32&) = delete;

  void Plan(const KeyActions& Actions) override;
  // Asks Target about the foreground window's process.
  KeysOutcome StillFree(KeyTarget& Target) override;
  bool HasNext() const override { return Next_ < Inputs_.size(); }
  std::size_t NextPress(std::size_t From) override;
  void Send(std::size_t Count) override;
  // Returns once the foreground thread has taken and handled every event (WaitForForegroundInput).
  KeysOutcome Finish(KeyTarget& Target, const std::function<void()>& Handed) override;
  void Abandon() noexcept override;

  void WatchKeyboard() override;
  bool OthersTyped() override;
  void ForgetOthersKeys() override;
  bool OthersHold() override;
  bool AskOthersHold() override;

  // Runs after every batch; lets tests move the foreground at a chosen one.
  void SetAfterKeyBatch(std::function<void()> Hook) { AfterKeyBatch_ = std::move(Hook); }

 private:
  // Registers for raw input on first use, and reads what has come of it.
  void ReadOthersKeys();
  // Releases what the string pressed and did not release, in reverse order; their count.
  std::size_t ReleaseHeld();

  std::function<void()> AfterKeyBatch_;
  bool Watching_ = false;
  std::vector<INPUT> Inputs_;
  std::size_t Next_ = 0;
  std::vector<INPUT> Held_;  // virtual keys pressed and not yet released, in pressing order
  std::size_t Pressed_ = 0;  // key downs sent
};

// Returns once the thread of the foreground window has taken and handled the input sent before,
// which makes at most Messages messages there (every key message and every character); or after
// a bounded wait. Sends one event more first, the hand-over's mark (KeyInput.h), which a hook
// keeps from every window.
void WaitForForegroundInput(std::size_t Messages);

}  // namespace pictrane::win32
