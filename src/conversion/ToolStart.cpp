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

[[noreturn]] void RaiseEnded(const std::string& CommandLine) {
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource,
                    CommandLine + " ended before its window took the keyboard focus.");
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

ToolProcess StartTool(Platform& P, const std::string& CommandLine) {
  std::vector<std::uint64_t> Before;
  for (const TopLevelWindow& W : P.WindowSystem.TopLevelWindows()) Before.push_back(W.Id);
  ToolProcess Tool(P.WindowSystem, P.Clock,
                   P.Processes.Start(CommandLine, WindowState::MaximizedFocus));
  const std::int64_t Deadline = P.Clock.NowMs() + kRunTimings.ToolWindowWaitMs;
  bool HandedOver = false;  // the started process ended with status 0: a launcher
  // The topmost window that may be the tool's: a descendant's, or after a launcher a new one.
  const auto Candidate = [&]() -> std::optional<TopLevelWindow> {
    for (const TopLevelWindow& W : P.WindowSystem.TopLevelWindows()) {
      if (W.Process <= 0) continue;
      const bool New = std::find(Before.begin(), Before.end(), W.Id) == Before.end();
      if (HandedOver ? New : W.Process != Tool.Root() && Tool.Owns(W.Process)) return W;
    }
    return std::nullopt;
  };
  for (;;) {
    if (!HandedOver) {
      if (const std::optional<int> Status = P.Processes.ExitStatus(Tool.Root())) {
        if (*Status != 0) RaiseEnded(CommandLine);
        HandedOver = true;
      }
    }
    const std::int64_t Left = Deadline - P.Clock.NowMs();
    if (Left <= 0) break;
    const int Slice = static_cast<int>(std::min<std::int64_t>(Left, kRunTimings.ToolWindowPollMs));
    try {
      // The started program's own window first: the usual case answers without a search.
      if (!HandedOver && P.Processes.ShowWindow(Tool.Root(), Slice)) return Tool;
      if (const std::optional<TopLevelWindow> W = Candidate()) {
        if (P.Processes.ShowWindow(W->Process, Slice)) {
          if (HandedOver) return ToolProcess(P.WindowSystem, P.Clock, W->Process);
          return Tool;
        }
      } else if (HandedOver) {
        P.Clock.Sleep(std::min(Slice, kRunTimings.LauncherPollMs));
      }
    } catch (...) {
      if (!HandedOver) P.Processes.Stop(Tool.Root());
      throw;
    }
  }
  if (HandedOver) RaiseEnded(CommandLine);
  P.Processes.Stop(Tool.Root());
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource,
                    NoWindowMessage(CommandLine));
}

}  // namespace pictrane
