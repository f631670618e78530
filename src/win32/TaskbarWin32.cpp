// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/TaskbarWin32.h"

#include <shobjidl.h>

namespace pictrane::win32 {

namespace {

BOOL CALLBACK FindButtonWindow(HWND Window, LPARAM Found) {
  const LONG_PTR ExStyle = ::GetWindowLongPtrW(Window, GWL_EXSTYLE);
  if (::IsWindowVisible(Window) && ::GetWindow(Window, GW_OWNER) == nullptr &&
      (ExStyle & WS_EX_TOOLWINDOW) == 0) {
    *reinterpret_cast<HWND*>(Found) = Window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

void Taskbar::Start() {
  if (List_ != nullptr) return;
  void* List = nullptr;
  if (FAILED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                &List)))
    return;
  List_ = static_cast<ITaskbarList3*>(List);
  if (FAILED(List_->HrInit())) Release();
}

void Taskbar::Release() {
  if (List_ != nullptr) List_->Release();
  List_ = nullptr;
}

HWND Taskbar::Button() const {
  HWND Found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), FindButtonWindow, reinterpret_cast<LPARAM>(&Found));
  return Found;
}

void Taskbar::Progress(std::size_t Done, std::size_t Total) {
  if (List_ == nullptr) return;
  if (HWND Window = Button()) {
    List_->SetProgressState(Window, TBPF_NORMAL);
    List_->SetProgressValue(Window, Done, Total);
  }
}

void Taskbar::Finish(bool Complete) {
  if (List_ == nullptr) return;
  if (HWND Window = Button())
    List_->SetProgressState(Window, Complete ? TBPF_NOPROGRESS : TBPF_ERROR);
  Release();
}

}  // namespace pictrane::win32
