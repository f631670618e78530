#include "LinuxServices.h"

#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cwchar>
#include <cwctype>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/RaisedError.h"
#include "settings/ExistenceTest.h"

extern char** environ;

namespace fs = std::filesystem;

namespace pictrane {

namespace {

constexpr const char* kSource = ProgramErrorSource;

RaisedError FileError(int number, const std::string& what, const std::string& path,
                      const std::string& why) {
  return RaisedError(number, kSource, what + " " + path + " (" + why + ")");
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

// The name as NTFS orders names: every character upper-cased, then compared as UTF-16 code
// units. Decoding and case follow the calling thread's locale (see ListBitmaps); a byte that does
// not begin a character there stands for itself.
std::u16string NtfsOrderKey(const std::string& name) {
  std::u16string key;
  key.reserve(name.size());
  std::mbstate_t state{};
  for (std::size_t i = 0; i < name.size();) {
    wchar_t c = 0;
    std::size_t used = std::mbrtowc(&c, name.data() + i, name.size() - i, &state);
    if (used == 0 || used > name.size() - i) {
      c = static_cast<wchar_t>(static_cast<unsigned char>(name[i]));
      used = 1;
      state = {};
    }
    i += used;
    const auto u = static_cast<char32_t>(std::towupper(static_cast<wint_t>(c)));
    if (u >= 0x10000) {
      key += static_cast<char16_t>(0xD800 + ((u - 0x10000) >> 10));
      key += static_cast<char16_t>(0xDC00 + ((u - 0x10000) & 0x3FF));
    } else {
      key += static_cast<char16_t>(u);
    }
  }
  return key;
}

// Unicode's characters and case mapping for this thread while it lives, whatever the user's
// locale is; without C.UTF-8 the thread keeps its locale.
class UnicodeCType {
 public:
  UnicodeCType() {
    static const locale_t unicode = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (unicode) previous_ = ::uselocale(unicode);
  }
  ~UnicodeCType() {
    if (previous_) ::uselocale(previous_);
  }
  UnicodeCType(const UnicodeCType&) = delete;
  UnicodeCType& operator=(const UnicodeCType&) = delete;

 private:
  locale_t previous_{};
};

bool EndsWithBmp(const std::string& name) {
  return name.size() > 4 && Upper(name.substr(name.size() - 4)) == ".BMP";
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

std::string LinuxFileSystem::ApplicationFolder() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    throw RaisedError(ErrorNumber::PathNotFound, kSource,
                      "Cannot find the program's folder (" + ec.message() + ")");
  return exe.parent_path().string();
}

bool LinuxFileSystem::Exists(const std::string& Path) {
  return OrdinaryFileExists(Path);
}

void LinuxFileSystem::CreateEmptyFile(const std::string& Path) {
  std::ofstream out(Path, std::ios::app | std::ios::binary);
  if (!out)
    throw FileError(ErrorNumber::PathFileAccessError, "Cannot create", Path, std::strerror(errno));
}

void LinuxFileSystem::DeleteFile(const std::string& Path) {
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

std::optional<FileStamp> LinuxFileSystem::Stat(const std::string& Path) {
  struct stat st {};
  if (::stat(Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return FileStamp{
      static_cast<std::uint64_t>(st.st_size),
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::unique_ptr<LineReader> LinuxFileSystem::OpenText(const std::string& Path) {
  std::ifstream in(Path, std::ios::binary);
  if (!in) throw FileError(ErrorNumber::FileNotFound, "Cannot open", Path, std::strerror(errno));
  return std::make_unique<FileLineReader>(std::move(in));
}

void LinuxListing::ListBitmaps(const std::string& Folder, const std::string& ListFile) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(Folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    // Like "dir /b": ordinary files only, hidden ones (dot files here) left out.
    if (name.empty() || name[0] == '.' || !EndsWithBmp(name) || !it->is_regular_file(typeError))
      continue;
    names.push_back(name);
  }
  if (ec) throw FileError(ErrorNumber::PathNotFound, "Cannot list", Folder, ec.message());

  // NTFS keeps names in upper-cased order; ties keep a stable, byte-wise order. Each key is
  // made once, not once per comparison.
  std::vector<std::pair<std::u16string, std::string>> sorted;
  sorted.reserve(names.size());
  {
    const UnicodeCType unicode;
    for (std::string& name : names) sorted.emplace_back(NtfsOrderKey(name), std::move(name));
  }
  std::sort(sorted.begin(), sorted.end());

  const std::string temp = ListFile + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    for (const auto& entry : sorted) out << entry.second << "\r\n";
    out.flush();
    if (!out)
      throw FileError(ErrorNumber::PathFileAccessError, "Cannot write", temp, std::strerror(errno));
  }
  fs::rename(temp, ListFile, ec);
  if (ec) throw FileError(ErrorNumber::PathFileAccessError, "Cannot write", ListFile, ec.message());
}

LinuxClock::LinuxClock() {
  // The run's pauses are a few milliseconds each: the default 50 us of timer slack on each of
  // them adds up over a file's script.
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void LinuxClock::Sleep(int Milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

std::int64_t LinuxClock::NowMs() {
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

ProcessId LinuxProcesses::Start(const std::string& CommandLine, WindowState State) {
  const std::vector<std::string> args = SplitCommandLine(CommandLine);
  if (args.empty()) throw RaisedError(ErrorNumber::FileNotFound, kSource, "Empty command line");
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (rc != 0)
    throw FileError(ErrorNumber::FileNotFound, "Cannot start", args[0], std::strerror(rc));

  // Nothing carries a window state on the command line here: find the window and show it.
  // No keys could reach a program whose window never came forward, and a program the caller
  // never learns of must not outlive a failure here.
  const auto Stop = [pid] {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  };
  bool Shown = true;
  try {
    if (State == WindowState::MaximizedFocus && ShowWindow_)
      Shown = ShowWindow_(pid, kWindowWaitMs);
  } catch (...) {
    Stop();
    throw;
  }
  if (!Shown) {
    Stop();
    throw RaisedError(ErrorNumber::InvalidProcedureCall, kSource, NoWindowMessage(CommandLine));
  }
  return pid;
}

bool LinuxProcesses::IsRunning(ProcessId Process) {
  // Reaps the child when it has ended, so its id is not taken for a live one.
  int status = 0;
  const pid_t r = ::waitpid(static_cast<pid_t>(Process), &status, WNOHANG);
  if (r == 0) return true;
  if (r > 0) return false;
  return errno == ECHILD ? ::kill(static_cast<pid_t>(Process), 0) == 0 : false;
}

void LinuxProcesses::Terminate(int Status) {
  std::fflush(nullptr);
  ::_exit(Status);
}

}  // namespace pictrane
