// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Processes and the clock on Win32.

#include <map>
#include <optional>

#include "platform/Clock.h"
#include "platform/Processes.h"

namespace pictrane::win32 {

class ClockWin32 final : public Clock {
 public:
  // Asks for the system's finest timer (1 ms) while the clock lives: by default a sleep lasts
  // at least 10 to 16 ms, twice a 5 ms pause and more.
  ClockWin32();
  ~ClockWin32() override;
  ClockWin32(const ClockWin32&) = delete;
  ClockWin32& operator=(const ClockWin32&) = delete;
  void Sleep(int Milliseconds) override;
  std::int64_t NowMs() override;
  // The tick count moves in steps of 10 to 16 ms, too coarse to measure a 5 ms pause by.
  std::int64_t NowUs() override;
  // Sleeps the whole milliseconds, then yields until the moment: rounded up to a whole
  // millisecond, a 5 ms pause would run a tenth long.
  void SleepUs(std::int64_t Microseconds) override;

 private:
  bool FineTimer_ = false;
};

class ProcessesWin32 final : public Processes {
 public:
  ProcessesWin32() = default;
  ~ProcessesWin32() override;
  ProcessesWin32(const ProcessesWin32&) = delete;
  ProcessesWin32& operator=(const ProcessesWin32&) = delete;
  ProcessId Start(const std::string& CommandLine, WindowState State) override;
  void Stop(ProcessId Process, int WaitMs) override;
  bool IsRunning(ProcessId Process) override;
  std::optional<int> ExitStatus(ProcessId Process) override;
  [[noreturn]] void Terminate(int Status) override;
  // From a snapshot of the system's processes; a parent created after its child is a stranger
  // that got an ended parent's id, and counts as none.
  ProcessId ParentProcess(ProcessId Process) override;
  std::string Environment(const std::string& Name) override;
  ProcessId OwnProcess() override;

 private:
  // The processes started with the focus, kept open so their status outlives them.
  std::map<ProcessId, void*> Started_;
  // The job of every started process (nullptr where it could not have one).
  std::map<ProcessId, void*> Jobs_;
};

}  // namespace pictrane::win32
