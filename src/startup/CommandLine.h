// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The converter's command line: it takes no arguments of its own, only the usual --help and
// --version. Parsed before any window exists, so both work without a display.

#include <string>
#include <vector>

#include "Version.h"
#include "platform/Application.h"

namespace pictrane {

inline constexpr const char* kVersion = kProjectVersion;
inline constexpr int kExitUsage = 2;

struct CommandLineAnswer {
  bool Run = true;       // no option: start the program
  std::string Text;      // what to show instead, ending in a line break
  bool IsError = false;  // Text goes to stderr and the exit status is kExitUsage
  int ExitStatus = 0;
};

// Args excludes the program's own name, which Program gives for the messages.
CommandLineAnswer ParseCommandLine(const std::vector<std::string>& Args,
                                   const std::string& Program);

std::string UsageText(const std::string& Program);

}  // namespace pictrane
