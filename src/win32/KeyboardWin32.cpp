// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/KeyboardWin32.h"

#include <algorithm>
#include <bitset>
#include <iterator>

#include "pictrane/RaisedError.h"
#include "pictrane/win32/Errors.h"
#include "win32/KeyInput.h"
#include "win32/MessageLoop.h"
#include "win32/TimingsWin32.h"
#include "win32/Translations.h"

namespace pictrane::win32 {

namespace {

constexpr auto kRoundTripTimeoutMs = static_cast<UINT>(kRoundTripWaitMs);

// What the program has seen of others' keys, from raw input: every keyboard event reaches a
// message-only window of the user-interface thread as WM_INPUT, whoever has the focus
// (RIDEV_INPUTSINK), carrying the dwExtraInfo it was sent with. Costs no more than reading the
// messages, where a low-level hook would be called through the system for every event.
struct KeyboardWatch {
  HWND Window = nullptr;
  int Users = 0;  // keyboards of this process that watch
  bool OthersTyped = false;
  // Keys others hold: by scan code (256 more for the E0 ones), else by virtual key from 512 on.
  std::bitset<768> OthersDown;
  bool MarkSeen = false;  // the hand-over's hook has taken the mark
};
KeyboardWatch gWatch;

constexpr std::size_t kVirtualKeys = 512;
constexpr int kModifierKeys[] = {VK_SHIFT, VK_CONTROL, VK_MENU, VK_LWIN, VK_RWIN};
constexpr const wchar_t* kWatchClass = L"PictraneKeyboardWatch";

void NoteRawInput(LPARAM Handle) {
  RAWINPUT Input{};
  UINT Size = sizeof Input;
  if (::GetRawInputData(reinterpret_cast<HRAWINPUT>(Handle), RID_INPUT, &Input, &Size,
                        sizeof(RAWINPUTHEADER)) == static_cast<UINT>(-1) ||
      Input.header.dwType != RIM_TYPEKEYBOARD)
    return;
  const RAWKEYBOARD& Key = Input.data.keyboard;
  if (Key.ExtraInformation == kOwnInput || Key.ExtraInformation == kHandOverInput) return;
  gWatch.OthersTyped = true;
  const std::size_t Index = Key.MakeCode != 0
                                ? (Key.MakeCode & 0xFFU) + ((Key.Flags & RI_KEY_E0) != 0 ? 256 : 0)
                                : kVirtualKeys + (Key.VKey & 0xFFU);
  gWatch.OthersDown[Index] = (Key.Flags & RI_KEY_BREAK) == 0;
}

LRESULT CALLBACK WatchWindow(HWND Window, UINT Message, WPARAM W, LPARAM L) {
  if (Message == WM_INPUT) NoteRawInput(L);  // also when another message loop takes it
  return ::DefWindowProcW(Window, Message, W, L);
}

// The keys the system holds down now (the mouse buttons aside), by virtual key; between strings
// we hold none.
std::bitset<768> KeysDownNow() {
  std::bitset<768> Down;
  for (int Key = VK_BACK; Key < 0xFF; ++Key)
    if (Key != VK_PACKET && (::GetAsyncKeyState(Key) & 0x8000) != 0)
      Down[kVirtualKeys + static_cast<std::size_t>(Key)] = true;
  return Down;
}

// The hand-over's hook, installed only while a mark is on its way: it takes the mark out of the
// input stream before any window sees it.
LRESULT CALLBACK SwallowMark(int Code, WPARAM Message, LPARAM Data) {
  if (Code == HC_ACTION) {
    const auto& Key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(Data);
    if ((Key.flags & LLKHF_INJECTED) != 0 && Key.dwExtraInfo == kHandOverInput) {
      gWatch.MarkSeen = true;
      return 1;
    }
  }
  return ::CallNextHookEx(nullptr, Code, Message, Data);
}

}  // namespace

KeyboardWin32::~KeyboardWin32() {
  if (Watching_ && --gWatch.Users == 0) {
    RAWINPUTDEVICE Device{0x01, 0x06, RIDEV_REMOVE, nullptr};
    ::RegisterRawInputDevices(&Device, 1, sizeof Device);
    ::DestroyWindow(gWatch.Window);
    gWatch.Window = nullptr;
  }
}

void KeyboardWin32::ReadOthersKeys() {
  if (!Watching_) {
    if (gWatch.Users == 0) {
      const HINSTANCE Module = ::GetModuleHandleW(nullptr);
      WNDCLASSW Class{};
      Class.lpfnWndProc = WatchWindow;
      Class.hInstance = Module;
      Class.lpszClassName = kWatchClass;
      ::RegisterClassW(&Class);  // fails harmlessly once registered
      gWatch.Window = ::CreateWindowExW(0, kWatchClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        Module, nullptr);
      // The generic desktop's keyboards (usage page 1, usage 6).
      RAWINPUTDEVICE Device{0x01, 0x06, RIDEV_INPUTSINK, gWatch.Window};
      if (gWatch.Window == nullptr || !::RegisterRawInputDevices(&Device, 1, sizeof Device)) {
        const DWORD Error = ::GetLastError();
        if (gWatch.Window != nullptr) ::DestroyWindow(gWatch.Window);
        gWatch.Window = nullptr;
        throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                          "The keyboard cannot be watched (" + SystemMessage(Error) + ")");
      }
      gWatch.OthersDown = KeysDownNow();  // what is down already is others'
    }
    ++gWatch.Users;
    Watching_ = true;
  }
  MSG Message;
  while (::PeekMessageW(&Message, gWatch.Window, WM_INPUT, WM_INPUT, PM_REMOVE))
    ::DispatchMessageW(&Message);
}

void KeyboardWin32::WatchKeyboard() {
  ReadOthersKeys();
}

bool KeyboardWin32::OthersTyped() {
  return gWatch.OthersTyped;
}

void KeyboardWin32::ForgetOthersKeys() {
  gWatch.OthersTyped = false;
}

bool KeyboardWin32::OthersHold() {
  // A modifier the system holds with no key event of others (one locked by the accessibility
  // keys, or one Wine takes over from the X server's locks) shows only in the key state, which
  // costs no round trip to ask: it is asked before every string.
  const bool ModifierDown =
      std::any_of(std::begin(kModifierKeys), std::end(kModifierKeys),
                  [](int Key) { return (::GetAsyncKeyState(Key) & 0x8000) != 0; });
  return (ModifierDown || gWatch.OthersDown.any()) && AskOthersHold();
}

bool KeyboardWin32::AskOthersHold() {
  ReadOthersKeys();
  gWatch.OthersDown = KeysDownNow();
  return gWatch.OthersDown.any();
}

void KeyboardWin32::Plan(const KeyActions& Actions) {
  Inputs_ = KeyInputs(Actions);  // raises before anything is sent
  Next_ = 0;
  Held_.clear();
  Pressed_ = 0;
}

KeysOutcome KeyboardWin32::StillFree(KeyTarget& Target) {
  ReadOthersKeys();  // others' keys that came before this look
  for (;;) {
    const KeyTarget::Verdict Verdict = Target.Judge(ForegroundProcess());
    if (Verdict != KeyTarget::Verdict::AskAgain)
      return Verdict == KeyTarget::Verdict::Owned ? KeysOutcome::Sent : KeysOutcome::FocusLost;
  }
}

std::size_t KeyboardWin32::NextPress(std::size_t From) {
  for (std::size_t I = Next_ + From; I < Inputs_.size(); ++I)
    if ((Inputs_[I].ki.dwFlags & KEYEVENTF_KEYUP) == 0) return I - Next_;
  return Inputs_.size() - Next_;
}

void KeyboardWin32::Send(std::size_t Count) {
  // One call: nothing of others' comes between a batch's events.
  const std::size_t End = Next_ + Count;
  const UINT Sent = ::SendInput(static_cast<UINT>(End - Next_), &Inputs_[Next_], sizeof(INPUT));
  const DWORD Error = ::GetLastError();
  for (const std::size_t Until = Next_ + Sent; Next_ < Until; ++Next_) {
    const INPUT& Input = Inputs_[Next_];
    if ((Input.ki.dwFlags & KEYEVENTF_KEYUP) == 0) ++Pressed_;
    if ((Input.ki.dwFlags & KEYEVENTF_UNICODE) != 0) continue;
    if ((Input.ki.dwFlags & KEYEVENTF_KEYUP) == 0) {
      Held_.push_back(Input);
      continue;
    }
    for (auto It = Held_.rbegin(); It != Held_.rend(); ++It) {
      if (It->ki.wVk == Input.ki.wVk) {
        Held_.erase(std::next(It).base());
        break;
      }
    }
  }
  if (Next_ != End)
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                      "The keys could not be sent (" + SystemMessage(Error) + ")");
  if (AfterKeyBatch_) AfterKeyBatch_();
}

std::size_t KeyboardWin32::ReleaseHeld() {
  // Stopped half-way: nothing may stay held, wherever the focus went.
  std::vector<INPUT> Releases;
  for (auto It = Held_.rbegin(); It != Held_.rend(); ++It) {
    INPUT Up = *It;
    Up.ki.dwFlags |= KEYEVENTF_KEYUP;
    Releases.push_back(Up);
  }
  Held_.clear();
  if (!Releases.empty())
    ::SendInput(static_cast<UINT>(Releases.size()), Releases.data(), sizeof(INPUT));
  return Releases.size();
}

KeysOutcome KeyboardWin32::Finish(KeyTarget&, const std::function<void()>& Handed) {
  const std::size_t Released = ReleaseHeld();
  // Each key up is one message to the foreground thread, each key down one and the character it
  // may make another; the releases after a stop are key ups.
  if (Next_ > 0) WaitForForegroundInput(Next_ + Pressed_ + Released);
  ReadOthersKeys();  // the events of others that came before our last
  Handed();
  Inputs_.clear();
  Next_ = 0;
  return KeysOutcome::Sent;
}

void KeyboardWin32::Abandon() noexcept {
  ReleaseHeld();
  Inputs_.clear();
  Next_ = 0;
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

// Whether Window's update region is empty.
bool Painted(HWND Window) {
  return ::GetUpdateRect(Window, nullptr, FALSE) == 0;
}
}  // namespace

void WaitForForegroundInput(std::size_t Messages) {
  // A low-level hook sees an event before the foreground thread's queue gets it: the system's
  // input thread passes an event on once the hooks have returned, and only then takes the next.
  // So one event more, which a hook installed for it alone keeps from everyone, is seen only once
  // every event of the string is in that queue (under Wine the hook runs within SendInput and
  // the event is queued before SendInput returns; on Windows the input thread calls the hook
  // through this thread's queue). The hook lives only that long: on every event it would cost a
  // call through the system.
  gWatch.MarkSeen = false;
  if (HHOOK Hook =
          ::SetWindowsHookExW(WH_KEYBOARD_LL, SwallowMark, ::GetModuleHandleW(nullptr), 0)) {
    INPUT Mark = HandOverMark();
    const ULONGLONG Deadline = ::GetTickCount64() + kRoundTripTimeoutMs;
    if (::SendInput(1, &Mark, sizeof Mark) == 1) {
      while (!gWatch.MarkSeen && ::GetTickCount64() < Deadline) {
        MSG Ignored;
        ::PeekMessageW(&Ignored, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (!gWatch.MarkSeen) ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
      }
    }
    ::UnhookWindowsHookEx(Hook);
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
