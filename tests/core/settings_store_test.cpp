// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "pictrane/RaisedError.h"
#include "portable/ExistenceTest.h"
#include "portable/IniFileStore.h"
#include "TestFiles.h"

namespace pictrane {
namespace {

namespace fs = std::filesystem;
using testing_support::FolderNames;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

TEST(IniFileStore, ReadsTheFileAfreshOnEveryCall) {
  TempDir Dir;
  const std::string File = Dir / "settings.ini";
  IniFileStore Store;
  EXPECT_EQ(Store.ReadString(File, "S", "k"), "");
  WriteBytes(File, "[S]\r\nk=1\r\n");
  EXPECT_EQ(Store.ReadString(File, "S", "k"), "1");
  WriteBytes(File, "[S]\r\nk=2\r\n[T]\r\n");
  EXPECT_EQ(Store.ReadString(File, "S", "k"), "2");
  EXPECT_EQ(Store.SectionNames(File), (std::vector<std::string>{"S", "T"}));
  fs::remove(File);
  EXPECT_EQ(Store.ReadString(File, "S", "k"), "");
  EXPECT_TRUE(Store.KeyNames(File, "S").empty());
}

TEST(IniFileStore, CreateIfMissingMakesAnEmptyFileAndLeavesExistingOnes) {
  TempDir Dir;
  IniFileStore Store;
  const std::string File = Dir / "settings.ini";
  Store.CreateIfMissing(File);
  EXPECT_EQ(ReadBytes(File), "");
  WriteBytes(File, "[S]\r\nk=1\r\n");
  Store.CreateIfMissing(File);
  EXPECT_EQ(ReadBytes(File), "[S]\r\nk=1\r\n");
  // A hidden file escapes the existence test, yet opening it for appending must not harm it.
  const std::string Hidden = Dir / ".settings.ini";
  WriteBytes(Hidden, "[S]\r\nk=2\r\n");
  Store.CreateIfMissing(Hidden);
  EXPECT_EQ(ReadBytes(Hidden), "[S]\r\nk=2\r\n");
}

// UTF-16LE text with its byte order mark, as the Windows build leaves a file that needed it.
std::string Utf16(const std::u16string& Text) {
  std::string Bytes = "\xFF\xFE";
  for (char16_t C : Text) {
    Bytes += static_cast<char>(C & 0xFF);
    Bytes += static_cast<char>(C >> 8);
  }
  return Bytes;
}

TEST(IniFileStore, AUtf16FileIsReadAndWrittenBackInUtf16) {
  TempDir Dir;
  IniFileStore Store;
  const std::string File = Dir / "settings.ini";
  // "Ω" and "🎨" (a surrogate pair); an unpaired surrogate elsewhere must come back unchanged.
  WriteBytes(File, Utf16(u"[Settings]\r\nLastDir=C:\\\u03A9 \U0001F3A8\r\nOdd=\xD800x\r\n"));
  EXPECT_EQ(Store.ReadString(File, "Settings", "LastDir"), "C:\\\xCE\xA9 \xF0\x9F\x8E\xA8");
  Store.WriteString(File, "Settings", "LastDeviceDir", "main");
  EXPECT_EQ(ReadBytes(File), Utf16(u"[Settings]\r\nLastDir=C:\\\u03A9 \U0001F3A8\r\nOdd=\xD800x\r\n"
                                   u"LastDeviceDir=main\r\n"));
  // The unpaired surrogate read as it is, written back as it is: nothing changes.
  const std::string Odd = Store.ReadString(File, "Settings", "Odd");
  EXPECT_EQ(Store.WriteString(File, "Settings", "Odd", Odd).Outcome, WriteOutcome::Unchanged);
  // A broken file (an odd byte count) reads as empty.
  WriteBytes(File, Utf16(u"[S]\r\nk=1\r\n") + "x");
  EXPECT_EQ(Store.ReadString(File, "S", "k"), "");
}

#ifndef _WIN32
// Every change says what became of it; a file that refuses it keeps every byte.
TEST(IniFileStore, EveryWriteSaysWhatBecameOfIt) {
  TempDir Dir;
  IniFileStore Store;
  const std::string Plain = "[S]\r\nk=1\r\n";
  const std::string BigEndian = "\xFE\xFF\0[\0S\0]";
  const std::string OddUtf16 = Utf16(u"[S]\r\nk=1\r\n") + "x";
  const std::string NotText = "the file is not UTF-8, UTF-16LE or ANSI text: ";
  const std::string Cut =
      "its UTF-16LE text has an odd number of bytes, so its last character "
      "is cut short.";
  const std::string BeMark = "it starts with the UTF-16BE byte order mark (FE FF).";
  enum Op { Write, Delete };
  struct Case {
    const char* Name;
    std::string Content;  // "" for no file, "/" for a folder in its place
    Op Do;
    std::string Key, Value;
    WriteOutcome Outcome;
    std::string Reason;
    std::string After = "";  // the bytes then, when not Content
  };
  const Case Cases[] = {
      {"a new value", Plain, Write, "k", "2", WriteOutcome::Written, "", "[S]\r\nk=2\r\n"},
      {"VT, FF and ^Z around a value", Plain, Write, "k", "\v\f2\x1a", WriteOutcome::Written, "",
       "[S]\r\nk=\v\f2\x1a\r\n"},
      {"what reads the same", Plain, Write, "K", " \"1\" ", WriteOutcome::Unchanged, ""},
      {"a missing key deleted", Plain, Delete, "x", "", WriteOutcome::Unchanged, ""},
      {"a name that reads back as another", Plain, Write, "[k", "1", WriteOutcome::Failed,
       "an INI file cannot hold this name or value: it would read back as something else."},
      {"a read-only file", Plain, Write, "k", "2", WriteOutcome::Failed, "the file is read-only."},
      {"a read-only file, delete", Plain, Delete, "k", "", WriteOutcome::Failed,
       "the file is read-only."},
      {"a folder in its place", "/", Write, "k", "2", WriteOutcome::Failed,
       "it is not an ordinary file."},
      {"UTF-16BE", BigEndian, Write, "k", "2", WriteOutcome::Failed, NotText + BeMark},
      {"UTF-16 cut short", OddUtf16, Write, "k", "2", WriteOutcome::Failed, NotText + Cut},
      {"not UTF-8 into UTF-16", Utf16(u"[S]\r\n"), Write, "k", "\xFF", WriteOutcome::Failed,
       "the value is not UTF-8 text, which the file's UTF-16 text cannot hold."},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    const std::string File = Dir / (std::string(C.Name) + ".ini");
    if (C.Content == "/") {
      fs::create_directory(File);
    } else {
      WriteBytes(File, C.Content);
    }
    if (std::string(C.Name).find("read-only") != std::string::npos)
      fs::permissions(File, fs::perms::owner_read | fs::perms::group_read);
    const WriteResult R = C.Do == Write ? Store.WriteString(File, "S", C.Key, C.Value)
                                        : Store.DeleteKey(File, "S", C.Key);
    EXPECT_EQ(R.Outcome, C.Outcome);
    EXPECT_EQ(R.Reason, C.Reason);
    if (C.Content != "/") {
      EXPECT_EQ(ReadBytes(File), C.After.empty() ? C.Content : C.After);
    }
  }
  // A folder that is not there: the reason names it, and nothing is made.
  const WriteResult Nowhere = Store.WriteString(Dir / "missing/settings.ini", "S", "k", "v");
  EXPECT_EQ(Nowhere.Reason,
            "Cannot write in the folder " + (Dir / "missing") + ": No such file or directory.");
  EXPECT_FALSE(fs::exists(Dir.Path() / "missing"));
  // The text problems are the ones the writes gave; readable text and no file have none.
  WriteBytes(Dir / "be.ini", BigEndian);
  WriteBytes(Dir / "cut.ini", OddUtf16);
  WriteBytes(Dir / "le.ini", Utf16(u"[S]\r\n"));
  EXPECT_EQ(Store.TextProblem(Dir / "be.ini"), BeMark);
  EXPECT_EQ(Store.TextProblem(Dir / "cut.ini"), Cut);
  EXPECT_EQ(Store.TextProblem(Dir / "le.ini"), "");
  EXPECT_EQ(Store.TextProblem(Dir / "none.ini"), "");
  EXPECT_EQ(Store.ReadString(Dir / "be.ini", "S", "k"), "");
}
#endif

#ifndef _WIN32
// Permission bits, symbolic links, the C library's error texts and dot-names as hidden files are
// this file system's rules; the Windows build has its own profile functions and existence test.

TEST(IniFileStore, AWriteLeavesNoTemporaryFileAndKeepsPermissions) {
  TempDir Dir;
  const std::string File = Dir / "settings.ini";
  WriteBytes(File, "[S]\r\nk=1\r\n");
  const fs::perms Perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  fs::permissions(File, Perms);
  IniFileStore Store;
  Store.WriteString(File, "S", "k", "2");
  Store.WriteString(File, "S", "j", "3");
  Store.DeleteKey(File, "S", "k");
  EXPECT_EQ(ReadBytes(File), "[S]\r\nj=3\r\n");
  EXPECT_EQ(FolderNames(Dir.Path()), std::vector<std::string>{"settings.ini"});
  EXPECT_EQ(fs::status(File).permissions(), Perms);
}

TEST(IniFileStore, AWriteThroughALinkChangesTheLinkedFile) {
  TempDir Dir;
  fs::create_directory(Dir.Path() / "real");
  const std::string Real = Dir / "real/settings.ini";
  const std::string Link = Dir / "settings.ini";
  WriteBytes(Real, "[S]\r\nk=1\r\n");
  fs::create_symlink(Real, Link);
  IniFileStore Store;
  Store.WriteString(Link, "S", "k", "2");
  EXPECT_TRUE(fs::is_symlink(Link));
  EXPECT_EQ(ReadBytes(Real), "[S]\r\nk=2\r\n");
  EXPECT_EQ(Store.ReadString(Link, "S", "k"), "2");
}

TEST(IniFileStore, CreateIfMissingRaisesNamingTheFileAndTheReason) {
  TempDir Dir;
  IniFileStore Store;
  fs::create_directory(Dir.Path() / "folder.ini");
  WriteBytes(Dir.Path() / "plain", "");
  struct Case {
    std::string File;
    std::string Reason;
  };
  const Case Cases[] = {
      {Dir / "missing/settings.ini", "No such file or directory"},
      {Dir / "folder.ini", "Is a directory"},
      {Dir / "plain/settings.ini", "Not a directory"},
  };
  for (const Case& C : Cases) {
    try {
      Store.CreateIfMissing(C.File);
      ADD_FAILURE() << "no error for " << C.File;
    } catch (const RaisedError& E) {
      EXPECT_EQ(E.Number, ErrorNumber::PathFileAccessError);
      EXPECT_EQ(E.Source, "Pictrane Converter");
      EXPECT_EQ(E.Description,
                "Path/File access error: cannot create " + C.File + " (" + C.Reason + ")");
    }
  }
  EXPECT_FALSE(fs::exists(Dir.Path() / "missing"));
}

class ExistenceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* Folder : {"sub", "empty", "onlyhidden", "onlyfolders", "onlyfolders/inner"}) {
      fs::create_directory(Dir.Path() / Folder);
    }
    for (const char* File : {"tool.exe", "dummy.bmp", ".hidden", "README", "caf\xC3\xA9.txt",
                             "sub/inner.txt", "onlyhidden/.x"}) {
      WriteBytes(Dir.Path() / File, "x");
    }
    fs::create_symlink(Dir.Path() / "tool.exe", Dir.Path() / "link.exe");
    fs::create_symlink(Dir.Path() / "sub", Dir.Path() / "linkdir");
  }
  TempDir Dir;
};

TEST_F(ExistenceTest, FindsOrdinaryVisibleFilesOnly) {
  struct Case {
    std::string Pattern;
    bool Found;
  };
  const std::string D = Dir.Path().string() + "/";
  const Case Cases[] = {
      {D + "tool.exe", true},      {D + "TOOL.EXE", false},  // the file system's case rules
      {D + "missing.exe", false},  {D + "sub", false},       // a folder
      {D + "linkdir", false},      {D + "link.exe", true},
      {D + ".hidden", false},      {D + "sub/", true},
      {D + "empty/", false},       {D + "onlyhidden/", false},
      {D + "onlyfolders/", false}, {D + "missing/", false},
      {D + "sub/inner.txt", true}, {D + "*.bmp", true},
      {D + "*.BMP", false},        {D + "dumm?.bmp", true},
      {D + "d*y.b?p", true},       {D + "?.bmp", false},
      {D + "dummy.bmp?", false},   {D + "*", true},
      {D + "*.*", true},           {D + "README.*", true},
      {D + "su*", false},                                        // only a folder fits
      {D + ".hid*", false},        {D + "caf?.txt", true},       // one character, two bytes
      {D + "caf??.txt", false},    {D + "s*/inner.txt", false},  // wildcards only in the last part
      {D + "onlyhidden/*", false}, {D + "onlyfolders/*", false},
      {D + "empty/*", false},      {"", false},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(OrdinaryFileExists(C.Pattern), C.Found) << C.Pattern;
  }
}

TEST_F(ExistenceTest, SearchesTheWorkingFolderForABareName) {
  const fs::path Before = fs::current_path();
  fs::current_path(Dir.Path());
  const bool Tool = OrdinaryFileExists("tool.exe");
  const bool Pattern = OrdinaryFileExists("*.bmp");
  const bool Folder = OrdinaryFileExists("sub");
  fs::current_path(Before);
  EXPECT_TRUE(Tool);
  EXPECT_TRUE(Pattern);
  EXPECT_FALSE(Folder);
}

#endif  // _WIN32

TEST(NameFitsPattern, MatchesStarsAndQuestionMarks) {
  struct Case {
    const char* Name;
    const char* Pattern;
    bool Fits;
  };
  const Case Cases[] = {
      {"abc", "abc", true},      {"abc", "ab", false},     {"abc", "*", true},
      {"", "*", true},           {"abc", "a*c", true},     {"abbbc", "a*c", true},
      {"abcd", "a*c", false},    {"abc", "a?c", true},     {"ac", "a?c", false},
      {"abc", "???", true},      {"abc", "????", false},   {"a.b.c", "*.c", true},
      {"abc", "*b*", true},      {"abc", "**c", true},     {"aXbXc", "a*b*c", true},
      {"abc", "abc.*", true},    {"abc.d", "abc.*", true}, {"abcd", "abc.*", false},
      {"x", "*.*", true},        {"ABC", "abc", false},    {"\xC3\xA9", "?", true},
      {"\xC3\xA9", "??", false},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(NameFitsPattern(C.Name, C.Pattern), C.Fits) << C.Name << " ~ " << C.Pattern;
  }
}

}  // namespace
}  // namespace pictrane
