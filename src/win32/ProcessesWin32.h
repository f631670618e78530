// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The smaller Win32 services: the clock, the common controls, the folder dialog and processes.

#include <map>
#include <optional>

#include "platform/Clock.h"
#include "platform/CommonControls.h"
#include "platform/FolderDialog.h"
#include "platform/Processes.h"

namespace pictrane::win32 {

class ClockWin32 final : public Clock {
 public:
  void Sleep(int Milliseconds) override;
  std::int64_t NowMs() override;
  // The tick count moves in steps of 10 to 16 ms, too coarse to measure a 5 ms pause by.
  std::int64_t NowUs() override;
};

class CommonControlsWin32 final : public CommonControls {
 public:
  void InitCommonControlsEx(const CommonControlsRecord& Record) override;
};

// The shell's folder dialog in its new style. COM must be initialised on the calling thread
// (single-threaded apartment), as that style needs.
class FolderDialogWin32 final : public FolderDialog {
 public:
  // Starts at the top of the shell's namespace, whatever StartFolder says.
  std::optional<std::string> BrowseForFolder(WindowHandle Owner, const std::string& Prompt,
                                             const std::string& StartFolder) override;
};

class ProcessesWin32 final : public Processes {
 public:
  ProcessesWin32() = default;
  ~ProcessesWin32() override;
  ProcessesWin32(const ProcessesWin32&) = delete;
  ProcessesWin32& operator=(const ProcessesWin32&) = delete;
  ProcessId Start(const std::string& CommandLine, WindowState State) override;
  bool ShowWindow(ProcessId Process, int TimeoutMs) override;
  void Stop(ProcessId Process, int WaitMs) override;
  bool IsRunning(ProcessId Process) override;
  std::optional<int> ExitStatus(ProcessId Process) override;
  [[noreturn]] void Terminate(int Status) override;

 private:
  // The processes started with the focus, kept open so their status outlives them.
  std::map<ProcessId, void*> Started_;
  // The job of every started process (nullptr where it could not have one).
  std::map<ProcessId, void*> Jobs_;
};

}  // namespace pictrane::win32
