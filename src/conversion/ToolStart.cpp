// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ToolStart.h"

#include <algorithm>

#include "platform/Platform.h"
#include "platform/RaisedError.h"

namespace pictrane {

ProcessId StartTool(Platform& P, const std::string& CommandLine) {
  const ProcessId Tool = P.Processes.Start(CommandLine, WindowState::MaximizedFocus);
  const std::int64_t Deadline = P.Clock.NowMs() + kRunTimings.ToolWindowWaitMs;
  for (;;) {
    if (!P.Processes.IsRunning(Tool))
      throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource,
                        CommandLine + " ended before its window took the keyboard focus.");
    const std::int64_t Left = Deadline - P.Clock.NowMs();
    if (Left <= 0) break;
    try {
      if (P.Processes.ShowWindow(
              Tool, static_cast<int>(std::min<std::int64_t>(Left, kRunTimings.ToolWindowPollMs))))
        return Tool;
    } catch (...) {
      P.Processes.Stop(Tool);
      throw;
    }
  }
  P.Processes.Stop(Tool);
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource,
                    NoWindowMessage(CommandLine));
}

}  // namespace pictrane
