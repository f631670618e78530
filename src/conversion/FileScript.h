// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "conversion/RunTimings.h"

namespace pictrane {

// The names the run derives from one listed file name, e.g. photo.bmp in C:\pics.
struct FileNames {
  std::string Source;    // C:\pics\photo.bmp: the bitmap to open
  std::string Target;    // C:\pics\photo.89i: the picture to write
  std::string Variable;  // photo: the picture variable's name
};

// The picture a bitmap makes: the bitmap's name (or path) without its last four characters,
// taken to be ".bmp" as the listing selects it (not checked), then ".89i".
std::string PictureName(const std::string& Bitmap);

// Folder is used as given, so a root gives a doubled separator.
FileNames DeriveNames(const std::string& Folder, const std::string& Separator,
                      const std::string& Listed);

// One key string of the file script with the pauses around it.
struct ScriptStep {
  std::string Keys;       // in send-keys notation, literal text already escaped
  int PauseBeforeMs = 0;  // added to the previous step's pause
  int PauseAfterMs = kRunTimings.KeyPauseMs;
};

// The keys that make the capture tool open Names.Source and save it as a TI-89 picture in
// DeviceFolder: eighteen key strings, 120 ms of pauses in all.
std::vector<ScriptStep> FileScript(const FileNames& Names, const std::string& DeviceFolder);

}  // namespace pictrane
