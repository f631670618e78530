#pragma once

#include <string>

#include "WindowSystem.h"

namespace pictrane {

// The window states a program is started with.
enum class WindowState { MinimizedNoFocus, MaximizedFocus };

class Processes {
 public:
  virtual ~Processes() = default;

  // Starts CommandLine (program name first; double quotes group blanks, as on Windows) without
  // waiting for it to end. With MaximizedFocus it returns once the program's window is shown
  // maximised with the focus; when that does not happen within kWindowWaitMs it ends the
  // program and raises. Raises RaisedError when it cannot start.
  virtual ProcessId Start(const std::string& CommandLine, WindowState State) = 0;

  // True while Process (one this program started) has not ended.
  virtual bool IsRunning(ProcessId Process) = 0;
  // Ends this process at once with Status.
  [[noreturn]] virtual void Terminate(int Status) = 0;

  static constexpr int kWindowWaitMs = 10000;
};

// What a started program that never showed its window with the keyboard focus is told as.
inline std::string NoWindowMessage(const std::string& CommandLine) {
  return "No window of " + CommandLine + " took the keyboard focus within " +
         std::to_string(Processes::kWindowWaitMs / 1000) + " seconds.";
}

}  // namespace pictrane
