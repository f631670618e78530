// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "conversion/RunTimings.h"
#include "platform/WindowSystem.h"

namespace pictrane {

class Clock;
struct Platform;

// The capture tool as the run knows it: the process whose windows were accepted and every
// process it started, directly or not (a wrapper script's program, a helper). Whatever else has
// the focus or holds the keyboard is another program's.
class ToolProcess final : public KeyTarget {
 public:
  ToolProcess(WindowSystem& Windows, Clock& Time, ProcessId Root)
      : Windows_(&Windows), Time_(&Time), Root_(Root) {}

  ProcessId Root() const { return Root_; }
  // Process is the root or one of its descendants.
  bool Owns(ProcessId Process);
  // A window of the tool is Owned; another program's is Foreign at once; no window at all is
  // waited out for up to RunTimings::FocusGraceMs (AskAgain) before it is Foreign.
  Verdict Judge(ProcessId Process) override;
  // Asks every top-level window of the tool to close (no keystrokes).
  void CloseWindows();

 private:
  WindowSystem* Windows_;
  Clock* Time_;
  ProcessId Root_;
  // A descendant found by the last look, kept while the same process is asked about again, so
  // a key string does not walk the process tree for every event.
  ProcessId LastOwned_ = 0;
  std::int64_t NoFocusSince_ = -1;
};

// Starts the capture tool and waits, at most RunTimings::ToolWindowWaitMs, for its window to come
// forward maximised with the keyboard focus: a window of the started process or of one of its
// descendants, never one that merely appeared meanwhile. A started process that ends first (a
// launcher that handed over to another process and exited 0), or whose window never takes the
// focus, raises RaisedError naming it (Name) or its command line; it is stopped first, with
// whatever it started, since no key could reach them and nobody would end them otherwise.
ToolProcess StartTool(Platform& P, const std::string& CommandLine, const std::string& Name);

// What a started program that ended before its window took the keyboard focus is told as.
std::string EndedMessage(const std::string& Name, int Status);

// What a started program that never showed its window with the keyboard focus is told as.
inline std::string NoWindowMessage(const std::string& CommandLine) {
  return "No window of " + CommandLine + " took the keyboard focus within " +
         std::to_string(kRunTimings.ToolWindowWaitMs / 1000) + " seconds.";
}

}  // namespace pictrane
