#include "ToolStart.h"

#include <algorithm>

#include "../platform/RaisedError.h"

namespace pictrane {

ProcessId StartTool(Platform& P, const std::string& CommandLine) {
  const ProcessId Tool = P.Programs.Start(CommandLine, WindowState::MaximizedFocus);
  const std::int64_t Deadline = P.Time.NowMs() + Processes::kWindowWaitMs;
  for (;;) {
    if (!P.Programs.IsRunning(Tool))
      throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource,
                        CommandLine + " ended before its window took the keyboard focus.");
    const std::int64_t Left = Deadline - P.Time.NowMs();
    if (Left <= 0) break;
    try {
      if (P.Programs.ShowWindow(Tool, static_cast<int>(std::min<std::int64_t>(Left, kToolPollMs))))
        return Tool;
    } catch (...) {
      P.Programs.Stop(Tool);
      throw;
    }
  }
  P.Programs.Stop(Tool);
  throw RaisedError(ErrorNumber::InvalidProcedureCall, ProgramErrorSource,
                    NoWindowMessage(CommandLine));
}

}  // namespace pictrane
