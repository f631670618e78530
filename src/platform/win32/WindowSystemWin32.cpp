// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/win32/WindowSystemWin32.h"

#include <iterator>

#include "platform/win32/Errors.h"
#include "platform/win32/KeyInput.h"
#include "platform/win32/MessageLoop.h"
#include "platform/win32/Translations.h"

namespace pictrane::win32 {

namespace {

// How long one round trip to a busy window may take before the wait gives up on it.
constexpr UINT kRoundTripTimeoutMs = 2000;

UINT SendInputs(std::vector<INPUT>& Inputs) {
  if (Inputs.empty()) return 0;
  return ::SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
}

}  // namespace

void WindowSystemWin32::MessageBox(const std::string& Text, MessageIcon Icon,
                                   const std::string& Title) {
  HWND Owner = ::GetActiveWindow();
  UINT Type = MB_OK | MB_SETFOREGROUND | MessageBoxIcon(Icon);
  if (Owner == nullptr) Type |= MB_TASKMODAL;
  ::MessageBoxW(Owner, Widen(Text).c_str(), Widen(Title).c_str(), Type);
}

void WindowSystemWin32::DoEvents() {
  PumpPendingMessages();
}

bool WindowSystemWin32::SendKeys(const KeyActions& Actions, ProcessId Target) {
  std::vector<INPUT> Inputs = KeyInputs(Actions);  // raises before anything is sent
  std::vector<INPUT> Held;  // virtual keys pressed and not yet released, in pressing order
  std::size_t Sent = 0;
  bool FocusMoved = false;
  DWORD Failure = ERROR_SUCCESS;
  for (INPUT& Input : Inputs) {
    if (BeforeKeyEvent_) BeforeKeyEvent_();
    if (!FocusBelongsTo(Target)) {
      FocusMoved = true;
      break;
    }
    if (::SendInput(1, &Input, sizeof(INPUT)) != 1) {
      Failure = ::GetLastError();
      break;
    }
    ++Sent;
    if ((Input.ki.dwFlags & KEYEVENTF_UNICODE) != 0) continue;
    if ((Input.ki.dwFlags & KEYEVENTF_KEYUP) == 0) {
      Held.push_back(Input);
    } else {
      for (auto It = Held.rbegin(); It != Held.rend(); ++It) {
        if (It->ki.wVk == Input.ki.wVk) {
          Held.erase(std::next(It).base());
          break;
        }
      }
    }
  }
  if (!Held.empty()) {
    // Stopped half-way: nothing may stay held, wherever the focus went.
    std::vector<INPUT> Releases;
    for (auto It = Held.rbegin(); It != Held.rend(); ++It) {
      INPUT Up = *It;
      Up.ki.dwFlags |= KEYEVENTF_KEYUP;
      Releases.push_back(Up);
    }
    SendInputs(Releases);
  }
  if (Failure != ERROR_SUCCESS)
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                      "The keys could not be sent (" + SystemMessage(Failure) + ")");
  WaitForForegroundInput(Sent);
  return !FocusMoved;
}

namespace {
BOOL CALLBACK PostCloseIfOwnedBy(HWND Window, LPARAM Process) {
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  if (static_cast<LPARAM>(Owner) == Process && ::IsWindowVisible(Window))
    ::PostMessageW(Window, WM_CLOSE, 0, 0);
  return TRUE;
}
}  // namespace

void WindowSystemWin32::CloseWindowsOf(ProcessId Process) {
  ::EnumWindows(PostCloseIfOwnedBy, static_cast<LPARAM>(Process));
}

bool WindowSystemWin32::FocusBelongsTo(ProcessId Process) {
  HWND Foreground = ::GetForegroundWindow();
  if (Foreground == nullptr) return false;
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Foreground, &Owner);
  return static_cast<ProcessId>(Owner) == Process;
}

void WaitForForegroundInput(std::size_t Events) {
  // Windows hands injected input to the foreground thread from a thread of its own; give it
  // a moment to do so (under Wine the input is queued before SendInput returns).
  ::Sleep(1);
  // A message sent to a window of another thread is handled the next time that thread asks for
  // a message, and each time it asks it takes at most one message off its queue. So once more
  // round trips have completed than there are messages (each event, and the character a key
  // press makes), the keys have all been taken and handled. An idle thread answers at once.
  const std::size_t Rounds = 2 * Events + 4;
  for (std::size_t Round = 0; Round < Rounds; ++Round) {
    HWND Foreground = ::GetForegroundWindow();
    if (Foreground == nullptr) return;
    if (::GetWindowThreadProcessId(Foreground, nullptr) == ::GetCurrentThreadId()) {
      // Our own window: the keys wait in our own queue.
      PumpPendingMessages();
      continue;
    }
    DWORD_PTR Ignored = 0;
    if (!::SendMessageTimeoutW(Foreground, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               kRoundTripTimeoutMs, &Ignored)) {
      return;  // hung or gone: waiting longer would not help
    }
  }
}

}  // namespace pictrane::win32
