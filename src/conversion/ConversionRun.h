// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

#include "platform/Platform.h"

namespace pictrane {

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

// How long, after the last bitmap's keys, the run waits for the pictures still missing.
inline constexpr int kTargetWaitMs = 5000;
inline constexpr int kTargetPollMs = 10;

// Lists the folder's bitmaps, starts the capture tool with the placeholder and types the file
// script for each bitmap; then checks every picture, and deletes a bitmap (with the option on)
// only once its own picture exists. Folder problems stop it before the tool starts. A run that
// leaves a bitmap without its picture ends with a box that lists each such bitmap; a complete
// one with a desktop notification. The tool is closed and "list.txt" removed however it ends.
RunOutcome RunConversion(Platform& P, const RunInputs& Inputs, RunHost& Host);

// The tool's command line: the path (quoted only when it holds a blank) and the placeholder.
std::string ToolCommandLine(const std::string& ToolPath, const std::string& Placeholder);

}  // namespace pictrane
