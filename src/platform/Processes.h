// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WindowSystem.h"

namespace pictrane {

// The window states a program is started with.
enum class WindowState { MinimizedNoFocus, MaximizedFocus };

// Which whole lines (without their line end) of a started program's standard error are kept for
// ErrorLines; asked from another thread as the lines come, so it may only read what it holds.
using ErrorLineFilter = std::function<bool(std::string_view Line)>;

class Processes {
 public:
  virtual ~Processes() = default;

  // Starts CommandLine (program name first; double quotes group blanks, as on Windows) and
  // returns at once; State is passed on where the system carries one to the new program. The
  // program and whatever it starts stay together for Stop.
  // Raises RaisedError when it cannot start. Waiting for its window is the caller's
  // (src/conversion/ToolStart.h).
  virtual ProcessId Start(const std::string& CommandLine, WindowState State) = 0;

  // Ends Process (one this program started) at once, without asking, and the processes it
  // started (Linux: its process group; Windows: its job), even once it has ended itself; waits at
  // most WaitMs for it to be gone (a process stuck in the kernel is not waited for longer).
  virtual void Stop(ProcessId Process, int WaitMs) = 0;

  // True while Process (one this program started) has not ended.
  virtual bool IsRunning(ProcessId Process) = 0;
  // The status Process (one this program started) ended with; nullopt while it runs. A status
  // that cannot be had reads as 1.
  virtual std::optional<int> ExitStatus(ProcessId Process) = 0;
  // The lines Process (one this program started) wrote to its standard error so far, where the
  // system lets this program read them (Linux; they still reach this program's own standard
  // error as they come). Once Process has ended, waits at most WaitMs for the last of them.
  // Elsewhere none: the vendor's tool writes nothing there.
  virtual std::vector<std::string> ErrorLines(ProcessId /*Process*/, int /*WaitMs*/) { return {}; }
  // The programs started from now on keep only the lines Keep takes (a bounded number of
  // bounded length, a few MB in all); what they write still reaches this program's own standard
  // error where it can be written at once, the rest is dropped and counted there.
  virtual void KeepErrorLines(ErrorLineFilter /*Keep*/) {}
  // This process's id, so that the windows of this program are known as its own.
  virtual ProcessId OwnProcess() { return 0; }
  // The signal with which the system asked this program to end (SIGTERM and the like), 0 while
  // none came: a run stops as for the window's close, closes the tool and ends.
  virtual int EndSignal() { return 0; }
  // The process that started Process; 0 when Process has ended or its parent cannot be told.
  virtual ProcessId ParentProcess(ProcessId Process) = 0;
  // The value of this process's environment variable Name, or "" when it is unset.
  virtual std::string Environment(const std::string& Name) = 0;
  // Ends this process at once with Status.
  [[noreturn]] virtual void Terminate(int Status) = 0;
};

}  // namespace pictrane
