// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace pictrane {

struct Platform;

// What the run reads from the window while it goes on.
class RunHost {
 public:
  virtual ~RunHost() = default;
  // The delete option now: 0 unchecked, 1 checked, 2 greyed. Read again after each file.
  virtual int DeleteOption() = 0;
  // True once the user asked the window to close; the run stops after the current file.
  virtual bool StopRequested() = 0;
};

struct RunInputs {
  std::string Folder;
  std::string DeviceFolder;
  std::string ScreenCapturePath;
  // Where start-up found them (see startup/AppFolders.h); empty: in the application folder.
  std::string ListFile = {};
  std::string Placeholder = {};
};

enum class RunOutcome {
  Idle,        // nothing was started (invalid input, a folder problem); the window stays
  Finished,    // every listed bitmap got its picture; the window unloads
  Incomplete,  // the run ended with a listed bitmap left without its picture; the window unloads
};

// The program's exit status after a run that left a listed bitmap without its picture.
inline constexpr int kExitIncomplete = 3;

// What the progress window says while the run waits for the tool to end.
inline constexpr const char* kWaitingForToolText = "Waiting for the capture tool to finish";

// Lists the folder's bitmaps, starts the capture tool with the placeholder and types the file
// script for each bitmap, paced as src/conversion/Pacer.h says. Then it closes the tool and
// waits for it to end (it works through the keys sent before), checks every picture, and
// deletes a bitmap (with the option on) only when its own picture exists and the bitmap is
// still the very file whose keys were sent. Folder problems stop it before the tool starts. A
// run that leaves anything for the user to do ends with a box that says what and lists the
// bitmaps in the order of the run; a complete one with a desktop notification. "list.txt" is
// removed however it ends.
RunOutcome RunConversion(Platform& P, const RunInputs& Inputs, RunHost& Host);

// The tool's command line: the path, then the placeholder quoted. A path that names a file as a
// whole (PathNamesAFile) is the program as it stands, quoted when it holds a blank, a tab or a
// double quote; any other goes unquoted, as written: Windows then tries successively longer
// blank-separated prefixes as the program and passes the rest as arguments (on Linux the first
// blank ends the program's name).
std::string ToolCommandLine(const std::string& ToolPath, const std::string& Placeholder,
                            bool PathNamesAFile);

}  // namespace pictrane
