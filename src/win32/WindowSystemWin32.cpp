// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/WindowSystemWin32.h"

#include "pictrane/win32/Win32.h"

#include <tlhelp32.h>

#include <cstdint>

#include "pictrane/win32/Text.h"
#include "win32/MessageLoop.h"
#include "win32/TimingsWin32.h"
#include "win32/Translations.h"

namespace pictrane::win32 {

namespace {

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

ProcessId WindowSystemWin32::FocusedProcess() {
  return ForegroundProcess();
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

}  // namespace pictrane::win32
