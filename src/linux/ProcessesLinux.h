// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Processes and the clock on Linux, through POSIX. Qt-free and Xlib-free.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Clock.h"
#include "platform/Processes.h"

namespace pictrane::linux_desktop {

class ClockLinux : public Clock {
 public:
  ClockLinux();
  void Sleep(int Milliseconds) override;
  std::int64_t NowMs() override;
  std::int64_t NowUs() override;
  void SleepUs(std::int64_t Microseconds) override;
};

// Splits a command line into arguments as Windows programs do: blanks separate, double quotes
// group, backslashes escape a quote only when they precede one.
std::vector<std::string> SplitCommandLine(const std::string& CommandLine);

class ErrorCapture;

class ProcessesLinux : public Processes {
 public:
  ProcessesLinux();
  ~ProcessesLinux() override;
  ProcessesLinux(const ProcessesLinux&) = delete;
  ProcessesLinux& operator=(const ProcessesLinux&) = delete;
  // The started program's standard error is a pipe of ours: read as it comes, passed on to our
  // own standard error where it goes at once, and its lines that KeepErrorLines takes kept.
  ProcessId Start(const std::string& CommandLine, WindowState State) override;
  void Stop(ProcessId Process, int WaitMs) override;
  bool IsRunning(ProcessId Process) override;
  std::optional<int> ExitStatus(ProcessId Process) override;
  std::vector<std::string> ErrorLines(ProcessId Process, int WaitMs) override;
  void KeepErrorLines(ErrorLineFilter Keep) override;
  ProcessId OwnProcess() override;
  // The signal handler's word, read on the event loop: a run in progress ends at its next look.
  void RequestEnd(int Signal) { EndSignal_ = Signal; }
  int EndSignal() override { return EndSignal_; }
  [[noreturn]] void Terminate(int Status) override;
  ProcessId ParentProcess(ProcessId Process) override;
  std::string Environment(const std::string& Name) override;

 private:
  std::map<ProcessId, int> Ended_;  // children reaped, with their status
  std::map<ProcessId, std::unique_ptr<ErrorCapture>> Errors_;
  ErrorLineFilter KeepErrors_;
  int EndSignal_ = 0;
};

}  // namespace pictrane::linux_desktop
