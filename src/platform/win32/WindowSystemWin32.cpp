#include "WindowSystemWin32.h"

#include "Errors.h"
#include "KeyInput.h"
#include "MessageLoop.h"
#include "Translations.h"

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
  if (!FocusBelongsTo(Target)) return false;
  const UINT Sent = SendInputs(Inputs);
  if (Sent != Inputs.size()) {
    const DWORD Code = ::GetLastError();
    std::vector<INPUT> Releases = ModifierReleases();
    SendInputs(Releases);
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                      "The keys could not be sent (" + SystemMessage(Code) + ")");
  }
  WaitForForegroundInput(Inputs.size());
  return true;
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
