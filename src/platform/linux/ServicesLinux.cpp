// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/linux/ServicesLinux.h"

#include <spawn.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/AtomicFile.h"
#include "platform/RaisedError.h"
#include "settings/ExistenceTest.h"

extern char** environ;

namespace fs = std::filesystem;

namespace pictrane::linux_desktop {

namespace {

constexpr const char* kSource = ProgramErrorSource;

RaisedError FileError(int number, const std::string& what, const std::string& path,
                      const std::string& why) {
  return RaisedError(number, kSource, what + " " + path + " (" + why + ")");
}

class FileLineReader : public LineReader {
 public:
  explicit FileLineReader(std::ifstream in) : In_(std::move(in)) {}
  bool AtEnd() override { return In_.peek() == std::ifstream::traits_type::eof(); }
  std::string ReadLine() override {
    std::string line;
    std::getline(In_, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }

 private:
  std::ifstream In_;
};

}  // namespace

std::string FileSystemLinux::ApplicationFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    throw RaisedError(ErrorNumber::PathNotFound, kSource,
                      "Cannot find the program's folder (" + ec.message() + ")");
  return exe.parent_path().string();
}

bool FileSystemLinux::Exists(const std::string& Path) {
  return OrdinaryFileExists(Path);
}

void FileSystemLinux::CreateEmptyFile(const std::string& Path) {
  std::ofstream out(Path, std::ios::app | std::ios::binary);
  if (!out)
    throw FileError(ErrorNumber::PathFileAccessError, "Cannot create", Path, std::strerror(errno));
}

void FileSystemLinux::DeleteFile(const std::string& Path) {
  struct stat st {};
  if (::lstat(Path.c_str(), &st) != 0)
    throw FileError(ErrorNumber::FileNotFound, "Cannot delete", Path, std::strerror(errno));
  // A write-protected file is kept, as Windows keeps a read-only one.
  if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0)
    throw FileError(ErrorNumber::PermissionDenied, "Cannot delete", Path,
                    "the file is write-protected");
  std::error_code ec;
  if (!fs::remove(Path, ec) || ec)
    throw FileError(FileErrorNumber(ec), "Cannot delete", Path, ec.message());
}

std::optional<FileStamp> FileSystemLinux::Stat(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{
      static_cast<std::uint64_t>(st.st_size),
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec,
      static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

void FileSystemLinux::ReplaceContent(const std::string& Path, const std::string& Bytes) {
  WriteFileAtomically(Path, Bytes, kSource);
}

std::unique_ptr<LineReader> FileSystemLinux::OpenText(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) throw FileError(ErrorNumber::FileNotFound, "Cannot open", Path, std::strerror(errno));
  return std::make_unique<FileLineReader>(std::move(in));
}

std::vector<FolderEntry> DirectoryListingLinux::Entries(const std::string& Folder) {
  std::error_code ec;
  std::vector<FolderEntry> entries;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    FolderEntry entry;
    entry.Name = it->path().filename().string();
    std::error_code typeError;  // a dangling link is simply not an ordinary file
    entry.Ordinary = it->is_regular_file(typeError);
    entry.Hidden = !entry.Name.empty() && entry.Name[0] == '.';
    entries.push_back(std::move(entry));
  }
  if (ec) throw FileError(FileErrorNumber(ec), "Cannot list", Folder, ec.message());
  return entries;
}

ClockLinux::ClockLinux() {
  // The run's pauses are a few milliseconds each: the default 50 us of timer slack on each of
  // them adds up over a file's script (it only ever lengthens them).
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void ClockLinux::Sleep(int Milliseconds) {
  SleepUs(static_cast<std::int64_t>(Milliseconds) * 1000);
}

void ClockLinux::SleepUs(std::int64_t Microseconds) {
  // A plain sleep: how long the run pauses, and from when, is the core's (Pacer).
  if (Microseconds > 0) std::this_thread::sleep_for(std::chrono::microseconds(Microseconds));
}

std::int64_t ClockLinux::NowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::int64_t ClockLinux::NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::vector<std::string> SplitCommandLine(const std::string& CommandLine) {
  std::vector<std::string> args;
  std::string arg;
  bool inArg = false, quoted = false;
  for (std::size_t i = 0; i < CommandLine.size(); ++i) {
    const char c = CommandLine[i];
    if (c == '\\') {
      std::size_t n = 0;
      while (i < CommandLine.size() && CommandLine[i] == '\\') ++n, ++i;
      if (i < CommandLine.size() && CommandLine[i] == '"') {
        arg.append(n / 2, '\\');
        if (n % 2 == 1) {
          arg += '"';
        } else {
          quoted = !quoted;
        }
      } else {
        arg.append(n, '\\');
        --i;
      }
      inArg = true;
    } else if (c == '"') {
      quoted = !quoted;
      inArg = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArg) args.push_back(arg);
      arg.clear();
      inArg = false;
    } else {
      arg += c;
      inArg = true;
    }
  }
  if (inArg) args.push_back(arg);
  return args;
}

ProcessId ProcessesLinux::Start(const std::string& CommandLine, WindowState) {
  const std::vector<std::string> args = SplitCommandLine(CommandLine);
  if (args.empty()) throw RaisedError(ErrorNumber::FileNotFound, kSource, "Empty command line");
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (rc != 0)
    throw FileError(ErrorNumber::FileNotFound, "Cannot start", args[0], std::strerror(rc));
  return pid;
}

bool ProcessesLinux::ShowWindow(ProcessId Process, int TimeoutMs) {
  // Nothing carries a window state on the command line here: the window is found and shown.
  return ShowWindow_ ? ShowWindow_(Process, TimeoutMs) : IsRunning(Process);
}

void ProcessesLinux::Stop(ProcessId Process) {
  if (Process <= 0) return;
  ::kill(static_cast<pid_t>(Process), SIGKILL);
  ::waitpid(static_cast<pid_t>(Process), nullptr, 0);
}

bool ProcessesLinux::IsRunning(ProcessId Process) {
  return !ExitStatus(Process).has_value();
}

std::optional<int> ProcessesLinux::ExitStatus(ProcessId Process) {
  // Reaps the child when it has ended, so its id is not taken for a live one; its status is kept.
  if (const auto It = Ended_.find(Process); It != Ended_.end()) return It->second;
  int status = 0;
  const pid_t r = ::waitpid(static_cast<pid_t>(Process), &status, WNOHANG);
  if (r == 0) return std::nullopt;
  if (r > 0) {
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    Ended_[Process] = code;
    return code;
  }
  // Not our child (a process a launcher handed over to): alive or not, status unknown.
  if (errno == ECHILD && ::kill(static_cast<pid_t>(Process), 0) == 0) return std::nullopt;
  return 1;
}

void ProcessesLinux::Terminate(int Status) {
  std::fflush(nullptr);
  ::_exit(Status);
}

}  // namespace pictrane::linux_desktop

// Where the program keeps its files.

namespace pictrane::linux_desktop {

std::string FileSystemLinux::Environment(const std::string& Name) {
  const char* value = std::getenv(Name.c_str());
  return value ? value : "";
}

void FileSystemLinux::CreateUserFolder(const std::string& Folder) {
  // Each missing folder on the way is made 0700: a per-user folder is nobody else's business.
  std::string made;
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = Folder.find('/', at + 1);
    made = Folder.substr(0, at);
    if (made.empty()) continue;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST)
      throw FileError(ErrorNumber::PathNotFound, "Cannot create the folder", made,
                      std::strerror(errno));
  }
  struct stat st {};
  if (::stat(Folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw FileError(ErrorNumber::PathNotFound, "Cannot create the folder", Folder,
                    "a file of that name is in the way");
}

bool FileSystemLinux::CanCreateIn(const std::string& Folder) {
  // Permission bits alone would not tell about read-only mounts or root; a real file does.
  std::string probe = Folder + "/.pictrane-probe-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

std::string FileSystemLinux::WriteProblem(const std::string& Path) {
  const int fd = ::open(Path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return "";
}

std::string FileSystemLinux::ReadAll(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) throw FileError(ErrorNumber::FileNotFound, "Cannot read", Path, std::strerror(errno));
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(ErrorNumber::PathFileAccessError, "Cannot read", Path, "I/O error");
  return bytes;
}

void FileSystemLinux::RemoveStaleTemporaries(const std::string& Folder) {
  pictrane::RemoveStaleTemporaries(Folder);
}

}  // namespace pictrane::linux_desktop
