// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "pictrane/RaisedError.h"
#include "pictrane/TemporaryFile.h"

namespace pictrane {

namespace {

constexpr std::string_view TemporaryPrefix = ".pictrane-";
constexpr std::size_t TemporaryUnique = 6;  // the XXXXXX that mkstemp fills with letters and digits

bool IsTemporaryName(std::string_view Name) {
  if (Name.size() != TemporaryPrefix.size() + TemporaryUnique ||
      Name.substr(0, TemporaryPrefix.size()) != TemporaryPrefix) {
    return false;
  }
  for (const char C : Name.substr(TemporaryPrefix.size())) {
    const bool Alnum = (C >= '0' && C <= '9') || (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z');
    if (!Alnum) return false;
  }
  return true;
}

std::string FolderOf(const std::string& Path) {
  const auto Slash = Path.find_last_of('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

[[noreturn]] void RaiseSystemError(int Error, const std::string& What, const std::string& Source) {
  // What is missing here is always the folder: the temporary's name is our own.
  throw RaisedError(FileErrorNumber(Error, ErrorNumber::PathNotFound), Source,
                    What + ": " + std::strerror(Error) + ".");
}

}  // namespace

TemporaryFile CreateTemporaryBeside(const std::string& Path, const std::string& Source) {
  // mkstemp: a short unique name whatever the length of Path's own name, created exclusively
  // (O_EXCL), so never an existing name or a link planted there.
  const std::string Template =
      FolderOf(Path) + "/" + std::string(TemporaryPrefix) + std::string(TemporaryUnique, 'X');
  std::vector<char> Name(Template.begin(), Template.end());
  Name.push_back('\0');
  const int Fd = ::mkstemp(Name.data());
  if (Fd < 0) RaiseSystemError(errno, "Cannot write in the folder " + FolderOf(Path), Source);
  struct stat Old {};
  if (::stat(Path.c_str(), &Old) == 0 && S_ISREG(Old.st_mode)) {
    ::fchmod(Fd, Old.st_mode & 07777);
  } else {
    // mkstemp makes 0600; a new file gets what any new file would.
    const mode_t Mask = ::umask(0);
    ::umask(Mask);
    ::fchmod(Fd, 0666 & ~Mask);
  }
  return {Name.data(), Fd};
}

std::size_t WriteSomeOf(const TemporaryFile& File, std::string_view Bytes, const std::string& Path,
                        const std::string& Source) {
  for (;;) {
    const ssize_t N = ::write(static_cast<int>(File.Handle), Bytes.data(), Bytes.size());
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) RaiseSystemError(N < 0 ? errno : ENOSPC, "Cannot write " + Path, Source);
    return static_cast<std::size_t>(N);
  }
}

void FlushAndClose(TemporaryFile& File, const std::string& Path, const std::string& Source) {
  int Fd = static_cast<int>(std::exchange(File.Handle, -1));
  // Our own name in the target's folder: never through a link planted there meanwhile.
  if (Fd < 0) Fd = ::open(File.Name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (Fd < 0) RaiseSystemError(errno, "Cannot write " + Path, Source);
  // close reports a late write error too; the handle is gone either way.
  const bool Synced = ::fsync(Fd) == 0;
  const int SyncError = errno;
  if (::close(Fd) != 0 || !Synced)
    RaiseSystemError(Synced ? errno : SyncError, "Cannot write " + Path, Source);
}

void FlushFolderOf(const std::string& Path, const std::string& Source) {
  const int Fd = ::open(FolderOf(Path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Fd < 0) RaiseSystemError(errno, "Cannot save " + Path, Source);
  // A file system that cannot flush a folder (EINVAL) keeps its entries as it keeps them.
  const bool Synced = ::fsync(Fd) == 0 || errno == EINVAL;
  const int SyncError = errno;
  ::close(Fd);
  if (!Synced) RaiseSystemError(SyncError, "Cannot save " + Path, Source);
}

void CloseTemporary(TemporaryFile& File) noexcept {
  if (File.Handle >= 0) ::close(static_cast<int>(std::exchange(File.Handle, -1)));
}

void RenameOver(const TemporaryFile& File, const std::string& Path, const std::string& Source) {
  if (std::rename(File.Name.c_str(), Path.c_str()) != 0) {
    RaiseSystemError(errno, "Cannot save " + Path, Source);
  }
}

void RemoveTemporary(const TemporaryFile& File) noexcept {
  ::unlink(File.Name.c_str());
}

void RemoveStaleTemporaries(const std::string& Folder, std::chrono::seconds MinAge) {
  const int Dir = ::open(Folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Dir < 0) return;
  DIR* Entries = ::fdopendir(Dir);
  if (Entries == nullptr) {
    ::close(Dir);
    return;
  }
  const std::time_t Cutoff = std::time(nullptr) - static_cast<std::time_t>(MinAge.count());
  while (const dirent* Entry = ::readdir(Entries)) {
    if (!IsTemporaryName(Entry->d_name)) continue;
    struct stat Info {};
    // Looked at and removed relative to the folder, never through a link.
    if (::fstatat(Dir, Entry->d_name, &Info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(Info.st_mode) || Info.st_uid != ::geteuid() || Info.st_mtime > Cutoff) continue;
    ::unlinkat(Dir, Entry->d_name, 0);
  }
  ::closedir(Entries);
}

}  // namespace pictrane
