// SPDX-License-Identifier: GPL-3.0-or-later
// The shared atomic write on this file system: a failure at any point, a really full disk
// included, leaves the old file and no temporary; long names still fit; modes are kept.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pictrane/AtomicFile.h"
#include "pictrane/RaisedError.h"
#include "portable/IniFileStore.h"
#include "TestFiles.h"

namespace pictrane {
namespace {

namespace fs = std::filesystem;
using testing_support::FolderNames;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

// A file-size limit below what is written: writes fail with EFBIG (SIGXFSZ ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t Bytes) {
    getrlimit(RLIMIT_FSIZE, &Old_);
    OldSignal_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit Small = Old_;
    Small.rlim_cur = Bytes;
    setrlimit(RLIMIT_FSIZE, &Small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Old_);
    std::signal(SIGXFSZ, OldSignal_);
  }

 private:
  rlimit Old_{};
  void (*OldSignal_)(int) = nullptr;
};

// A tiny file system of its own, really full after a few kilobytes; needs root.
class TinyDisk {
 public:
  explicit TinyDisk(const fs::path& At) : At_(At) {
    fs::create_directory(At_);
    Mounted_ = ::mount("tmpfs", At_.c_str(), "tmpfs", 0, "size=16k") == 0;
  }
  ~TinyDisk() {
    if (Mounted_) ::umount(At_.c_str());
  }
  bool Mounted() const { return Mounted_; }

 private:
  fs::path At_;
  bool Mounted_ = false;
};

TEST(AtomicFile, AFailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string Old = "[Settings]\r\nLastDir=/old\r\n";
  const std::string Big(256 * 1024, 'x');
  struct Case {
    const char* Name;
    std::function<void(const std::string& Path)> Write;
  };
  const Case Cases[] = {
      {"a full disk", [&](const std::string& Path) { WriteFileAtomically(Path, Big, "test"); }},
      {"a full disk under the settings store",
       [&](const std::string& Path) { IniFileStore().WriteString(Path, "Settings", "Big", Big); }},
      {"a writer that throws", [&](const std::string& Path) {
         WriteAtomically(
             Path, [](const std::string&) { throw RaisedError(5, "test", "refused"); }, "test");
       }}};
  for (const bool RealDisk : {false, true}) {
    for (const Case& C : Cases) {
      SCOPED_TRACE(std::string(C.Name) + (RealDisk ? " (tmpfs)" : " (file size limit)"));
      TempDir Dir;
      TinyDisk Disk(Dir.Path() / "disk");
      if (RealDisk && !Disk.Mounted()) GTEST_SKIP() << "mounting a tmpfs needs root";
      const fs::path Folder = RealDisk ? Dir.Path() / "disk" : Dir.Path();
      const std::string Path = (Folder / "settings.ini").string();
      WriteBytes(Path, Old);
      {
        FileSizeLimit Limit(RealDisk ? RLIM_INFINITY : 4096);
        try {
          C.Write(Path);
          // The store fails silently; the others must have raised.
          EXPECT_NE(std::string(C.Name).find("store"), std::string::npos) << "no error";
        } catch (const RaisedError& E) {
          EXPECT_FALSE(E.Description.empty());
        }
      }
      EXPECT_EQ(ReadBytes(Path), Old);
      std::vector<std::string> Names = FolderNames(Folder);
      std::erase(Names, "disk");
      EXPECT_EQ(Names, std::vector<std::string>{"settings.ini"});
    }
  }
}

TEST(AtomicFile, NamesNearTheLimitAndModesAreKept) {
  TempDir Dir;
  struct Case {
    std::string Name;
    mode_t Mode;  // 0: no file before
  };
  const Case Cases[] = {{std::string(250, 'n') + ".ini", 0}, {"kept.ini", 0640}, {"new.ini", 0}};
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name.substr(0, 20));
    const std::string Path = Dir / C.Name;
    if (C.Mode) {
      WriteBytes(Path, "old");
      ::chmod(Path.c_str(), C.Mode);
    }
    const mode_t Mask = ::umask(022);
    WriteFileAtomically(Path, "new", "test");
    ::umask(Mask);
    EXPECT_EQ(ReadBytes(Path), "new");
    struct stat Now {};
    ASSERT_EQ(::stat(Path.c_str(), &Now), 0);
    EXPECT_EQ(Now.st_mode & 07777, C.Mode ? C.Mode : 0644);
  }
  EXPECT_EQ(FolderNames(Dir.Path()).size(), 3u);
}

// At start the settings store removes what a killed write left: only our own temporaries, and
// only once they are older than a day.
TEST(AtomicFile, StaleTemporariesOfOursGoAndNothingElse) {
  TempDir Dir;
  // A name the write really used, as a killed process would have left it.
  std::string Ours;
  WriteAtomically(
      Dir / "settings.ini",
      [&](const std::string& Temp) {
        Ours = fs::path(Temp).filename().string();
        WriteBytes(Temp, "x");
      },
      "test");
  enum Kind { File, Folder, Link };
  struct Case {
    std::string Name;
    Kind Is;
    int AgeHours;
    bool Removed;
  };
  const Case Cases[] = {
      {Ours, File, 25, true},
      {".pictrane-Young1", File, 23, false},
      {".pictrane-Ab12Cde", File, 48, false},  // one too many
      {"settings.ini", File, 48, false},
      {".pictrane-Fold12", Folder, 48, false},
      {".pictrane-Link12", Link, 48, false},
  };
  WriteBytes(Dir / "target", "kept");
  for (const Case& C : Cases) {
    const std::string Path = Dir / C.Name;
    if (C.Is == File) WriteBytes(Path, "left");
    if (C.Is == Folder) fs::create_directory(Path);
    if (C.Is == Link) fs::create_symlink(Dir / "target", Path);
    const timespec When{::time(nullptr) - C.AgeHours * 3600, 0};
    const timespec Times[2] = {When, When};
    ASSERT_EQ(::utimensat(AT_FDCWD, Path.c_str(), Times, AT_SYMLINK_NOFOLLOW), 0) << C.Name;
  }
  IniFileStore().RemoveStaleTemporaries(Dir / "settings.ini");
  for (const Case& C : Cases) {
    EXPECT_EQ(fs::exists(fs::symlink_status(Dir / C.Name)), !C.Removed) << C.Name;
  }
  EXPECT_EQ(ReadBytes(Dir / "target"), "kept");
}

}  // namespace
}  // namespace pictrane

#endif
