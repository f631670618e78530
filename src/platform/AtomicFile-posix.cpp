#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "RaisedError.h"

namespace pictrane {

namespace {

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

// A new, empty temporary file beside Path, made by mkstemp: a short unique name (whatever the
// length of Path's own name), created exclusively, never through an existing name or link.
// Its mode becomes 0666 less the umask, as any new file's.
std::string CreateTemporaryBeside(const std::string& Path, const std::string& Source) {
  std::string Template = FolderOf(Path) + "/.pictrane-XXXXXX";
  std::vector<char> Name(Template.begin(), Template.end());
  Name.push_back('\0');
  const int Fd = ::mkstemp(Name.data());
  if (Fd < 0) RaiseSystemError(errno, "Cannot write in the folder " + FolderOf(Path), Source);
  const mode_t Mask = ::umask(0);
  ::umask(Mask);
  ::fchmod(Fd, 0666 & ~Mask);
  ::close(Fd);
  return std::string(Name.data());
}

}  // namespace

void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write,
                     const std::string& Source) {
  const std::string Temporary = CreateTemporaryBeside(Path, Source);
  try {
    Write(Temporary);
  } catch (...) {
    ::unlink(Temporary.c_str());
    throw;
  }
  if (std::rename(Temporary.c_str(), Path.c_str()) != 0) {
    const int Error = errno;
    ::unlink(Temporary.c_str());
    RaiseSystemError(Error, "Cannot save " + Path, Source);
  }
}

void WriteFileAtomically(const std::string& Path, std::string_view Bytes,
                         const std::string& Source) {
  WriteAtomically(
      Path,
      [&](const std::string& Temporary) {
        const int Fd = ::open(Temporary.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
        if (Fd < 0) RaiseSystemError(errno, "Cannot write " + Path, Source);
        std::size_t Done = 0;
        while (Done < Bytes.size()) {
          const ssize_t N = ::write(Fd, Bytes.data() + Done, Bytes.size() - Done);
          if (N < 0 && errno == EINTR) continue;
          if (N <= 0) {
            const int Error = N < 0 ? errno : ENOSPC;
            ::close(Fd);
            RaiseSystemError(Error, "Cannot write " + Path, Source);
          }
          Done += static_cast<std::size_t>(N);
        }
        // A full disk may only show when the data is flushed.
        if (::fsync(Fd) != 0 || ::close(Fd) != 0)
          RaiseSystemError(errno, "Cannot write " + Path, Source);
      },
      Source);
}

}  // namespace pictrane
