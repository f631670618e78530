#include "AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/RaisedError.h"

namespace pictrane::capture {

namespace {

std::string FolderOf(const std::string& Path) {
  const auto Slash = Path.find_last_of('/');
  if (Slash == std::string::npos) return ".";
  return Slash == 0 ? "/" : Path.substr(0, Slash);
}

std::string NameOf(const std::string& Path) {
  const auto Slash = Path.find_last_of('/');
  return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

[[noreturn]] void RaiseSystemError(int Error, const std::string& What) {
  const int Number = (Error == EACCES || Error == EPERM || Error == EROFS)
                         ? ErrorNumber::PermissionDenied
                     : Error == ENOENT || Error == ENOTDIR ? ErrorNumber::PathNotFound
                                                           : ErrorNumber::PathFileAccessError;
  throw RaisedError(Number, "pictrane-capture", What + ": " + std::strerror(Error) + ".");
}

// Creates a new, empty temporary file beside Path (mode 0666 less the umask, as any new file)
// and returns its name.
std::string CreateTemporaryBeside(const std::string& Path) {
  static std::atomic<unsigned> Counter{0};
  const std::string Stem =
      FolderOf(Path) + "/." + NameOf(Path) + "." + std::to_string(getpid()) + ".";
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    std::string Candidate = Stem + std::to_string(Counter++) + ".tmp";
    const int Fd = open(Candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd >= 0) {
      close(Fd);
      return Candidate;
    }
    if (errno != EEXIST) RaiseSystemError(errno, "Cannot write in the folder " + FolderOf(Path));
  }
  RaiseSystemError(EEXIST, "Cannot make a temporary file in the folder " + FolderOf(Path));
}

}  // namespace

void WriteAtomically(const std::string& Path,
                     const std::function<void(const std::string&)>& Write) {
  const std::string Temporary = CreateTemporaryBeside(Path);
  try {
    Write(Temporary);
  } catch (...) {
    unlink(Temporary.c_str());
    throw;
  }
  if (std::rename(Temporary.c_str(), Path.c_str()) != 0) {
    const int Error = errno;
    unlink(Temporary.c_str());
    RaiseSystemError(Error, "Cannot save " + Path);
  }
}

}  // namespace pictrane::capture
