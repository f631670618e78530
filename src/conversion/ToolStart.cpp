// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ToolStart.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "conversion/ConversionRun.h"
#include "platform/Platform.h"
#include "pictrane/RaisedError.h"

namespace pictrane {

namespace {

// Deeper than any real process tree; ends a walk through a cycle of stale parent ids.
constexpr int kMaxTreeDepth = 64;

// How the wait went: the window came (Why empty, End Shown), the user ended it, or why not.
struct WindowWait {
  ToolStartEnd End = ToolStartEnd::Shown;
  std::string Why;
  bool Ended = false;  // the started program ended first
  bool Told = false;   // the progress window shows that the run waits
};

// The started program's window, or the topmost of one of its descendants (a wrapper's program),
// has come forward with the focus. The window stays responsive throughout; once the progress
// window says that the run waits, its Cancel counts too.
// Told is set once the progress window says it waits, so that a raise leaves it no longer.
WindowWait AwaitWindow(Platform& P, RunHost& Host, std::size_t Total, ToolProcess& Tool,
                       const std::string& CommandLine, const std::string& Name, bool& Told) {
  const auto DescendantWindow = [&]() -> std::optional<TopLevelWindow> {
    for (const TopLevelWindow& W : P.WindowSystem.TopLevelWindows())
      if (W.Process > 0 && W.Process != Tool.Root() && Tool.Owns(W.Process)) return W;
    return std::nullopt;
  };
  const std::int64_t TellAt = P.Clock.NowMs() + kRunTimings.ToolWindowWaitMs;
  const std::int64_t Deadline = TellAt + kRunTimings.ToolWindowLongWaitMs;
  WindowWait Wait;
  const auto Gone = [&Wait](ToolStartEnd End, std::string Why = {}, bool Ended = false) {
    Wait.End = End;
    Wait.Why = std::move(Why);
    Wait.Ended = Ended;
    return Wait;
  };
  for (;;) {
    // A program that ended handed over, if at all, to one that is no longer its descendant:
    // no window that appears now can be told to be the tool's.
    if (const std::optional<int> Status = P.Processes.ExitStatus(Tool.Root()))
      return Gone(ToolStartEnd::Shown, EndedMessage(Name, *Status), true);
    const std::int64_t Now = P.Clock.NowMs();
    if (Now >= Deadline) return Gone(ToolStartEnd::Shown, NoWindowMessage(CommandLine));
    if (!Wait.Told && Now >= TellAt) {
      P.RunProgress.Begin(Total);
      P.RunProgress.Step(0, kWaitingForWindowText);
      Wait.Told = Told = true;
    }
    const int Slice =
        static_cast<int>(std::min<std::int64_t>(Deadline - Now, kRunTimings.ToolWindowPollMs));
    // The started program's own window first: the usual case answers without a search.
    if (P.WindowSystem.ShowWindow(Tool.Root(), Slice)) return Wait;
    if (const std::optional<TopLevelWindow> W = DescendantWindow())
      if (P.WindowSystem.ShowWindow(W->Process, Slice)) return Wait;
    P.WindowSystem.DoEvents();
    if (Wait.Told && P.RunProgress.CancelRequested()) return Gone(ToolStartEnd::Cancelled);
    if (Host.StopRequested()) return Gone(ToolStartEnd::Closed);
  }
}

}  // namespace

bool ToolProcess::Owns(ProcessId Process) {
  if (Process <= 0) return false;
  if (Process == Root_ || Process == LastOwned_) return true;
  LastOwned_ = 0;
  ProcessId Ancestor = Process;
  for (int Depth = 0; Depth < kMaxTreeDepth; ++Depth) {
    Ancestor = Programs_->ParentProcess(Ancestor);
    if (Ancestor <= 0) return false;
    if (Ancestor == Root_) {
      LastOwned_ = Process;
      return true;
    }
  }
  return false;
}

KeyTarget::Verdict ToolProcess::Judge(ProcessId Process) {
  // No key follows the close keys: their window going, even after a click of ours, is no loss.
  if (Process == 0 && CloseKeysHanded_) return Verdict::Owned;
  const std::int64_t Now = Time_->NowMs();
  const bool Ours = Process > 0 && Process != Root_ && Process == Programs_->OwnProcess();
  if (Ours) OursSeenAt_ = Now;
  // Under a window manager a click on Cancel, on a close box or into the main window makes a
  // window of ours the active one: the tool gets the focus back before its next key, and the run
  // hears of the click between bitmaps. The window manager may catch up with the click only
  // after that, leaving the focus nobody's for a while: still the same click.
  const bool AfterOurs = OursSeenAt_ >= 0 && Now - OursSeenAt_ < kRunTimings.FocusBackMs;
  if (Ours || (Process == 0 && AfterOurs)) {
    NoFocusSince_ = -1;
    if (OursSince_ < 0) OursSince_ = Now;
    if (Now - OursSince_ >= kRunTimings.FocusBackMs) {
      OursSince_ = OursSeenAt_ = -1;
      return Verdict::Foreign;
    }
    Windows_->ShowWindow(Focused_, kRunTimings.FocusGraceMs);
    return Verdict::AskAgain;
  }
  OursSince_ = -1;
  if (Process != 0) {
    NoFocusSince_ = -1;
    if (!Owns(Process)) return Verdict::Foreign;
    Focused_ = Process;
    return Verdict::Owned;
  }
  if (NoFocusSince_ < 0) NoFocusSince_ = Now;
  if (Now - NoFocusSince_ >= kRunTimings.FocusGraceMs) {
    NoFocusSince_ = -1;
    return Verdict::Foreign;
  }
  Time_->Sleep(kRunTimings.NoFocusPollMs);
  return Verdict::AskAgain;
}

bool ToolProcess::CloseWindows() {
  std::vector<ProcessId> Asked{Root_};
  bool Any = Windows_->CloseWindowsOf(Root_);
  for (const TopLevelWindow& W : Windows_->TopLevelWindows()) {
    if (std::find(Asked.begin(), Asked.end(), W.Process) != Asked.end() || !Owns(W.Process))
      continue;
    Asked.push_back(W.Process);
    Any = Windows_->CloseWindowsOf(W.Process) || Any;
  }
  return Any;
}

std::string EndedMessage(const std::string& Name, int Status) {
  if (Status == 0)
    return Name +
           " ended before its window took the keyboard focus; point ScreenCapturePath at the "
           "program itself.";
  return Name + " ended with status " + std::to_string(Status) +
         " before its window took the keyboard focus.";
}

StartedTool StartTool(Platform& P, RunHost& Host, std::size_t Total, const std::string& CommandLine,
                      const std::string& Name) {
  ToolProcess Tool(P.WindowSystem, P.Processes, P.Clock,
                   P.Processes.Start(CommandLine, WindowState::MaximizedFocus));
  WindowWait Wait;
  bool Told = false;
  try {
    Wait = AwaitWindow(P, Host, Total, Tool, CommandLine, Name, Told);
  } catch (...) {
    if (Told) P.RunProgress.End(false);
    P.Processes.Stop(Tool.Root(), kRunTimings.StopWaitMs);
    throw;
  }
  if (Wait.End == ToolStartEnd::Shown && Wait.Why.empty()) return {ToolStartEnd::Shown, Tool};
  if (Wait.Told) P.RunProgress.End(false);
  // One that ended leaves at most what it started, which nobody would end otherwise.
  if (Wait.Ended || !Tool.CloseWindows()) P.Processes.Stop(Tool.Root(), kRunTimings.StopWaitMs);
  if (!Wait.Why.empty())
    throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource, Wait.Why);
  return {Wait.End, std::nullopt};
}

}  // namespace pictrane
