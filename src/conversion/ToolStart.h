// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "conversion/RunTimings.h"
#include "platform/WindowSystem.h"

namespace pictrane {

struct Platform;

// Starts the capture tool and waits, at most RunTimings::ToolWindowWaitMs, for its window to come
// forward maximised with the keyboard focus. A tool that ends first, or whose window never takes
// the focus, raises RaisedError; one still running is stopped first, since no key could reach it
// and nobody would end it otherwise.
ProcessId StartTool(Platform& P, const std::string& CommandLine);

// What a started program that never showed its window with the keyboard focus is told as.
inline std::string NoWindowMessage(const std::string& CommandLine) {
  return "No window of " + CommandLine + " took the keyboard focus within " +
         std::to_string(kRunTimings.ToolWindowWaitMs / 1000) + " seconds.";
}

}  // namespace pictrane
