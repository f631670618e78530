// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Where the program keeps its files. The application folder holds them wherever that works (a
// build tree, an unpacked archive, a writable folder on Windows); an installed program keeps the
// user's own files in the user's folder instead, and never in a shared one.

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/Processes.h"

namespace pictrane {

inline constexpr const char* kUserFolderLinux = "pictrane-converter";
inline constexpr const char* kUserFolderWindows = "Pictrane Converter";
inline constexpr const char* kCaptureToolName = "pictrane-capture";

struct AppFiles {
  std::string SettingsFile;  // settings.ini
  std::string ListFile;      // list.txt, beside the settings
  std::string Placeholder;   // dummy.bmp: the first of PlaceholderTried that exists, else the first
  std::vector<std::string> PlaceholderTried;
  bool Portable = true;  // everything beside the executable
};

// Works the paths out without changing anything; Env tells the user's folders.
AppFiles LocateAppFiles(FileSystem& Files, Processes& Env, FolderRules Rules);

// Makes sure the located settings file can be used: outside the application folder its folder is
// created (the user's alone) and a missing settings.ini is seeded from the system-wide one or, on
// Linux, made naming the capture tool installed beside the converter. Beside the executable a
// missing file is left for the settings class to create, as ever. Raises RaisedError naming the
// file or folder and the reason.
void PrepareSettings(FileSystem& Files, Processes& Env, FolderRules Rules, const AppFiles& Located);

}  // namespace pictrane
