// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/HeldKeys.h"

#include "conversion/ConversionRun.h"
#include "conversion/RunTimings.h"
#include "platform/Platform.h"

namespace pictrane {

ReleaseWait WaitForKeyboardRelease(Platform& P, RunHost& Host, std::size_t Index,
                                   const std::string& Name) {
  P.RunProgress.Step(Index, kReleaseKeyboardText);
  const std::int64_t Deadline = P.Clock.NowMs() + kRunTimings.KeyReleaseWaitMs;
  ReleaseWait Result = ReleaseWait::TimedOut;
  for (;;) {
    P.WindowSystem.DoEvents();
    if (P.RunProgress.CancelRequested()) {
      Result = ReleaseWait::Cancelled;
      break;
    }
    if (Host.StopRequested()) {
      Result = ReleaseWait::Closed;
      break;
    }
    if (!P.WindowSystem.Keyboard().AskOthersHold()) {
      Result = ReleaseWait::Released;
      break;
    }
    if (P.Clock.NowMs() >= Deadline) break;
    P.Clock.Sleep(kRunTimings.KeyReleasePollMs);
  }
  P.RunProgress.Step(Index, Name);
  return Result;
}

}  // namespace pictrane
