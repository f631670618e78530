// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux file, listing and process services on real files and processes.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "conversion/RunTimings.h"
#include "../core/listing_scenarios.h"
#include "TestFiles.h"
#include "conversion/BitmapListing.h"
#include "conversion/ConversionRun.h"
#include "pictrane/RaisedError.h"
#include "linux/FileSystemLinux.h"
#include "linux/ProcessesLinux.h"

namespace fs = std::filesystem;

namespace pictrane {
namespace {

using namespace linux_desktop;

using testing_support::ReadAll;
using testing_support::TempDir;

TEST(SplitCommandLine, GroupsAsWindowsDoes) {
  struct Case {
    std::string line;
    std::vector<std::string> args;
  };
  const Case cases[] = {
      {"/opt/tool \"/app/dummy.bmp\"", {"/opt/tool", "/app/dummy.bmp"}},
      {"\"/opt/my tool\" \"/my app/dummy.bmp\"", {"/opt/my tool", "/my app/dummy.bmp"}},
      {"a  b\tc", {"a", "b", "c"}},
      {"a\\b \"c\\\\\" d", {"a\\b", "c\\", "d"}},
      {"\"a\\\"b\"", {"a\"b"}},
      {"\"\"", {""}},
      {"", {}},
      {"x\"y z\"w", {"xy zw"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

// The last stretch of a sleep is waited out on the clock; either way it never ends early.
TEST(ClockLinux, SleepUsNeverEndsBeforeTheTimeAsked) {
  ClockLinux clock;
  for (const std::int64_t us : {1, 150, 200, 201, 5000}) {
    const std::int64_t start = clock.NowUs();
    clock.SleepUs(us);
    EXPECT_GE(clock.NowUs() - start, us) << us << " us";
  }
}

// The core's listing policy over the real folder listing, case by case as over the fake.
TEST(DirectoryListingLinux, TakesWhatTheRunCanConvertFromARealFolder) {
  for (const scenarios::ListingScenario& sc : scenarios::ListingScenarios()) {
    SCOPED_TRACE(sc.Name);
    TempDir dir;
    for (const scenarios::ListingEntry& e : sc.Entries) {
      if (e.Type == scenarios::ListingEntry::Kind::Folder)
        fs::create_directory(dir / "" + e.Name);
      else
        dir.File(e.Name);
    }
    fs::create_symlink(dir / "nowhere", dir / "dangling.bmp");
    DirectoryListingLinux listing;
    if (sc.Missing) {
      try {
        ListBitmaps(listing, dir / "missing");
        ADD_FAILURE() << "no error";
      } catch (const RaisedError& e) {
        EXPECT_EQ(e.Description, "Cannot list " + dir / "missing (No such file or directory)");
      }
      continue;
    }
    const BitmapList list = ListBitmaps(listing, dir.Path().string());
    EXPECT_EQ(list.Bitmaps, sc.Bitmaps);
    EXPECT_EQ(list.LeftOut, sc.LeftOut);
  }
}

// "list.txt" is replaced whole, never written through a planted link, and a failure leaves
// neither a half list nor a temporary behind.
TEST(FileSystemLinux, ReplaceContentWritesThroughAnExclusiveTemporary) {
  TempDir dir, other;
  FileSystemLinux files;
  const std::string list = dir / "list.txt";
  const std::string victim = other.File("victim", "keep");
  struct Case {
    const char* what;
    std::function<void()> before;
    std::string path;
    bool throws;
  };
  const Case cases[] = {
      {"new file", [] {}, list, false},
      {"existing file", [&] { dir.File("list.txt", "old and longer"); }, list, false},
      {"planted link", [&] { fs::create_symlink(victim, list); }, list, false},
      {"missing folder", [] {}, dir / "none/list.txt", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove(list);
    c.before();
    if (c.throws) {
      EXPECT_THROW(files.ReplaceContent(c.path, "a.bmp\r\n"), RaisedError);
    } else {
      files.ReplaceContent(c.path, "a.bmp\r\n");
      EXPECT_FALSE(fs::is_symlink(c.path));
      EXPECT_EQ(ReadAll(c.path), "a.bmp\r\n");
    }
    EXPECT_EQ(ReadAll(victim), "keep");
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir.Path().string())) entries += e.path() != list;
    EXPECT_EQ(entries, 0u) << "a temporary was left behind";
  }
}

TEST(FileSystemLinux, DeleteKeepsWriteProtectedAndMissingFilesWithAReason) {
  TempDir dir;
  FileSystemLinux files;
  const std::string plain = dir.File("a.bmp"), locked = dir.File("b.bmp");
  ::chmod(locked.c_str(), 0444);
  files.DeleteFile(plain);
  EXPECT_FALSE(fs::exists(plain));
  EXPECT_THROW(files.DeleteFile(locked), RaisedError);
  EXPECT_TRUE(fs::exists(locked));
  try {
    files.DeleteFile(plain);
    FAIL();
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.Number, ErrorNumber::FileNotFound);
  }
}

TEST(FileSystemLinux, StatAndReadLines) {
  TempDir dir;
  FileSystemLinux files;
  const std::string list = dir.File("list.txt", "a.bmp\r\n\r\nb c.bmp\nlast");
  const auto stamp = files.Stat(list);
  ASSERT_TRUE(stamp);
  EXPECT_EQ(stamp->Size, 21u);
  EXPECT_FALSE(files.Stat(dir.Path().string()));  // a folder is no file
  EXPECT_FALSE(files.Stat(dir / "none"));

  auto reader = files.OpenText(list);
  std::vector<std::string> lines;
  while (!reader->AtEnd()) lines.push_back(reader->ReadLine());
  EXPECT_EQ(lines, (std::vector<std::string>{"a.bmp", "", "b c.bmp", "last"}));
  EXPECT_THROW(files.OpenText(dir / "none"), RaisedError);
}

TEST(FileSystemLinux, ApplicationFolderHoldsThisProgram) {
  FileSystemLinux files;
  const std::string folder = files.ApplicationFolder();
  EXPECT_TRUE(fs::exists(folder + "/linux_services_tests"));
}

// A tool whose path holds a blank, a double quote or a tab starts as it stands, from the run's
// command line for it.
TEST(ProcessesLinux, StartsWithArgumentsAndReportsAMissingProgram) {
  TempDir dir;
  ProcessesLinux programs;
  const std::string out = dir / "out";
  const auto ran = [&](ProcessId pid) {
    EXPECT_GT(pid, 0);
    ::waitpid(static_cast<pid_t>(pid), nullptr, 0);
    return ReadAll(out);
  };
  EXPECT_EQ(ran(programs.Start("/bin/sh -c \"echo \\\"$0\\\" > " + out + "\" \"a b\"",
                               WindowState::MinimizedNoFocus)),
            "a b\n");
  for (const std::string folder : {"my tools", "a\"b", "tab\there", "end\\\"q\\"}) {
    SCOPED_TRACE(folder);
    fs::create_directory(dir / folder);
    const std::string tool = dir.File(folder + "/tool", "#!/bin/sh\necho \"$1\" > '" + out + "'\n");
    fs::permissions(tool, fs::perms::owner_all);
    fs::remove(out);
    EXPECT_EQ(ran(programs.Start(ToolCommandLine(tool, "/my app/dummy.bmp", true),
                                 WindowState::MaximizedFocus)),
              "/my app/dummy.bmp\n");
  }
  EXPECT_THROW(programs.Start(dir / "no-such-tool \"x\"", WindowState::MaximizedFocus),
               RaisedError);
}

// A launcher is told from a tool that failed by its status, which stays known once reaped. What
// it wrote to its standard error is kept line by line, and passed on to ours as it was.
TEST(ProcessesLinux, KeepsTheStatusAndTheErrorLinesAProgramEndedWith) {
  TempDir dir;
  const std::string ours = dir / "our-stderr";
  const int saved = ::dup(2);
  const int file = ::open(ours.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(file, 0);
  ::dup2(file, 2);
  ::close(file);
  ProcessesLinux programs;
  for (int code : {0, 3}) {
    const ProcessId pid =
        programs.Start("/bin/sh -c \"echo one >&2; printf 'two\\r\\nlast' >&2; exit " +
                           std::to_string(code) + "\"",
                       WindowState::MaximizedFocus);
    std::optional<int> status;
    for (int i = 0; i < 500 && !status; ++i) {
      status = programs.ExitStatus(pid);
      if (!status) ::usleep(10000);
    }
    EXPECT_EQ(status, code);
    EXPECT_EQ(programs.ExitStatus(pid), code);
    EXPECT_FALSE(programs.IsRunning(pid));
    EXPECT_EQ(programs.ErrorLines(pid, 5000), (std::vector<std::string>{"one", "two", "last"}));
  }
  // Only the lines the filter takes are kept, and none longer than a report can use, however
  // long it grows: all of it still goes on to our standard error.
  programs.KeepErrorLines([](std::string_view Line) { return Line.starts_with("t"); });
  const ProcessId pid = programs.Start(
      "/bin/sh -c \"echo one >&2; echo two >&2; head -c 40000 /dev/zero | tr '\\0' t >&2\"",
      WindowState::MaximizedFocus);
  for (int i = 0; i < 500 && programs.IsRunning(pid); ++i) ::usleep(10000);
  EXPECT_EQ(programs.ErrorLines(pid, 5000), std::vector<std::string>{"two"});
  ::dup2(saved, 2);
  ::close(saved);
  EXPECT_EQ(ReadAll(ours), "one\ntwo\r\nlastone\ntwo\r\nlastone\ntwo\n" + std::string(40000, 't'));
}

// True once Done says so, looking every 10 ms for at most 5 s.
bool Within5s(const std::function<bool()>& Done) {
  for (int i = 0; i < 500; ++i, ::usleep(10000))
    if (Done()) return true;
  return false;
}

// Whether Pid is gone or only waits to be reaped by whoever inherited it.
bool Ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(stat, line)) return true;
  const std::size_t close = line.rfind(')');
  return close != std::string::npos && line.substr(close + 2, 1) == "Z";
}

// The primitives the core's wait for the tool's window works with: the start returns at once,
// the window search is passed through, and Stop ends and reaps the program and ends what it
// started (a windowless tool's child), while the program runs and once it has ended itself.
TEST(ProcessesLinux, StartReturnsAtOnceAndStopEndsTheProgram) {
  TempDir dir;
  const std::string child = dir / "child";
  const std::string starts = "/bin/sh -c \"sleep 30 & echo $! > " + child + "; ";
  const struct {
    std::string line;
    bool child, runs;
  } cases[] = {{"/bin/sleep 30", false, true},
               {starts + "wait\"", true, true},
               {starts + "exit 0\"", true, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    fs::remove(child);
    ProcessesLinux programs;
    const ProcessId pid = programs.Start(c.line, WindowState::MaximizedFocus);
    if (c.child) {
      ASSERT_TRUE(Within5s([&] { return !ReadAll(child).empty(); }));
    }
    if (!c.runs) {
      ASSERT_TRUE(Within5s([&] { return !programs.IsRunning(pid); }));
    }
    EXPECT_EQ(programs.IsRunning(pid), c.runs);
    // What it started is its own, from /proc, while it runs.
    if (c.child && c.runs) {
      EXPECT_EQ(programs.ParentProcess(std::stoi(ReadAll(child))), pid);
    }
    programs.Stop(pid, kRunTimings.StopWaitMs);
    EXPECT_FALSE(programs.IsRunning(pid));
    EXPECT_EQ(::waitpid(static_cast<pid_t>(pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    if (c.child) {
      const pid_t started = std::stoi(ReadAll(child));
      EXPECT_TRUE(Within5s([&] { return Ended(started); })) << "its child " << started << " runs";
    }
  }
}

}  // namespace
}  // namespace pictrane
