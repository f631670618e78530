// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "conversion/RunTimings.h"
#include "platform/Processes.h"
#include "platform/WindowSystem.h"

namespace pictrane {

class Clock;
class RunHost;
struct Platform;

// The capture tool as the run knows it: the process whose windows were accepted and every
// process it started, directly or not (a wrapper script's program, a helper). Whatever else has
// the focus or holds the keyboard is another program's.
class ToolProcess final : public KeyTarget {
 public:
  ToolProcess(WindowSystem& Windows, Processes& Programs, Clock& Time, ProcessId Root)
      : Windows_(&Windows), Programs_(&Programs), Time_(&Time), Root_(Root) {}

  ProcessId Root() const { return Root_; }
  // Process is the root or one of its descendants.
  bool Owns(ProcessId Process);
  // A window of the tool is Owned; another program's is Foreign at once; no window at all is
  // waited out for up to RunTimings::FocusGraceMs (AskAgain) before it is Foreign. One of this
  // program's own (a click on Cancel) gives the focus back to the tool's window, for up to
  // RunTimings::FocusBackMs; so does no window at all within that time after one of ours.
  Verdict Judge(ProcessId Process) override;
  // The close keys have been handed over: no key follows them, so the focus nobody's as the
  // tool's window goes is what they were for, and is not waited out.
  void CloseKeysHanded() { CloseKeysHanded_ = true; }
  // Asks every top-level window of the tool to close (no keystrokes), those not yet shown too.
  // False when it had none to ask.
  bool CloseWindows();

 private:
  WindowSystem* Windows_;
  Processes* Programs_;
  Clock* Time_;
  ProcessId Root_;
  // A descendant found by the last look, kept while the same process is asked about again, so
  // a key string does not walk the process tree for every event.
  ProcessId LastOwned_ = 0;
  ProcessId Focused_ = Root_;  // the tool's process whose window had the focus last
  std::int64_t NoFocusSince_ = -1;
  std::int64_t OursSince_ = -1;   // since when a window of this program has had it
  std::int64_t OursSeenAt_ = -1;  // when a window of this program was last seen with it
  bool CloseKeysHanded_ = false;
};

// What the progress window says, in place of a bitmap's name, while the run waits for the tool's
// window beyond RunTimings::ToolWindowWaitMs.
inline constexpr const char* kWaitingForWindowText = "Waiting for the capture tool's window";

// How the wait for the tool's window ended when no error did.
enum class ToolStartEnd { Shown, Cancelled, Closed };

struct StartedTool {
  ToolStartEnd End = ToolStartEnd::Shown;
  std::optional<ToolProcess> Tool;  // with Shown
};

// Starts the capture tool and waits for its window to come forward maximised with the keyboard
// focus: a window of the started process or of one of its descendants, never one that merely
// appeared meanwhile. After RunTimings::ToolWindowWaitMs the progress window (for Total bitmaps)
// says so, with Cancel, for at most RunTimings::ToolWindowLongWaitMs more; Cancel or closing the
// main window (Host) ends the wait. A started process that ends first (a launcher that handed
// over to another process and exited 0), or whose window never comes, raises RaisedError naming
// it (Name) or its command line. Whenever no window came, the tool is asked to close (no keys
// could reach it and nobody would end it otherwise); only one without a window to ask is
// stopped, with whatever it started: a slow tool may be the user's own work in progress.
StartedTool StartTool(Platform& P, RunHost& Host, std::size_t Total, const std::string& CommandLine,
                      const std::string& Name);

// What a started program that ended before its window took the keyboard focus is told as.
std::string EndedMessage(const std::string& Name, int Status);

// What a started program that never showed its window with the keyboard focus is told as.
inline std::string NoWindowMessage(const std::string& CommandLine) {
  return "No window of " + CommandLine + " took the keyboard focus within " +
         std::to_string((kRunTimings.ToolWindowWaitMs + kRunTimings.ToolWindowLongWaitMs) / 1000) +
         " seconds.";
}

}  // namespace pictrane
