// SPDX-License-Identifier: GPL-3.0-or-later
#include "picture/FileWrite.h"

#include <sys/statvfs.h>

#include <cerrno>
#include <cstring>

#include "pictrane/Names.h"
#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"

namespace pictrane::capture {

namespace {

constexpr const char* kSource = "pictrane-capture";

// True when the file system that would hold Path has no room for Size more bytes or no free file
// entry, or the failure itself said so: what a write that failed ran into.
bool DiskFull(const std::string& Path, off_t Size, const std::string& Description) {
  for (const int Error : {ENOSPC, EDQUOT}) {
    if (Description.find(std::strerror(Error)) != std::string::npos) return true;
  }
  const auto Slash = Path.find_last_of('/');
  const std::string Folder =
      Slash == std::string::npos ? "." : (Slash == 0 ? "/" : Path.substr(0, Slash));
  struct statvfs Space {};
  if (::statvfs(Folder.c_str(), &Space) != 0) return false;
  return Space.f_favail == 0 || static_cast<unsigned long long>(Space.f_bavail) * Space.f_frsize <
                                    static_cast<unsigned long long>(Size);
}

}  // namespace

void WriteWholeFile(const std::string& Path, std::string_view Bytes) {
  WriteNamingFullDisk(Path, static_cast<off_t>(Bytes.size()),
                      [&] { WriteFileAtomically(Path, Bytes, kSource); });
}

void WriteNamingFullDisk(const std::string& Path, off_t Size, const std::function<void()>& Write) {
  try {
    Write();
  } catch (const RaisedError& Error) {
    if (!DiskFull(Path, Size, Error.Description)) throw;
    throw RaisedError(Error.Number, kSource,
                      "Cannot write " + EscapedName(Path) + ": the disk is full.");
  }
}

}  // namespace pictrane::capture
