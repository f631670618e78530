// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The run's progress on the program's taskbar button (ITaskbarList3), where the shell offers it.

#include "pictrane/win32/Win32.h"

#include <cstddef>

struct ITaskbarList3;

namespace pictrane::win32 {

class Taskbar {
 public:
  Taskbar() = default;
  ~Taskbar() { Release(); }
  Taskbar(const Taskbar&) = delete;
  Taskbar& operator=(const Taskbar&) = delete;

  // The taskbar is asked for at the start of a run and let go at its end, so that nothing of
  // COM outlives the program's apartment. Without a taskbar every call does nothing.
  void Start();
  void Progress(std::size_t Done, std::size_t Total);  // the normal (green) state
  // Complete: the progress goes; otherwise the error (red) state is left showing.
  void Finish(bool Complete);

 private:
  // The program's main window: the visible, unowned window of this thread that has a button.
  HWND Button() const;
  void Release();
  ITaskbarList3* List_ = nullptr;
};

}  // namespace pictrane::win32
