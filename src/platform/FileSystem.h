// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace pictrane {

struct FileStamp {
  std::uint64_t Size = 0;
  std::int64_t ModifiedNs = 0;  // since the epoch
  // Which file it is, whatever its name: the device and inode (Windows: the volume's serial
  // number and the file's index); 0 where the system cannot tell.
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
};

// The same file, unchanged: a file rewritten in place, or another renamed over the name, differs.
inline bool SameFile(const FileStamp& A, const FileStamp& B) {
  return A.Size == B.Size && A.ModifiedNs == B.ModifiedNs && A.Device == B.Device &&
         A.Inode == B.Inode;
}

// A text file read line by line; line ends (CRLF or LF) are not part of the line.
class LineReader {
 public:
  virtual ~LineReader() = default;
  virtual bool AtEnd() = 0;
  virtual std::string ReadLine() = 0;
};

// Where a program keeps its files under a system's rules (startup/AppFolders.h).
// Linux: portable while settings.ini sits beside the executable, else the XDG folders.
// Windows: beside the executable while that folder is writable, else %APPDATA%.
enum class FolderRules { Linux, Windows };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // "\" on Windows, "/" elsewhere: what the program puts between a folder and a file name.
  virtual std::string Separator() = 0;
  // The rules of this system for where the program keeps its files.
  virtual FolderRules Rules() = 0;

  // The folder that holds the executable, without a trailing separator (unless a root).
  virtual std::string ApplicationFolder() = 0;

  // A directory search for Path taken as a file pattern ("*", "?") over ordinary files: true when
  // it finds a name. Folders, hidden and system files are never found.
  virtual bool Exists(const std::string& Path) = 0;

  // Creates Path as an empty file when it is absent. Raises RaisedError on failure.
  virtual void CreateEmptyFile(const std::string& Path) = 0;

  // Raises RaisedError when Path cannot be deleted (missing, read-only, ...).
  virtual void DeleteFile(const std::string& Path) = 0;

  // Makes Bytes the whole content of Path in one step, as others see it: a new temporary file
  // beside Path, created exclusively (never through an existing name or link), then moved over
  // Path. Raises RaisedError, leaving Path as it was and no temporary behind, on failure.
  virtual void ReplaceContent(const std::string& Path, const std::string& Bytes) = 0;

  // Size, modification time and identity of an ordinary file, or nothing when there is none.
  virtual std::optional<FileStamp> Stat(const std::string& Path) = 0;

  // Raises RaisedError when Path cannot be opened.
  virtual std::unique_ptr<LineReader> OpenText(const std::string& Path) = 0;

  // Where the program keeps its files (see startup/AppFolders.h).

  // Creates Folder and any missing parents; the folders it creates are the user's alone (0700 on
  // POSIX). Raises RaisedError naming the folder and the reason.
  virtual void CreateUserFolder(const std::string& Folder) = 0;

  // True when a new file can be created in Folder now, probed with a short-lived file.
  virtual bool CanCreateIn(const std::string& Folder) = 0;

  // The whole content of Path. Raises RaisedError when it cannot be read.
  virtual std::string ReadAll(const std::string& Path) = 0;

  // Removes from the bitmap folder Folder the temporaries our own capture tool's interrupted
  // writes left there (pictrane/AtomicFile.h): only those, only when MinAgeS seconds old, and
  // without a word when it cannot. Only where the capture tool is ours (Linux); on Windows, where
  // it is TI's, nothing.
  virtual void RemoveStaleTemporaries(const std::string& Folder, int MinAgeS) = 0;
};

}  // namespace pictrane
