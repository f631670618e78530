#pragma once

#include <string>

namespace pictrane {

// The bare directory listing of a folder's bitmaps: the names (no folder) of the ordinary files
// whose name ends in ".bmp" in any letter case, one per CRLF line, as the command interpreter's
// "dir /b" writes them. Returns once ListFile is complete. Raises RaisedError on failure.
class DirectoryListing {
 public:
  virtual ~DirectoryListing() = default;
  virtual void ListBitmaps(const std::string& Folder, const std::string& ListFile) = 0;
};

}  // namespace pictrane
