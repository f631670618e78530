// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ToolStart.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "platform/RaisedError.h"

namespace pictrane {

namespace {

// Deeper than any real process tree; ends a walk through a cycle of stale parent ids.
constexpr int kMaxTreeDepth = 64;

// The started program's window, or the topmost of one of its descendants (a wrapper's program),
// has come forward with the focus: "". Otherwise why not, once that is known.
std::string AwaitWindow(Platform& P, ToolProcess& Tool, const std::string& CommandLine,
                        const std::string& Name) {
  const auto DescendantWindow = [&]() -> std::optional<TopLevelWindow> {
    for (const TopLevelWindow& W : P.WindowSystem.TopLevelWindows())
      if (W.Process > 0 && W.Process != Tool.Root() && Tool.Owns(W.Process)) return W;
    return std::nullopt;
  };
  const std::int64_t Deadline = P.Clock.NowMs() + kRunTimings.ToolWindowWaitMs;
  for (;;) {
    // A program that ended handed over, if at all, to one that is no longer its descendant:
    // no window that appears now can be told to be the tool's.
    if (const std::optional<int> Status = P.Processes.ExitStatus(Tool.Root()))
      return EndedMessage(Name, *Status);
    const std::int64_t Left = Deadline - P.Clock.NowMs();
    if (Left <= 0) return NoWindowMessage(CommandLine);
    const int Slice = static_cast<int>(std::min<std::int64_t>(Left, kRunTimings.ToolWindowPollMs));
    // The started program's own window first: the usual case answers without a search.
    if (P.Processes.ShowWindow(Tool.Root(), Slice)) return "";
    if (const std::optional<TopLevelWindow> W = DescendantWindow())
      if (P.Processes.ShowWindow(W->Process, Slice)) return "";
  }
}

}  // namespace

bool ToolProcess::Owns(ProcessId Process) {
  if (Process <= 0) return false;
  if (Process == Root_ || Process == LastOwned_) return true;
  LastOwned_ = 0;
  ProcessId Ancestor = Process;
  for (int Depth = 0; Depth < kMaxTreeDepth; ++Depth) {
    Ancestor = Windows_->ParentProcess(Ancestor);
    if (Ancestor <= 0) return false;
    if (Ancestor == Root_) {
      LastOwned_ = Process;
      return true;
    }
  }
  return false;
}

KeyTarget::Verdict ToolProcess::Judge(ProcessId Process) {
  if (Process != 0) {
    NoFocusSince_ = -1;
    return Owns(Process) ? Verdict::Owned : Verdict::Foreign;
  }
  const std::int64_t Now = Time_->NowMs();
  if (NoFocusSince_ < 0) NoFocusSince_ = Now;
  if (Now - NoFocusSince_ >= kRunTimings.FocusGraceMs) {
    NoFocusSince_ = -1;
    return Verdict::Foreign;
  }
  Time_->Sleep(kRunTimings.NoFocusPollMs);
  return Verdict::AskAgain;
}

void ToolProcess::CloseWindows() {
  std::vector<ProcessId> Asked{Root_};
  Windows_->CloseWindowsOf(Root_);
  for (const TopLevelWindow& W : Windows_->TopLevelWindows()) {
    if (std::find(Asked.begin(), Asked.end(), W.Process) != Asked.end() || !Owns(W.Process))
      continue;
    Asked.push_back(W.Process);
    Windows_->CloseWindowsOf(W.Process);
  }
}

std::string EndedMessage(const std::string& Name, int Status) {
  if (Status == 0)
    return Name +
           " ended before its window took the keyboard focus; point ScreenCapturePath at the "
           "program itself.";
  return Name + " ended with status " + std::to_string(Status) +
         " before its window took the keyboard focus.";
}

ToolProcess StartTool(Platform& P, const std::string& CommandLine, const std::string& Name) {
  ToolProcess Tool(P.WindowSystem, P.Clock,
                   P.Processes.Start(CommandLine, WindowState::MaximizedFocus));
  std::string Why;
  try {
    Why = AwaitWindow(P, Tool, CommandLine, Name);
  } catch (...) {
    P.Processes.Stop(Tool.Root());
    throw;
  }
  if (Why.empty()) return Tool;
  P.Processes.Stop(Tool.Root());
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource, Why);
}

}  // namespace pictrane
