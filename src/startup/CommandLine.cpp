// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/CommandLine.h"

namespace pictrane {

std::string UsageText(const std::string& Program) {
  return "Usage: " + Program +
         " [--help | --version]\n"
         "Converts a folder of bitmaps into TI-89 pictures by driving the capture tool named in\n"
         "settings.ini. The folder, the device folder and the delete option are chosen in the\n"
         "window.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "\n"
         "Exit status: 0 every bitmap converted (or nothing to do), 1 the capture tool, dummy.bmp\n"
         "or the settings file is missing or unusable, 2 a usage or run-time error, 3 some "
         "bitmaps\n"
         "were left without a picture.\n";
}

CommandLineAnswer ParseCommandLine(const std::vector<std::string>& Args,
                                   const std::string& Program) {
  // The first argument decides: anything but the two options is a mistake.
  if (Args.empty()) return {};
  const std::string& First = Args.front();
  if (First == "-h" || First == "--help") return {false, UsageText(Program), false, 0};
  if (First == "--version")
    return {false, std::string(kAppTitle) + " " + kVersion + "\n", false, 0};
  const std::string Why = First.size() > 1 && First[0] == '-'
                              ? "unknown option '" + First + "'"
                              : "unexpected argument '" + First + "'";
  return {false, Program + ": " + Why + "\n" + UsageText(Program), true, kExitUsage};
}

}  // namespace pictrane
