// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/MessageLoop.h"

#include <algorithm>
#include <vector>

namespace pictrane::win32 {

namespace {

std::vector<HWND>& NavigatedWindows() {
  static std::vector<HWND> Windows;
  return Windows;
}

}  // namespace

void AddDialogNavigation(HWND Window) {
  NavigatedWindows().push_back(Window);
}

void RemoveDialogNavigation(HWND Window) {
  auto& Windows = NavigatedWindows();
  Windows.erase(std::remove(Windows.begin(), Windows.end(), Window), Windows.end());
}

void HandleMessage(MSG& Message) {
  if (Message.hwnd != nullptr) {
    HWND Root = ::GetAncestor(Message.hwnd, GA_ROOT);
    const auto& Windows = NavigatedWindows();
    if (std::find(Windows.begin(), Windows.end(), Root) != Windows.end() &&
        ::IsDialogMessageW(Root, &Message)) {
      return;
    }
  }
  ::TranslateMessage(&Message);
  ::DispatchMessageW(&Message);
}

bool PumpPendingMessages() {
  MSG Message;
  while (::PeekMessageW(&Message, nullptr, 0, 0, PM_REMOVE)) {
    if (Message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(Message.wParam));
      return false;
    }
    HandleMessage(Message);
  }
  return true;
}

int RunMessageLoop() {
  MSG Message;
  for (;;) {
    const BOOL Got = ::GetMessageW(&Message, nullptr, 0, 0);
    if (Got == 0) return static_cast<int>(Message.wParam);
    if (Got == -1) return 1;
    HandleMessage(Message);
  }
}

}  // namespace pictrane::win32
