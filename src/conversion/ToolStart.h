// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/Platform.h"

namespace pictrane {

// How often the wait for the tool's window looks whether the tool is still running.
inline constexpr int kToolPollMs = 250;

// Starts the capture tool and waits, at most Processes::kWindowWaitMs, for its window to come
// forward maximised with the keyboard focus. A tool that ends first, or whose window never takes
// the focus, raises RaisedError; one still running is stopped first, since no key could reach it
// and nobody would end it otherwise.
ProcessId StartTool(Platform& P, const std::string& CommandLine);

}  // namespace pictrane
