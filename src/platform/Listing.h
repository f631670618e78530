// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace pictrane {

// One entry of a folder as the system reports it; what the program makes of it is decided in the
// core (src/conversion/BitmapListing.h).
struct FolderEntry {
  std::string Name;       // UTF-8 on Windows; the bytes as stored on Linux
  bool Ordinary = false;  // an ordinary file (a link counts as what it points at)
  bool Hidden = false;    // hidden or system on Windows; a name starting with "." on Linux
};

class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  // Every entry of Folder ("." and ".." aside), in no particular order. Raises RaisedError whose
  // description gives the system's reason when Folder cannot be read (missing, not a folder, no
  // permission).
  virtual std::vector<FolderEntry> Entries(const std::string& Folder) = 0;
};

}  // namespace pictrane
