// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The neutral interfaces' enums and records in the system's own numbers, in one place.

#include "pictrane/win32/Win32.h"

#include <commctrl.h>

#include "platform/CommonControls.h"
#include "platform/Processes.h"
#include "platform/WindowSystem.h"

namespace pictrane::win32 {

inline WORD ShowWindowCommand(WindowState State) {
  switch (State) {
    case WindowState::MinimizedNoFocus:
      return SW_MINIMIZE;  // the next window keeps or takes the focus
    case WindowState::MaximizedFocus:
      return SW_SHOWMAXIMIZED;
  }
  return SW_SHOWNORMAL;
}

inline UINT MessageBoxIcon(MessageIcon Icon) {
  switch (Icon) {
    case MessageIcon::Critical:
      return MB_ICONHAND;
    case MessageIcon::Question:
      return MB_ICONQUESTION;
    case MessageIcon::Exclamation:
      return MB_ICONEXCLAMATION;
    case MessageIcon::Information:
      return MB_ICONASTERISK;
    case MessageIcon::None:
      break;
  }
  return 0;
}

inline INITCOMMONCONTROLSEX CommonControlsInit(const CommonControlsRecord& Record) {
  INITCOMMONCONTROLSEX Init{};
  Init.dwSize = sizeof Init;
  Init.dwICC = (Record.Standard ? ICC_WIN95_CLASSES : 0) | (Record.Dates ? ICC_DATE_CLASSES : 0) |
               (Record.ComboBoxEx ? ICC_USEREX_CLASSES : 0) |
               (Record.Rebars ? ICC_COOL_CLASSES : 0) |
               (Record.IpAddresses ? ICC_INTERNET_CLASSES : 0) |
               (Record.Pagers ? ICC_PAGESCROLLER_CLASS : 0);
  return Init;
}

// The process of the window with the focus; 0 when no window has it. Under a window manager the
// focus passes through the desktop window, nobody's, while a click hands it from one program to
// another.
inline ProcessId ForegroundProcess() {
  HWND Foreground = ::GetForegroundWindow();
  if (Foreground == nullptr || Foreground == ::GetDesktopWindow()) return 0;
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Foreground, &Owner);
  return Owner != 0 ? static_cast<ProcessId>(Owner) : kUnknownProcess;
}

}  // namespace pictrane::win32
