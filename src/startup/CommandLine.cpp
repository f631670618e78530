// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup/CommandLine.h"

namespace pictrane {

std::string UsageText(const std::string& Program, HelpStyle Style) {
  if (Style == HelpStyle::MessageBox) {
    // One paragraph a line: the box wraps them to its own width.
    return "Usage: " + Program +
           " [/? | --help | --version]\r\n"
           "\r\n"
           "Converts a folder of bitmaps into TI-89 pictures by driving the capture tool named in "
           "settings.ini. The folder, the device folder and the delete option are chosen in the "
           "window.\r\n"
           "\r\n"
           "/?, -h or --help: show this help.\r\n"
           "--version: show the version.\r\n"
           "Any other argument is ignored.\r\n"
           "\r\n"
           "Exit status:\r\n"
           "0: every listed bitmap has its picture, or the window was closed without a run.\r\n"
           "1: the capture tool, dummy.bmp or a usable settings file is missing (the message "
           "names the path tried and the settings file to edit).\r\n"
           "2: only an unexpected run-time error (\"Run-time error 'N'\").\r\n"
           "3: the run ended with a listed bitmap left without its picture.";
  }
  return "Usage: " + Program +
         " [--help | --version]\n"
         "Converts a folder of bitmaps into TI-89 pictures by driving the capture tool named in\n"
         "settings.ini. The folder, the device folder and the delete option are chosen in the\n"
         "window.\n"
         "\n"
         "  -h, --help     show this help and exit\n"
         "      --version  show the version and exit\n"
         "\n"
         "Qt's own options (such as -style or -session) go to Qt; any other argument is ignored.\n"
         "\n"
         "Exit status: 0 every bitmap converted (or nothing to do), 1 the capture tool, dummy.bmp\n"
         "or the settings file is missing or unusable, 2 a run-time error, 3 some bitmaps were\n"
         "left without a picture.\n";
}

CommandLineAnswer ParseCommandLine(const std::vector<std::string>& Args, const std::string& Program,
                                   HelpStyle Style) {
  const bool Box = Style == HelpStyle::MessageBox;
  for (const std::string& Arg : Args) {
    if (Arg == "-h" || Arg == "--help" || (Box && Arg == "/?"))
      return {false, UsageText(Program, Style), {}};
    if (Arg == "--version")
      return {false, std::string(kAppTitle) + " " + kVersion + (Box ? "" : "\n"), {}};
  }
  return {true, "", Args};
}

std::string IgnoredArgumentsLine(const std::string& Program, const std::vector<std::string>& Args) {
  if (Args.empty()) return "";
  std::string Line = Program + ": ignoring " + (Args.size() == 1 ? "an argument" : "arguments") +
                     " it does not take:";
  for (const std::string& Arg : Args) Line += " '" + Arg + "'";
  return Line + "\n";
}

}  // namespace pictrane
