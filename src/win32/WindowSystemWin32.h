// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <vector>

#include "platform/WindowSystem.h"

namespace pictrane::win32 {

class WindowSystemWin32 final : public WindowSystem {
 public:
  WindowSystemWin32() = default;
  // Lets go of the keyboard hook once no window system of this process watches any more.
  ~WindowSystemWin32() override;
  WindowSystemWin32(const WindowSystemWin32&) = delete;
  WindowSystemWin32& operator=(const WindowSystemWin32&) = delete;

  // Modal to the program's active window, or to all of its windows when none is active.
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  // Sends the events one at a time, each after asking Target about the foreground window's
  // process, so a window that comes forward mid-string gets at most the event already on its way;
  // then stops, releases whatever it holds and returns FocusLost. Windows has no keyboard grab
  // another program could hold against the foreground window (input goes to the foreground
  // thread, and what a low-level hook swallows cannot be seen from outside), so nothing more is
  // checked and KeyboardGrabbed never comes back.
  // Others' keys are seen by a low-level keyboard hook (WH_KEYBOARD_LL), installed with the first
  // string and run on this thread, which lets it run before every event: an event is ours when
  // it is injected (LLKHF_INJECTED) and carries kOwnInput (KeyInput.h); the user's keyboard and
  // other programs' SendInput are others'. The hook runs before the foreground window gets an
  // event, so one of others stops the string before any more of ours go. Keys held by others
  // are the hook's and, confirming, GetAsyncKeyState's.
  KeysOutcome SendKeys(const KeyActions& Actions, KeyTarget& Target, KeyPacing& Pacing) override;
  void WatchKeyboard() override;
  bool OthersHoldKeys() override;
  KeysOutcome SendKeys(const KeyActions& Actions, KeyTarget& Target) {
    NoPacing Unpaced;
    return SendKeys(Actions, Target, Unpaced);
  }
  // The same for the windows of Target alone; true when every event went out.
  bool SendKeys(const KeyActions& Actions, ProcessId Target);
  ProcessId FocusedProcess() override;
  // From a process snapshot; 0 when the recorded parent is younger than Process (its id was
  // given again after the real parent ended) or cannot be told.
  bool ShowWindow(ProcessId Process, int TimeoutMs) override;
  std::vector<TopLevelWindow> TopLevelWindows() override;
  // Posts WM_CLOSE, no keystroke, to every visible top-level window of Process, and to those
  // made to be shown (a caption, no owner) but still hidden.
  bool CloseWindowsOf(ProcessId Process) override;

  // Runs before every input event (before the focus check); lets tests move the foreground at
  // a chosen event.
  void SetBeforeKeyEvent(std::function<void()> Hook) { BeforeKeyEvent_ = std::move(Hook); }

 private:
  // Installs the hook on first use and has it take the events waiting for it.
  void RunHook();

  std::function<void()> BeforeKeyEvent_;
  bool Hooked_ = false;
};

// Returns once the thread of the foreground window has taken and handled the input of ours that
// the keyboard hook has passed on, up to Passed events in all, which make at most Messages
// messages there (every key message and every character); or after a bounded wait. Sends one
// event more first, the hand-over's mark (KeyInput.h), which the hook keeps from every window.
void WaitForForegroundInput(std::size_t Passed, std::size_t Messages);

}  // namespace pictrane::win32
