// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/WindowSystemWin32.h"

#include "pictrane/win32/Win32.h"

#include <tlhelp32.h>

#include <bitset>
#include <cstdint>
#include <iterator>
#include <optional>

#include "win32/TimingsWin32.h"
#include "pictrane/win32/Errors.h"
#include "win32/KeyInput.h"
#include "win32/MessageLoop.h"
#include "win32/Translations.h"

namespace pictrane::win32 {

namespace {

constexpr auto kRoundTripTimeoutMs = static_cast<UINT>(kRoundTripWaitMs);

UINT SendInputs(std::vector<INPUT>& Inputs) {
  if (Inputs.empty()) return 0;
  return ::SendInput(static_cast<UINT>(Inputs.size()), Inputs.data(), sizeof(INPUT));
}

// What the low-level hook has seen of others' keys. It runs on the thread that installed it,
// the user-interface thread, whenever that thread looks at its messages.
struct KeyboardWatch {
  HHOOK Hook = nullptr;
  int Users = 0;  // window systems of this process that installed it
  bool OthersTyped = false;
  std::bitset<256> OthersDown;
  std::size_t OwnPassed = 0;  // events of ours the hook has passed on
};
KeyboardWatch gWatch;

LRESULT CALLBACK WatchKeys(int Code, WPARAM Message, LPARAM Data) {
  if (Code == HC_ACTION) {
    const auto& Key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(Data);
    if ((Key.flags & LLKHF_INJECTED) != 0 && Key.dwExtraInfo == kHandOverInput) {
      ++gWatch.OwnPassed;
      return 1;  // the hand-over's mark: no window gets it
    }
    if ((Key.flags & LLKHF_INJECTED) == 0 || Key.dwExtraInfo != kOwnInput) {
      gWatch.OthersTyped = true;
      if (Key.vkCode < gWatch.OthersDown.size())
        gWatch.OthersDown[Key.vkCode] = (Key.flags & LLKHF_UP) == 0;
    } else {
      ++gWatch.OwnPassed;
    }
  }
  return ::CallNextHookEx(nullptr, Code, Message, Data);
}

// The keys the system holds down now (the mouse buttons aside); between strings we hold none.
std::bitset<256> KeysDownNow() {
  std::bitset<256> Down;
  for (int Key = VK_BACK; Key < 0xFF; ++Key)
    if (Key != VK_PACKET && (::GetAsyncKeyState(Key) & 0x8000) != 0)
      Down[static_cast<std::size_t>(Key)] = true;
  return Down;
}

struct WindowSearch {
  DWORD Process;
  HWND Found;
};

BOOL CALLBACK FindMainWindow(HWND Window, LPARAM Parameter) {
  auto* Search = reinterpret_cast<WindowSearch*>(Parameter);
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  if (Owner != Search->Process || !::IsWindowVisible(Window) ||
      ::GetWindow(Window, GW_OWNER) != nullptr) {
    return TRUE;
  }
  Search->Found = Window;
  return FALSE;
}

bool ForegroundBelongsTo(DWORD Process) {
  HWND Foreground = ::GetForegroundWindow();
  DWORD Owner = 0;
  if (Foreground != nullptr) ::GetWindowThreadProcessId(Foreground, &Owner);
  return Foreground != nullptr && Owner == Process;
}

}  // namespace

WindowSystemWin32::~WindowSystemWin32() {
  if (Hooked_ && --gWatch.Users == 0) {
    ::UnhookWindowsHookEx(gWatch.Hook);
    gWatch.Hook = nullptr;
  }
}

void WindowSystemWin32::RunHook() {
  if (!Hooked_) {
    if (gWatch.Users == 0) {
      gWatch.Hook = ::SetWindowsHookExW(WH_KEYBOARD_LL, WatchKeys, ::GetModuleHandleW(nullptr), 0);
      if (gWatch.Hook == nullptr)
        throw RaisedError(
            ErrorNumber::InvalidProcedureCall, kErrorSource,
            "The keyboard cannot be watched (" + SystemMessage(::GetLastError()) + ")");
      gWatch.OthersDown = KeysDownNow();  // what is down already is others'
    }
    ++gWatch.Users;
    Hooked_ = true;
  }
  // The hook's calls wait as sent messages: handled here, the posted ones left in the queue.
  MSG Ignored;
  ::PeekMessageW(&Ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

void WindowSystemWin32::WatchKeyboard() {
  RunHook();
}

bool WindowSystemWin32::OthersHoldKeys() {
  RunHook();
  gWatch.OthersDown = KeysDownNow();
  return gWatch.OthersDown.any();
}

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

KeysOutcome WindowSystemWin32::SendKeys(const KeyActions& Actions, KeyTarget& Target,
                                        KeyPacing& Pacing) {
  std::vector<INPUT> Inputs = KeyInputs(Actions);  // raises before anything is sent
  Pacing.BeforeFirstKey();
  // Others' keys since the previous string, where the pacing says they count.
  RunHook();
  if (!Pacing.EarlierKeysCount()) gWatch.OthersTyped = false;
  if (gWatch.OthersTyped) return KeysOutcome::OthersKeys;
  if (gWatch.OthersDown.any() && OthersHoldKeys()) return KeysOutcome::KeysHeld;
  const auto FocusOwned = [this, &Target] {
    for (;;) {
      const KeyTarget::Verdict Verdict = Target.Judge(FocusedProcess());
      if (Verdict != KeyTarget::Verdict::AskAgain) return Verdict == KeyTarget::Verdict::Owned;
    }
  };
  std::vector<INPUT> Held;  // virtual keys pressed and not yet released, in pressing order
  std::size_t Sent = 0, Pressed = 0;
  const std::size_t PassedBefore = gWatch.OwnPassed;
  bool FocusMoved = false;
  DWORD Failure = ERROR_SUCCESS;
  for (INPUT& Input : Inputs) {
    if (BeforeKeyEvent_) BeforeKeyEvent_();
    RunHook();
    if (gWatch.OthersTyped) break;
    if (!FocusOwned()) {
      FocusMoved = true;
      break;
    }
    if (::SendInput(1, &Input, sizeof(INPUT)) != 1) {
      Failure = ::GetLastError();
      break;
    }
    ++Sent;
    if ((Input.ki.dwFlags & KEYEVENTF_KEYUP) == 0) ++Pressed;
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
  // Each key up is one message to the foreground thread, each key down one and the character it
  // may make another; the releases after a stop are key ups.
  WaitForForegroundInput(PassedBefore + Sent + Held.size(), Sent + Pressed + Held.size());
  RunHook();  // the events of others that came before our last
  Pacing.Handed();
  if (FocusMoved) return KeysOutcome::FocusLost;
  return gWatch.OthersTyped ? KeysOutcome::OthersKeys : KeysOutcome::Sent;
}

namespace {
BOOL CALLBACK CollectTopLevel(HWND Window, LPARAM Parameter) {
  if (!::IsWindowVisible(Window) || ::GetWindow(Window, GW_OWNER) != nullptr) return TRUE;
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  reinterpret_cast<std::vector<TopLevelWindow>*>(Parameter)->push_back(
      TopLevelWindow{static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(Window)),
                     Owner != 0 ? static_cast<ProcessId>(Owner) : kUnknownProcess});
  return TRUE;
}
}  // namespace

bool WindowSystemWin32::SendKeys(const KeyActions& Actions, ProcessId Target) {
  OneProcess Only(Target);
  return SendKeys(Actions, Only) == KeysOutcome::Sent;
}

ProcessId WindowSystemWin32::FocusedProcess() {
  HWND Foreground = ::GetForegroundWindow();
  if (Foreground == nullptr) return 0;
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Foreground, &Owner);
  return Owner != 0 ? static_cast<ProcessId>(Owner) : kUnknownProcess;
}

bool WindowSystemWin32::ShowWindow(ProcessId Process, int TimeoutMs) {
  const auto Id = static_cast<DWORD>(Process);
  const ULONGLONG Deadline =
      ::GetTickCount64() + static_cast<ULONGLONG>(TimeoutMs > 0 ? TimeoutMs : 0);
  for (;;) {
    WindowSearch Search{Id, nullptr};
    ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&Search));
    if (Search.Found != nullptr) {
      if (ForegroundBelongsTo(Id)) return true;
      // Started maximised by its start-up record already; here it only comes forward.
      ::SetForegroundWindow(Search.Found);
      if (ForegroundBelongsTo(Id)) return true;
    }
    if (::GetTickCount64() >= Deadline) return false;
    ::Sleep(static_cast<DWORD>(kForegroundPollMs));
  }
}

std::vector<TopLevelWindow> WindowSystemWin32::TopLevelWindows() {
  std::vector<TopLevelWindow> Found;  // EnumWindows goes from the top of the z-order down
  ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

namespace {
struct CloseRequest {
  DWORD Process;
  bool Asked;
};

// A program still starting may have made its main window without showing it yet: a hidden
// top-level window with a caption (the system's own hidden windows, such as the input method's,
// have none).
BOOL CALLBACK PostCloseIfOwnedBy(HWND Window, LPARAM Parameter) {
  auto& Request = *reinterpret_cast<CloseRequest*>(Parameter);
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  if (Owner != Request.Process) return TRUE;
  const bool Unshown = !::IsWindowVisible(Window) && ::GetWindow(Window, GW_OWNER) == nullptr &&
                       (::GetWindowLongW(Window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION;
  if (::IsWindowVisible(Window) || Unshown) {
    ::PostMessageW(Window, WM_CLOSE, 0, 0);
    Request.Asked = true;
  }
  return TRUE;
}
}  // namespace

bool WindowSystemWin32::CloseWindowsOf(ProcessId Process) {
  CloseRequest Request{static_cast<DWORD>(Process), false};
  ::EnumWindows(PostCloseIfOwnedBy, reinterpret_cast<LPARAM>(&Request));
  return Request.Asked;
}

namespace {
// Marks a pixel for painting in the window that shows it at a corner or the middle of Window's
// client area, Window itself or the child window over it there (what a child covers may be left
// to the child, WS_CLIPCHILDREN), provided that window belongs to Window's thread and the pixel
// lies in its client area. Returns the marked window, or nullptr when none could be: a window
// hidden, minimised or without a client area gets no WM_PAINT.
HWND MarkForPaint(HWND Window) {
  RECT Client{};
  if (!::IsWindowVisible(Window) || ::IsIconic(Window) || !::GetClientRect(Window, &Client) ||
      ::IsRectEmpty(&Client))
    return nullptr;
  const DWORD Thread = ::GetWindowThreadProcessId(Window, nullptr);
  const POINT Spots[] = {{Client.left, Client.top},
                         {Client.right - 1, Client.top},
                         {Client.left, Client.bottom - 1},
                         {Client.right - 1, Client.bottom - 1},
                         {(Client.left + Client.right) / 2, (Client.top + Client.bottom) / 2}};
  for (POINT At : Spots) {
    HWND Shown = Window;
    for (int Depth = 0; Depth < 16; ++Depth) {
      HWND Child = ::ChildWindowFromPointEx(Shown, At, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
      if (Child == nullptr || Child == Shown) break;
      ::MapWindowPoints(Shown, Child, &At, 1);
      Shown = Child;
    }
    RECT Own{};
    if (::GetWindowThreadProcessId(Shown, nullptr) != Thread || !::GetClientRect(Shown, &Own) ||
        !::PtInRect(&Own, At))
      continue;
    const RECT Pixel{At.x, At.y, At.x + 1, At.y + 1};
    if (::InvalidateRect(Shown, &Pixel, FALSE)) return Shown;
  }
  return nullptr;
}

// Whether Window's update region is empty; false too when it cannot be told.
bool Painted(HWND Window) {
  HRGN Region = ::CreateRectRgn(0, 0, 0, 0);
  if (Region == nullptr) return false;
  const int Kind = ::GetUpdateRgn(Window, Region, FALSE);
  ::DeleteObject(Region);
  return Kind == NULLREGION;
}
}  // namespace

void WaitForForegroundInput(std::size_t Passed, std::size_t Messages) {
  // Our low-level hook sees each of our events before the foreground thread's queue gets it: the
  // system's input thread passes an event on once the hook has returned, and only then takes the
  // next. So one event more, which the hook keeps from everyone, is seen only once every event of
  // the string is in that queue (under Wine the hook runs within SendInput and the event is
  // queued before SendInput returns; on Windows the input thread calls the hook through this
  // thread's queue).
  if (gWatch.Hook != nullptr) {
    INPUT Mark = HandOverMark();
    if (::SendInput(1, &Mark, sizeof Mark) == 1) ++Passed;
  }
  const ULONGLONG Deadline = ::GetTickCount64() + kRoundTripTimeoutMs;
  while (gWatch.Hook != nullptr && gWatch.OwnPassed < Passed && ::GetTickCount64() < Deadline) {
    MSG Ignored;
    ::PeekMessageW(&Ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    if (gWatch.OwnPassed < Passed)
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
  }
  // A thread gets WM_PAINT only when asking finds neither a sent, a posted nor an input message
  // waiting, and the characters TranslateMessage makes are posted ones. So a pixel of one of the
  // foreground thread's windows marked once all our events are queued, and found painted (its
  // update region empty), proves the thread has taken and handled them all and asked again. The
  // round trips in between only wait for the thread: each returns once it has asked for a message
  // again, an idle thread's at once, so an idle thread takes one and then the paint.
  // Counting round trips proves nothing: one ask handles every message sent until it finds none,
  // so a round trip sent the moment the one before came back may be taken within the same ask.
  // It only bounds the wait where no pixel can be marked (a window hidden, minimised or without
  // a client area), and where a mark stays unpainted (a window that never paints) once the
  // thread has also been given a round trip's wait.
  HWND Marked = nullptr;
  DWORD MarkedThread = 0;
  ULONGLONG MarkedAt = 0;
  for (std::size_t Round = 0;; ++Round) {
    if (Round > Messages &&
        (Marked == nullptr || ::GetTickCount64() - MarkedAt > kRoundTripTimeoutMs))
      return;
    HWND Foreground = ::GetForegroundWindow();
    if (Foreground == nullptr) return;
    const DWORD Thread = ::GetWindowThreadProcessId(Foreground, nullptr);
    if (Thread == ::GetCurrentThreadId()) {
      // Our own window: the keys wait in our own queue.
      PumpPendingMessages();
      return;
    }
    if (Marked == nullptr && (MarkedThread == 0 || MarkedThread == Thread)) {
      // A window of the thread that took the keys, at the start or after the marked one went.
      MarkedThread = Thread;
      Marked = MarkForPaint(Foreground);
      MarkedAt = ::GetTickCount64();
    }
    DWORD_PTR Ignored = 0;
    if (!::SendMessageTimeoutW(Marked != nullptr ? Marked : Foreground, WM_NULL, 0, 0,
                               SMTO_NORMAL | SMTO_ABORTIFHUNG, kRoundTripTimeoutMs, &Ignored)) {
      return;  // hung or gone: waiting longer would not help
    }
    if (Marked != nullptr) {
      const bool Done = Painted(Marked);
      // A window hidden or destroyed loses its update region unpainted.
      if (!::IsWindowVisible(Marked))
        Marked = nullptr;
      else if (Done)
        return;
    }
  }
}

}  // namespace pictrane::win32
