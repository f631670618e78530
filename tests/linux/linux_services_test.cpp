// The Linux file, listing and process services on real files.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "TestFiles.h"
#include "platform/RaisedError.h"
#include "platform/linux/LinuxServices.h"

namespace fs = std::filesystem;

namespace pictrane {
namespace {

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

TEST(LinuxListing, ListsBitmapsLikeABareDirectoryListing) {
  TempDir dir;
  for (const char* n : {"b.bmp", "A.BMP", "c.Bmp", "ä.bmp", "Z b+(1).bmp", "Éb.bmp", "éa.bmp",
                        "ωb.bmp", "Ωa.bmp", "notes.txt", ".hidden.bmp", "x.bmpx", "bmp"})
    dir.File(n);
  fs::create_directory(dir / "folder.bmp");
  const std::string list = dir / "list.txt";
  LinuxListing().ListBitmaps(dir.Path().string(), list);
  // Upper-cased before comparing, outside ASCII too: é and É, ω and Ω are the same letter.
  EXPECT_EQ(ReadAll(list),
            "A.BMP\r\nb.bmp\r\nc.Bmp\r\nZ b+(1).bmp\r\nä.bmp\r\néa.bmp\r\nÉb.bmp\r\nΩa.bmp\r\n"
            "ωb.bmp\r\n");
  EXPECT_FALSE(fs::exists(list + ".part"));
}

TEST(LinuxListing, EmptyFolderGivesAnEmptyListAndMissingFolderRaises) {
  TempDir dir;
  const std::string list = dir / "list.txt";
  LinuxListing().ListBitmaps(dir.Path().string(), list);
  EXPECT_EQ(ReadAll(list), "");
  try {
    LinuxListing().ListBitmaps(dir / "missing", list);
    FAIL();
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.Number, ErrorNumber::PathNotFound);
    EXPECT_NE(e.Description.find("/missing"), std::string::npos);
  }
}

TEST(LinuxFileSystem, DeleteKeepsWriteProtectedAndMissingFilesWithAReason) {
  TempDir dir;
  LinuxFileSystem files;
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

TEST(LinuxFileSystem, StatAndReadLines) {
  TempDir dir;
  LinuxFileSystem files;
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

TEST(LinuxFileSystem, ApplicationFolderHoldsThisProgram) {
  LinuxFileSystem files;
  const std::string folder = files.ApplicationFolder();
  EXPECT_TRUE(fs::exists(folder + "/linux_services_tests"));
}

TEST(LinuxProcesses, StartsWithArgumentsAndReportsAMissingProgram) {
  TempDir dir;
  LinuxProcesses programs(nullptr);
  const std::string out = dir / "out";
  const ProcessId pid = programs.Start("/bin/sh -c \"echo \\\"$0\\\" > " + out + "\" \"a b\"",
                                       WindowState::MinimizedNoFocus);
  EXPECT_GT(pid, 0);
  int status = 0;
  ::waitpid(static_cast<pid_t>(pid), &status, 0);
  EXPECT_EQ(ReadAll(out), "a b\n");
  EXPECT_THROW(programs.Start(dir / "no-such-tool \"x\"", WindowState::MaximizedFocus),
               RaisedError);
}

TEST(LinuxProcesses, AProgramWhoseWindowDoesNotComeForwardIsStoppedAndReported) {
  struct Case {
    const char* what;
    bool throws;  // the window search itself fails, or it just finds nothing in time
  };
  for (const Case c : {Case{"search fails", true}, Case{"nothing in time", false}}) {
    SCOPED_TRACE(c.what);
    pid_t shown = 0;
    LinuxProcesses programs([&](ProcessId pid, int timeoutMs) -> bool {
      shown = static_cast<pid_t>(pid);
      EXPECT_EQ(timeoutMs, Processes::kWindowWaitMs);
      if (c.throws) throw RaisedError(ErrorNumber::FileNotFound, "test", "no display");
      return false;
    });
    try {
      programs.Start("/bin/sleep 30", WindowState::MaximizedFocus);
      ADD_FAILURE() << "no error";
    } catch (const RaisedError& e) {
      EXPECT_EQ(e.Description, c.throws ? "no display" : NoWindowMessage("/bin/sleep 30"));
    }
    ASSERT_GT(shown, 0);
    // Already reaped: neither running nor a zombie of ours.
    EXPECT_EQ(::waitpid(shown, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
  }
}

}  // namespace
}  // namespace pictrane
