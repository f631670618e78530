// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/FileSystemLinux.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"
#include "portable/ExistenceTest.h"

namespace fs = std::filesystem;

namespace pictrane::linux_desktop {

namespace {

constexpr const char* kSource = ProgramErrorSource;

RaisedError FileError(int Number, const std::string& What, const std::string& Path,
                      const std::string& Why) {
  return RaisedError(Number, kSource, What + " " + Path + " (" + Why + ")");
}

class FileLineReader : public LineReader {
 public:
  explicit FileLineReader(std::ifstream In) : In_(std::move(In)) {}
  bool AtEnd() override { return In_.peek() == std::ifstream::traits_type::eof(); }
  std::string ReadLine() override {
    std::string Line;
    std::getline(In_, Line);
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    return Line;
  }

 private:
  std::ifstream In_;
};

}  // namespace

std::string FileSystemLinux::ApplicationFolder() {
  std::error_code Ec;
  const fs::path Exe = fs::read_symlink("/proc/self/exe", Ec);
  if (Ec)
    throw RaisedError(ErrorNumber::PathNotFound, kSource,
                      "Cannot find the program's folder (" + Ec.message() + ")");
  return Exe.parent_path().string();
}

bool FileSystemLinux::Exists(const std::string& Path) {
  return OrdinaryFileExists(Path);
}

void FileSystemLinux::CreateEmptyFile(const std::string& Path) {
  std::ofstream Out(Path, std::ios::app | std::ios::binary);
  if (!Out)
    throw FileError(ErrorNumber::PathFileAccessError, "Cannot create", Path, std::strerror(errno));
}

void FileSystemLinux::DeleteFile(const std::string& Path) {
  struct stat St {};
  if (::lstat(Path.c_str(), &St) != 0)
    throw FileError(ErrorNumber::FileNotFound, "Cannot delete", Path, std::strerror(errno));
  // A write-protected file is kept, as Windows keeps a read-only one.
  if (S_ISREG(St.st_mode) && (St.st_mode & S_IWUSR) == 0)
    throw FileError(ErrorNumber::PermissionDenied, "Cannot delete", Path,
                    "the file is write-protected");
  std::error_code Ec;
  if (!fs::remove(Path, Ec) || Ec)
    throw FileError(FileErrorNumber(Ec), "Cannot delete", Path, Ec.message());
}

std::optional<FileStamp> FileSystemLinux::Stat(const std::string& Path) {
  struct stat St {};
  if (::stat(Path.c_str(), &St) != 0 || !S_ISREG(St.st_mode)) return std::nullopt;
  return FileStamp{
      static_cast<std::uint64_t>(St.st_size),
      static_cast<std::int64_t>(St.st_mtim.tv_sec) * 1'000'000'000 + St.st_mtim.tv_nsec,
      static_cast<std::uint64_t>(St.st_dev), static_cast<std::uint64_t>(St.st_ino)};
}

void FileSystemLinux::ReplaceContent(const std::string& Path, const std::string& Bytes) {
  WriteFileAtomically(Path, Bytes, kSource);
}

std::unique_ptr<LineReader> FileSystemLinux::OpenText(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw FileError(ErrorNumber::FileNotFound, "Cannot open", Path, std::strerror(errno));
  return std::make_unique<FileLineReader>(std::move(In));
}

std::vector<FolderEntry> DirectoryListingLinux::Entries(const std::string& Folder) {
  std::error_code Ec;
  std::vector<FolderEntry> Entries;
  for (fs::directory_iterator It(Folder, Ec), End; !Ec && It != End; It.increment(Ec)) {
    FolderEntry Entry;
    Entry.Name = It->path().filename().string();
    std::error_code TypeError;  // a dangling link is simply not an ordinary file
    Entry.Ordinary = It->is_regular_file(TypeError);
    Entry.Hidden = !Entry.Name.empty() && Entry.Name[0] == '.';
    Entries.push_back(std::move(Entry));
  }
  if (Ec) throw FileError(FileErrorNumber(Ec), "Cannot list", Folder, Ec.message());
  return Entries;
}

// Where the program keeps its files.

void FileSystemLinux::CreateUserFolder(const std::string& Folder) {
  // Each missing folder on the way is made 0700: a per-user folder is nobody else's business.
  std::string Made;
  std::size_t At = 0;
  while (At != std::string::npos) {
    At = Folder.find('/', At + 1);
    Made = Folder.substr(0, At);
    if (Made.empty()) continue;
    if (::mkdir(Made.c_str(), 0700) != 0 && errno != EEXIST)
      throw FileError(ErrorNumber::PathNotFound, "Cannot create the folder", Made,
                      std::strerror(errno));
  }
  struct stat St {};
  if (::stat(Folder.c_str(), &St) != 0 || !S_ISDIR(St.st_mode))
    throw FileError(ErrorNumber::PathNotFound, "Cannot create the folder", Folder,
                    "a file of that name is in the way");
}

bool FileSystemLinux::CanCreateIn(const std::string& Folder) {
  // Permission bits alone would not tell about read-only mounts or root; a real file does.
  std::string Probe = Folder + "/.pictrane-probe-XXXXXX";
  const int Fd = ::mkstemp(Probe.data());
  if (Fd < 0) return false;
  ::close(Fd);
  ::unlink(Probe.c_str());
  return true;
}

std::string FileSystemLinux::ReadAll(const std::string& Path) {
  std::ifstream In(Path, std::ios::binary);
  if (!In) throw FileError(ErrorNumber::FileNotFound, "Cannot read", Path, std::strerror(errno));
  std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
  if (In.bad()) throw FileError(ErrorNumber::PathFileAccessError, "Cannot read", Path, "I/O error");
  return Bytes;
}

void FileSystemLinux::RemoveStaleTemporaries(const std::string& Folder, int MinAgeS) {
  pictrane::RemoveStaleTemporaries(Folder, std::chrono::seconds(MinAgeS));
}

}  // namespace pictrane::linux_desktop
