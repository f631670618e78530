// SPDX-License-Identifier: GPL-3.0-or-later
#include "linux/ProcessesLinux.h"

#include <spawn.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>

#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"
#include "linux/TimingsLinux.h"

extern char** environ;

namespace fs = std::filesystem;

namespace pictrane::linux_desktop {

namespace {

constexpr const char* kSource = ProgramErrorSource;

RaisedError StartError(const std::string& Path, const std::string& Why) {
  return RaisedError(ErrorNumber::FileNotFound, kSource, "Cannot start " + Path + " (" + Why + ")");
}

}  // namespace

ClockLinux::ClockLinux() {
  // The run's pauses are a few milliseconds each: the default 50 us of timer slack on each of
  // them adds up over a file's script (it only ever lengthens them).
  ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void ClockLinux::Sleep(int Milliseconds) {
  SleepUs(static_cast<std::int64_t>(Milliseconds) * 1000);
}

void ClockLinux::SleepUs(std::int64_t Microseconds) {
  // How long the run pauses, and from when, is the core's (Pacer); this only ends the sleep on
  // time. The kernel wakes a sleeper 50-100 us late on a busy or virtual machine, 18 times a
  // file, so the last stretch is waited out on the clock instead.
  if (Microseconds <= 0) return;
  const auto Due = std::chrono::steady_clock::now() + std::chrono::microseconds(Microseconds);
  if (Microseconds > kSleepWaitedOutUs)
    std::this_thread::sleep_for(std::chrono::microseconds(Microseconds - kSleepWaitedOutUs));
  while (std::chrono::steady_clock::now() < Due) {
  }
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
  std::vector<std::string> Args;
  std::string Arg;
  bool InArg = false, Quoted = false;
  for (std::size_t I = 0; I < CommandLine.size(); ++I) {
    const char C = CommandLine[I];
    if (C == '\\') {
      std::size_t N = 0;
      while (I < CommandLine.size() && CommandLine[I] == '\\') ++N, ++I;
      if (I < CommandLine.size() && CommandLine[I] == '"') {
        Arg.append(N / 2, '\\');
        if (N % 2 == 1) {
          Arg += '"';
        } else {
          Quoted = !Quoted;
        }
      } else {
        Arg.append(N, '\\');
        --I;
      }
      InArg = true;
    } else if (C == '"') {
      Quoted = !Quoted;
      InArg = true;
    } else if ((C == ' ' || C == '\t') && !Quoted) {
      if (InArg) Args.push_back(Arg);
      Arg.clear();
      InArg = false;
    } else {
      Arg += C;
      InArg = true;
    }
  }
  if (InArg) Args.push_back(Arg);
  return Args;
}

// Our own standard error as the reader may write to it without ever waiting: a pipe or a
// terminal opened anew without blocking (the shared one is left as it is for everyone else),
// a socket sent to without waiting; a file or /dev/null as it is.
class ErrorPassage {
 public:
  ErrorPassage() {
    struct stat Info {};
    if (::fstat(STDERR_FILENO, &Info) != 0) return;  // closed: nothing to pass on
    if (S_ISSOCK(Info.st_mode)) {
      Fd_ = STDERR_FILENO, Socket_ = true;
    } else if (S_ISFIFO(Info.st_mode) || S_ISCHR(Info.st_mode)) {
      Fd_ = ::open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
      Own_ = Fd_ >= 0;
      Pipe_ = S_ISFIFO(Info.st_mode);
      if (Pipe_ && Own_) Capacity_ = ::fcntl(Fd_, F_GETPIPE_SZ);
    } else {
      Fd_ = STDERR_FILENO;
    }
  }
  ~ErrorPassage() {
    if (Dropped_ > 0) {
      const std::string Line = "pictrane-converter: " + std::to_string(Dropped_) +
                               " bytes of the capture tool's standard error could not be passed "
                               "on at once and were dropped\n";
      Write(Line.data(), Line.size());
    }
    if (Own_) ::close(Fd_);
  }
  ErrorPassage(const ErrorPassage&) = delete;
  ErrorPassage& operator=(const ErrorPassage&) = delete;

  // Passes Bytes on as far as they go at once; the rest is counted as dropped.
  void PassOn(const char* Bytes, std::size_t Count) {
    // A pipe is filled to half at most: what this program writes itself there must not wait.
    if (Pipe_ && Capacity_ > 0) {
      int Queued = 0;
      if (::ioctl(Fd_, FIONREAD, &Queued) == 0 &&
          static_cast<std::size_t>(Queued) + Count > static_cast<std::size_t>(Capacity_) / 2) {
        Dropped_ += Count;
        return;
      }
    }
    Dropped_ += Count - Write(Bytes, Count);
  }

 private:
  std::size_t Write(const char* Bytes, std::size_t Count) {
    std::size_t Done = 0;
    while (Fd_ >= 0 && Done < Count) {
      const ssize_t N = Socket_
                            ? ::send(Fd_, Bytes + Done, Count - Done, MSG_DONTWAIT | MSG_NOSIGNAL)
                            : ::write(Fd_, Bytes + Done, Count - Done);
      if (N < 0 && errno == EINTR) continue;
      if (N <= 0) break;  // full, or nobody reads it: the lines are still kept
      Done += static_cast<std::size_t>(N);
    }
    return Done;
  }

  int Fd_ = -1;
  bool Own_ = false, Socket_ = false, Pipe_ = false;
  int Capacity_ = 0;
  std::size_t Dropped_ = 0;
};

// A started program's standard error, read by a thread of its own so that a program writing
// much never waits on a full pipe: what can be written at once goes on to our standard error,
// and of the lines only those Keep takes are kept, within bounds, for the run's report. A line
// longer than a report can use is dropped whole, however long it grows.
class ErrorCapture {
 public:
  ErrorCapture(int ReadEnd, ErrorLineFilter Keep)
      : Fd_(ReadEnd), Stop_(::eventfd(0, EFD_CLOEXEC)), Keep_(std::move(Keep)) {
    Reader_ = std::thread([this] { Read(); });
  }
  ~ErrorCapture() {
    // A process that left the program's group may hold the pipe open for ever: the reader is
    // told to stop rather than waited for.
    const std::uint64_t One = 1;
    if (Stop_ >= 0 && ::write(Stop_, &One, sizeof One) < 0) {
      // Without its wake-up the reader still ends at the pipe's end.
    }
    Reader_.join();
    ::close(Fd_);
    if (Stop_ >= 0) ::close(Stop_);
  }
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  // The lines so far; with Ended, the rest too, read within WaitMs.
  std::vector<std::string> Lines(bool Ended, int WaitMs) {
    std::unique_lock Lock(Mutex_);
    if (Ended) AtEnd_.wait_for(Lock, std::chrono::milliseconds(WaitMs), [this] { return Done_; });
    return Lines_;
  }

 private:
  static constexpr std::size_t kMaxLines = 20000;
  static constexpr std::size_t kMaxLineBytes = 16384;  // a long path, and a message after it
  static constexpr std::size_t kMaxKeptBytes = 4 << 20;

  void Read() {
    // Our standard error closed by whoever read it must not end the program: the write fails
    // instead.
    sigset_t Pipe;
    sigemptyset(&Pipe);
    sigaddset(&Pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &Pipe, nullptr);
    ErrorPassage Out;
    pollfd Fds[2] = {{Fd_, POLLIN, 0}, {Stop_, POLLIN, 0}};
    std::vector<char> Buffer(65536);
    for (;;) {
      if (::poll(Fds, Stop_ >= 0 ? 2 : 1, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (Fds[1].revents != 0) break;
      const ssize_t N = ::read(Fd_, Buffer.data(), Buffer.size());
      if (N < 0 && errno == EINTR) continue;
      if (N <= 0) break;
      Out.PassOn(Buffer.data(), static_cast<std::size_t>(N));
      for (const char* At = Buffer.data(); At < Buffer.data() + N;) {
        const char* End = static_cast<const char*>(
            std::memchr(At, '\n', static_cast<std::size_t>(Buffer.data() + N - At)));
        const char* Stop = End ? End : Buffer.data() + N;
        if (!TooLong_) {
          const std::size_t Part = static_cast<std::size_t>(Stop - At);
          if (Partial_.size() + Part > kMaxLineBytes) {
            TooLong_ = true;
            Partial_.clear();
            Partial_.shrink_to_fit();
          } else {
            Partial_.append(At, Part);
          }
        }
        if (!End) break;
        Keep();
        At = End + 1;
      }
    }
    if (!Partial_.empty()) Keep();
    const std::lock_guard Lock(Mutex_);
    Done_ = true;
    AtEnd_.notify_all();
  }

  void Keep() {
    if (!TooLong_) {
      if (!Partial_.empty() && Partial_.back() == '\r') Partial_.pop_back();
      if (Lines_.size() < kMaxLines && Kept_ + Partial_.size() <= kMaxKeptBytes &&
          (!Keep_ || Keep_(Partial_))) {
        const std::lock_guard Lock(Mutex_);
        Kept_ += Partial_.size();
        Lines_.push_back(Partial_);
      }
    }
    Partial_.clear();
    TooLong_ = false;
  }

  int Fd_;
  int Stop_;
  ErrorLineFilter Keep_;
  std::mutex Mutex_;
  std::condition_variable AtEnd_;
  std::vector<std::string> Lines_;
  std::size_t Kept_ = 0;  // bytes in Lines_
  std::string Partial_;   // the reader's own, like TooLong_
  bool TooLong_ = false;  // the line being read is dropped
  bool Done_ = false;
  std::thread Reader_;  // last: it starts once the rest is there
};

ProcessesLinux::ProcessesLinux() = default;

ProcessesLinux::~ProcessesLinux() = default;

ProcessId ProcessesLinux::Start(const std::string& CommandLine, WindowState) {
  const std::vector<std::string> Args = SplitCommandLine(CommandLine);
  if (Args.empty()) throw RaisedError(ErrorNumber::FileNotFound, kSource, "Empty command line");
  std::vector<char*> Argv;
  for (const std::string& A : Args) Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);

  // In a process group of its own, so that Stop ends whatever it starts too.
  posix_spawnattr_t Attributes;
  ::posix_spawnattr_init(&Attributes);
  ::posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETPGROUP);
  ::posix_spawnattr_setpgroup(&Attributes, 0);
  // Its standard error into a pipe of ours; without one, it keeps ours.
  int Pipe[2] = {-1, -1};
  posix_spawn_file_actions_t Actions;
  ::posix_spawn_file_actions_init(&Actions);
  if (::pipe2(Pipe, O_CLOEXEC) == 0) ::posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 2);
  pid_t Pid = 0;
  const int Rc = ::posix_spawn(&Pid, Argv[0], &Actions, &Attributes, Argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&Actions);
  ::posix_spawnattr_destroy(&Attributes);
  if (Pipe[1] >= 0) ::close(Pipe[1]);
  if (Rc != 0) {
    if (Pipe[0] >= 0) ::close(Pipe[0]);
    throw StartError(Args[0], std::strerror(Rc));
  }
  if (Pipe[0] >= 0) Errors_[Pid] = std::make_unique<ErrorCapture>(Pipe[0], KeepErrors_);
  return Pid;
}

void ProcessesLinux::Stop(ProcessId Process, int WaitMs) {
  if (Process <= 0) return;
  const auto Pid = static_cast<pid_t>(Process);
  // Its group: the processes it started, even once it has ended itself and they were left to
  // init (a group's id is not given to a new process while a member lives).
  ::kill(-Pid, SIGKILL);
  if (Ended_.count(Process)) return;  // reaped: its id may be another process's by now
  ::kill(Pid, SIGKILL);               // in case it left its group
  // Reaped once gone; one stuck in the kernel (a dead file server) is not waited for forever.
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WaitMs);
  for (;;) {
    const pid_t Reaped = ::waitpid(Pid, nullptr, WNOHANG);
    if (Reaped == Pid) {
      Ended_[Process] = 1;
      return;
    }
    if (Reaped < 0 || std::chrono::steady_clock::now() >= Deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool ProcessesLinux::IsRunning(ProcessId Process) {
  return !ExitStatus(Process).has_value();
}

std::optional<int> ProcessesLinux::ExitStatus(ProcessId Process) {
  // Reaps the child when it has ended, so its id is not taken for a live one; its status is kept.
  if (const auto It = Ended_.find(Process); It != Ended_.end()) return It->second;
  int Status = 0;
  const pid_t R = ::waitpid(static_cast<pid_t>(Process), &Status, WNOHANG);
  if (R == 0) return std::nullopt;
  if (R > 0) {
    const int Code = WIFEXITED(Status) ? WEXITSTATUS(Status) : 1;
    Ended_[Process] = Code;
    return Code;
  }
  // Not our child (a process a launcher handed over to): alive or not, status unknown.
  if (errno == ECHILD && ::kill(static_cast<pid_t>(Process), 0) == 0) return std::nullopt;
  return 1;
}

std::vector<std::string> ProcessesLinux::ErrorLines(ProcessId Process, int WaitMs) {
  const auto It = Errors_.find(Process);
  if (It == Errors_.end()) return {};
  return It->second->Lines(!IsRunning(Process), WaitMs);
}

void ProcessesLinux::Terminate(int Status) {
  std::fflush(nullptr);
  ::_exit(Status);
}

ProcessId ProcessesLinux::ParentProcess(ProcessId Process) {
  if (Process <= 0) return 0;
  std::ifstream Stat("/proc/" + std::to_string(Process) + "/stat");
  std::string Line;
  if (!std::getline(Stat, Line)) return 0;
  // "pid (command) state ppid ...": the command may hold blanks and parentheses itself.
  const std::size_t Close = Line.rfind(')');
  if (Close == std::string::npos) return 0;
  std::istringstream Rest(Line.substr(Close + 1));
  std::string State;
  ProcessId Parent = 0;
  if (!(Rest >> State >> Parent)) return 0;
  return Parent;
}

void ProcessesLinux::KeepErrorLines(ErrorLineFilter Keep) {
  KeepErrors_ = std::move(Keep);
}

ProcessId ProcessesLinux::OwnProcess() {
  return ::getpid();
}

std::string ProcessesLinux::Environment(const std::string& Name) {
  const char* Value = std::getenv(Name.c_str());
  return Value ? Value : "";
}
}  // namespace pictrane::linux_desktop
