// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The run's progress window on Windows: a topmost tool window that is never activated (the keys
// of the run must keep going to the capture tool), with the taskbar button's progress.

#include "pictrane/win32/Win32.h"

#include <memory>

#include "platform/Progress.h"
#include "win32/TaskbarWin32.h"

namespace pictrane::win32 {

class ProgressWindowWin32 final : public ProgressWindow {
 public:
  // Control ids, for tests.
  enum : int { kCountId = 101, kNameId = 102, kBarId = 103, kCancelId = 104 };

  explicit ProgressWindowWin32(HINSTANCE Instance, std::unique_ptr<Taskbar> Bar = nullptr);
  ~ProgressWindowWin32() override;
  ProgressWindowWin32(const ProgressWindowWin32&) = delete;
  ProgressWindowWin32& operator=(const ProgressWindowWin32&) = delete;

  void Begin(const ProgressView& View) override;
  void Step(const ProgressView& View) override;
  bool CancelPressed() override { return Pressed_; }
  void End(bool Complete) override;

  HWND Window() const { return Window_; }

 private:
  static LRESULT CALLBACK Proc(HWND Window, UINT Message, WPARAM W, LPARAM L);
  void StayAbove();
  static LRESULT CALLBACK ButtonProc(HWND Button, UINT Message, WPARAM W, LPARAM L);
  void Create();
  void RequestCancel();
  void Draw(const ProgressView& View);

  HINSTANCE Instance_;
  std::unique_ptr<Taskbar> Bar_;
  HWND Window_ = nullptr;
  HWND Marker_ = nullptr;  // a topmost window never shown: StayAbove's step (see there)
  HWND Count_ = nullptr, Name_ = nullptr, Progress_ = nullptr, Cancel_ = nullptr;
  WNDPROC ButtonDefault_ = nullptr;
  HFONT Font_ = nullptr;
  ProgressView View_;
  bool Pressed_ = false;
};

}  // namespace pictrane::win32
