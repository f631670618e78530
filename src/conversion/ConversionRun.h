#pragma once

#include <string>

#include "../platform/Platform.h"

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
  Idle,      // nothing was started (invalid input); the window stays
  Finished,  // the run ended, successfully or not; the window unloads
};

// How long the run waits for a picture to appear before it keeps the bitmap.
inline constexpr int kTargetWaitMs = 5000;
inline constexpr int kTargetPollMs = 10;

// Lists the folder's bitmaps, starts the capture tool with the placeholder and types the file
// script for each bitmap; deletes a bitmap only once its picture exists. Problems are reported
// to the user in message boxes; the tool is closed and "list.txt" removed however the run ends.
RunOutcome RunConversion(Platform& P, const RunInputs& Inputs, RunHost& Host);

// The tool's command line: the path (quoted only when it holds a blank) and the placeholder.
std::string ToolCommandLine(const std::string& ToolPath, const std::string& Placeholder);

}  // namespace pictrane
