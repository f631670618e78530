// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The converter's command line: it takes no arguments of its own, only the usual --help and
// --version (and /? on Windows). Every other argument is ignored and the program starts as
// usual, so a folder dropped onto it or a shortcut with arguments still opens the window.
// Parsed before any window exists, so the answers work without a display.

#include <string>
#include <vector>

#include "pictrane/Product.h"
#include "pictrane/Product.h"

namespace pictrane {

inline constexpr const char* kVersion = kProjectVersion;

// Windows answers in a message box, whose proportional font and own line wrapping want
// paragraphs rather than columns; a terminal wants the columns.
enum class HelpStyle { Terminal, MessageBox };

struct CommandLineAnswer {
  bool Run = true;                   // no option to answer: start the program
  std::string Text;                  // what to show instead
  std::vector<std::string> Ignored;  // when Run: the arguments the program leaves aside
};

// Args excludes the program's own name, which Program gives for the messages. The first of
// --help, -h, --version (and /? in the MessageBox style) anywhere on the line is answered.
CommandLineAnswer ParseCommandLine(const std::vector<std::string>& Args, const std::string& Program,
                                   HelpStyle Style = HelpStyle::Terminal);

std::string UsageText(const std::string& Program, HelpStyle Style = HelpStyle::Terminal);

// One line for the error output naming the arguments left aside, or "" when there are none.
std::string IgnoredArgumentsLine(const std::string& Program, const std::vector<std::string>& Args);

}  // namespace pictrane
