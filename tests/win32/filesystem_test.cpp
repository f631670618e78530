// SPDX-License-Identifier: GPL-3.0-or-later
// Files through the Win32 platform: the existence test, deletion, reading text, and the listing
// of a folder's bitmaps with names outside ASCII.

#include "Win32TestSupport.h"
#include "../core/listing_scenarios.h"
#include "conversion/BitmapListing.h"
#include "win32/FileSystemWin32.h"

namespace pictrane::win32::testing {
namespace {

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(WriteBytes(Dir / L"photo.bmp", "BM"));
    ASSERT_TRUE(WriteBytes(Dir / L"\u00e9t\u00e9 \u03a9.bmp", "BM"));
    ASSERT_TRUE(WriteBytes(Dir / L"hidden.txt", "h"));
    ::SetFileAttributesW((Dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WriteBytes(Dir / L"system.txt", "s"));
    ::SetFileAttributesW((Dir / L"system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ASSERT_TRUE(WriteBytes(Dir / L"locked.txt", "r"));
    ::SetFileAttributesW((Dir / L"locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ::CreateDirectoryW((Dir / L"folder").c_str(), nullptr);
    ::CreateDirectoryW((Dir / L"empty").c_str(), nullptr);
    ::CreateDirectoryW((Dir / L"empty\\inner").c_str(), nullptr);
  }

  TempFolder Dir{L"files"};
  FileSystemWin32 Files;
};

TEST_F(FileSystemTest, ExistenceTestFindsOrdinaryFilesOnly) {
  const struct {
    std::wstring Path;
    bool Found;
  } Cases[] = {
      {Dir / L"photo.bmp", true},
      {Dir / L"PHOTO.BMP", true},
      {Dir / L"\u00e9t\u00e9 \u03a9.bmp", true},
      {Dir / L"*.bmp", true},
      {Dir / L"ph?to.*", true},
      {Dir / L"*.gif", false},
      {Dir / L"locked.txt", true},
      {Dir / L"hidden.txt", false},
      {Dir / L"system.txt", false},
      {Dir / L"h*.txt", false},
      {Dir / L"folder", false},
      {Dir / L"missing.bmp", false},
      {Dir.Path() + L"\\", true},  // the folder's own files
      {Dir / L"empty\\", false},   // holds only a folder
      {Dir / L"nowhere\\photo.bmp", false},
      {L"", false},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(Files.Exists(Narrow(Case.Path)), Case.Found) << Narrow(Case.Path);
  }
}

TEST_F(FileSystemTest, ApplicationFolderHoldsTheProgram) {
  const std::string Folder = Files.ApplicationFolder();
  ASSERT_FALSE(Folder.empty());
  EXPECT_NE(Folder.back(), '\\');
  wchar_t Self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, Self, MAX_PATH);
  const std::wstring Name = std::wstring(Self).substr(std::wstring(Self).find_last_of(L'\\') + 1);
  EXPECT_TRUE(FileExists(Widen(Folder) + L"\\" + Name)) << Folder;
  EXPECT_EQ(Files.Separator(), "\\");
}

TEST_F(FileSystemTest, DeletesAndRaisesWhenItCannot) {
  const std::wstring Name = Dir / L"\u00e9t\u00e9 \u03a9.bmp";
  Files.DeleteFile(Narrow(Name));
  EXPECT_FALSE(FileExists(Name));

  const struct {
    std::wstring Path;
    int Number;
  } Failures[] = {
      {Name, ErrorNumber::FileNotFound},
      {Dir / L"locked.txt", ErrorNumber::PathFileAccessError},
      {Dir / L"nowhere\\a.bmp", ErrorNumber::PathNotFound},
  };
  for (const auto& Case : Failures) {
    try {
      Files.DeleteFile(Narrow(Case.Path));
      ADD_FAILURE() << "deleted " << Narrow(Case.Path);
    } catch (const RaisedError& Error) {
      EXPECT_EQ(Error.Number, Case.Number) << Error.Description;
      EXPECT_NE(Error.Description.find(Narrow(Case.Path)), std::string::npos);
    }
  }
  EXPECT_TRUE(FileExists(Dir / L"locked.txt"));
}

TEST_F(FileSystemTest, StatsOrdinaryFilesAndCreatesEmptyOnes) {
  const auto Stamp = Files.Stat(Narrow(Dir / L"photo.bmp"));
  ASSERT_TRUE(Stamp.has_value());
  EXPECT_EQ(Stamp->Size, 2u);
  // Written moments ago: the stamp counts nanoseconds since 1970.
  const std::int64_t Year2020 = 1577836800LL * 1000000000LL;
  EXPECT_GT(Stamp->ModifiedNs, Year2020);
  EXPECT_FALSE(Files.Stat(Narrow(Dir / L"folder")).has_value());
  EXPECT_FALSE(Files.Stat(Narrow(Dir / L"missing")).has_value());

  Files.CreateEmptyFile(Narrow(Dir / L"new.txt"));
  EXPECT_EQ(ReadBytes(Dir / L"new.txt"), std::optional<std::string>(""));
  Files.CreateEmptyFile(Narrow(Dir / L"photo.bmp"));
  EXPECT_EQ(ReadBytes(Dir / L"photo.bmp"), std::optional<std::string>("BM"));
  EXPECT_THROW(Files.CreateEmptyFile(Narrow(Dir / L"folder")), RaisedError);
}

TEST_F(FileSystemTest, ReadsTextLineByLine) {
  const struct {
    std::string Bytes;
    std::vector<std::string> Lines;
  } Cases[] = {
      {"a.bmp\r\n\r\nb c.bmp\r\n", {"a.bmp", "", "b c.bmp"}},
      {"one\ntwo", {"one", "two"}},
      {"\xEF\xBB\xBF\xC3\xA9t\xC3\xA9.bmp\r\n", {"\xC3\xA9t\xC3\xA9.bmp"}},
      {"\xCE\xA9.bmp\r\n", {"\xCE\xA9.bmp"}},
      {"", {}},
  };
  for (const auto& Case : Cases) {
    ASSERT_TRUE(WriteBytes(Dir / L"list.txt", Case.Bytes));
    auto Reader = Files.OpenText(Narrow(Dir / L"list.txt"));
    std::vector<std::string> Lines;
    while (!Reader->AtEnd()) Lines.push_back(Reader->ReadLine());
    EXPECT_EQ(Lines, Case.Lines);
  }
  if (::GetACP() == 1252) {  // a file in the ANSI code page rather than UTF-8
    ASSERT_TRUE(WriteBytes(Dir / L"list.txt", "caf\xE9.bmp\r\n"));
    EXPECT_EQ(Files.OpenText(Narrow(Dir / L"list.txt"))->ReadLine(), "caf\xC3\xA9.bmp");
  }
  try {
    Files.OpenText(Narrow(Dir / L"missing.txt"));
    ADD_FAILURE() << "opened a missing file";
  } catch (const RaisedError& Error) {
    EXPECT_EQ(Error.Number, ErrorNumber::FileNotFound);
  }
}

// The core's listing policy over the system's folder search, case by case as over the fake.
TEST(DirectoryListingWin32, TakesWhatTheRunCanConvertFromARealFolder) {
  for (const scenarios::ListingScenario& Scenario : scenarios::ListingScenarios()) {
    if (!Scenario.NamesWindowsAllows) continue;
    SCOPED_TRACE(Scenario.Name);
    TempFolder Pics(L"pics");
    for (const scenarios::ListingEntry& Entry : Scenario.Entries) {
      const std::wstring Path = Pics / Widen(Entry.Name);
      if (Entry.Type == scenarios::ListingEntry::Kind::Folder) {
        ASSERT_TRUE(::CreateDirectoryW(Path.c_str(), nullptr));
        continue;
      }
      ASSERT_TRUE(WriteBytes(Path, "BM"));
      if (Entry.Type == scenarios::ListingEntry::Kind::Hidden)
        ::SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_HIDDEN);
    }
    DirectoryListingWin32 Listing;
    if (Scenario.Missing) {
      try {
        ListBitmaps(Listing, Narrow(Pics / L"missing"));
        ADD_FAILURE() << "no error";
      } catch (const RaisedError& Error) {
        EXPECT_EQ(Error.Number, ErrorNumber::PathNotFound);
        EXPECT_EQ(Error.Description.rfind("Cannot list " + Narrow(Pics / L"missing") + " (", 0),
                  0u);
      }
      continue;
    }
    const BitmapList List = ListBitmaps(Listing, Narrow(Pics.Path()));
    EXPECT_EQ(List.Bitmaps, Scenario.Bitmaps);
    EXPECT_EQ(List.LeftOut, Scenario.LeftOut);
  }
}

// "list.txt" is replaced whole through a new temporary beside it; a failure leaves the old list
// and no temporary.
TEST_F(FileSystemTest, ReplaceContentWritesThroughANewTemporary) {
  TempFolder App(L"app");
  const std::wstring List = App / L"list.txt";
  Files.ReplaceContent(Narrow(List), "a.bmp\r\n");
  EXPECT_EQ(ReadBytes(List), std::optional<std::string>("a.bmp\r\n"));
  Files.ReplaceContent(Narrow(List), "\xC3\xA9.bmp\r\n");
  EXPECT_EQ(ReadBytes(List), std::optional<std::string>("\xC3\xA9.bmp\r\n"));
  EXPECT_THROW(Files.ReplaceContent(Narrow(App / L"no\\list.txt"), "x"), RaisedError);
  // A list that cannot be replaced (held open without sharing) stays as it was.
  HANDLE Held = ::CreateFileW(List.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(Held, INVALID_HANDLE_VALUE);
  EXPECT_THROW(Files.ReplaceContent(Narrow(List), "new"), RaisedError);
  ::CloseHandle(Held);
  EXPECT_EQ(ReadBytes(List), std::optional<std::string>("\xC3\xA9.bmp\r\n"));
  const std::vector<WIN32_FIND_DATAW> Left = EntriesOf(App.Path());
  ASSERT_EQ(Left.size(), 1u) << "a temporary was left behind";
  EXPECT_EQ(std::wstring(Left[0].cFileName), L"list.txt");
}

}  // namespace
}  // namespace pictrane::win32::testing
