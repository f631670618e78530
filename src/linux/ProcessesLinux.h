// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The POSIX side of the Linux platform: files, the bitmap listing, processes and the clock.
// Qt-free and Xlib-free, so either side may include it.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/Listing.h"
#include "platform/Processes.h"

namespace pictrane::linux_desktop {

class FileSystemLinux : public FileSystem {
 public:
  std::string Separator() override { return "/"; }
  std::string ApplicationFolder() override;
  bool Exists(const std::string& Path) override;
  void CreateEmptyFile(const std::string& Path) override;
  void DeleteFile(const std::string& Path) override;
  std::optional<FileStamp> Stat(const std::string& Path) override;
  std::unique_ptr<LineReader> OpenText(const std::string& Path) override;
  void ReplaceContent(const std::string& Path, const std::string& Bytes) override;
  std::string Environment(const std::string& Name) override;
  void CreateUserFolder(const std::string& Folder) override;
  bool CanCreateIn(const std::string& Folder) override;
  std::string ReadAll(const std::string& Path) override;
  void RemoveStaleTemporaries(const std::string& Folder, int MinAgeS) override;
};

class DirectoryListingLinux : public DirectoryListing {
 public:
  std::vector<FolderEntry> Entries(const std::string& Folder) override;
};

class ClockLinux : public Clock {
 public:
  ClockLinux();
  void Sleep(int Milliseconds) override;
  std::int64_t NowMs() override;
  std::int64_t NowUs() override;
  void SleepUs(std::int64_t Microseconds) override;
};

// Splits a command line into arguments as Windows programs do: blanks separate, double quotes
// group, backslashes escape a quote only when they precede one.
std::vector<std::string> SplitCommandLine(const std::string& CommandLine);

class ErrorCapture;

class ProcessesLinux : public Processes {
 public:
  // Shows a started program's window maximised with the focus; false when it did not come
  // forward in time. Without one, a running program counts as shown.
  using ShowWindowFn = std::function<bool(ProcessId Process, int TimeoutMs)>;
  explicit ProcessesLinux(ShowWindowFn ShowWindow);
  ~ProcessesLinux() override;
  ProcessesLinux(const ProcessesLinux&) = delete;
  ProcessesLinux& operator=(const ProcessesLinux&) = delete;
  // The started program's standard error is a pipe of ours: read as it comes, passed on to our
  // own standard error and kept for ErrorLines.
  ProcessId Start(const std::string& CommandLine, WindowState State) override;
  bool ShowWindow(ProcessId Process, int TimeoutMs) override;
  void Stop(ProcessId Process, int WaitMs) override;
  bool IsRunning(ProcessId Process) override;
  std::optional<int> ExitStatus(ProcessId Process) override;
  std::vector<std::string> ErrorLines(ProcessId Process, int WaitMs) override;
  [[noreturn]] void Terminate(int Status) override;

 private:
  ShowWindowFn ShowWindow_;
  std::map<ProcessId, int> Ended_;  // children reaped, with their status
  std::map<ProcessId, std::unique_ptr<ErrorCapture>> Errors_;
};

}  // namespace pictrane::linux_desktop
