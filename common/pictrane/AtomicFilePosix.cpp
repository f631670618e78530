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
#include <vector>

#include "pictrane/RaisedError.h"

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

// An open temporary file beside a target; removed (and closed) unless kept.
class Temporary {
 public:
  Temporary(const std::string& Path, const std::string& Source) {
    // mkstemp: a short unique name whatever the length of Path's own name, created exclusively
    // (O_EXCL), so never an existing name or a link planted there.
    const std::string Template =
        FolderOf(Path) + "/" + std::string(TemporaryPrefix) + std::string(TemporaryUnique, 'X');
    std::vector<char> Name(Template.begin(), Template.end());
    Name.push_back('\0');
    Fd_ = ::mkstemp(Name.data());
    if (Fd_ < 0) RaiseSystemError(errno, "Cannot write in the folder " + FolderOf(Path), Source);
    Name_ = Name.data();
    struct stat Old {};
    if (::stat(Path.c_str(), &Old) == 0 && S_ISREG(Old.st_mode)) {
      ::fchmod(Fd_, Old.st_mode & 07777);
    } else {
      // mkstemp makes 0600; a new file gets what any new file would.
      const mode_t Mask = ::umask(0);
      ::umask(Mask);
      ::fchmod(Fd_, 0666 & ~Mask);
    }
  }
  ~Temporary() {
    Close();
    if (!Kept_) ::unlink(Name_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  int Fd() const { return Fd_; }
  const std::string& Name() const { return Name_; }
  // Closes the handle; false (errno set) when the system reports a late write error.
  bool Close() {
    if (Fd_ < 0) return true;
    const int Fd = Fd_;
    Fd_ = -1;
    return ::close(Fd) == 0;
  }
  void Keep() { Kept_ = true; }

 private:
  int Fd_ = -1;
  std::string Name_;
  bool Kept_ = false;
};

void PutInPlace(Temporary& Temp, const std::string& Path, const std::string& Source) {
  if (std::rename(Temp.Name().c_str(), Path.c_str()) != 0) {
    RaiseSystemError(errno, "Cannot save " + Path, Source);
  }
  Temp.Keep();
}

}  // namespace

void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write,
                     const std::string& Source) {
  Temporary Temp(Path, Source);
  Temp.Close();
  Write(Temp.Name());
  PutInPlace(Temp, Path, Source);
}

void WriteFileAtomically(const std::string& Path, std::string_view Bytes,
                         const std::string& Source) {
  Temporary Temp(Path, Source);
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    const ssize_t N = ::write(Temp.Fd(), Bytes.data() + Done, Bytes.size() - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) RaiseSystemError(N < 0 ? errno : ENOSPC, "Cannot write " + Path, Source);
    Done += static_cast<std::size_t>(N);
  }
  // A full disk may only show when the data is flushed.
  if (::fsync(Temp.Fd()) != 0 || !Temp.Close()) {
    RaiseSystemError(errno, "Cannot write " + Path, Source);
  }
  PutInPlace(Temp, Path, Source);
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
