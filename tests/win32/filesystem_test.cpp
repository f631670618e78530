// Files through the Win32 platform: the existence test, deletion, reading text, and the listing
// of a folder's bitmaps with names outside ASCII.

#include "Win32TestSupport.h"
#include "platform/win32/FileSystemWin32.h"

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

TEST(DirectoryListingWin32, ListsTheBitmapsInNtfsOrder) {
  TempFolder Pics(L"pics");
  for (const wchar_t* Name :
       {L"b.bmp", L"A.BMP", L"c.Bmp", L"\u00e4.bmp", L"\u03a9mega.bmp", L"_x.bmp", L"a b.bmp",
        L"+^%~(){}[].bmp", L"notes.txt", L"x.bmpx", L"bmp", L"h.bmp"}) {
    ASSERT_TRUE(WriteBytes(Pics / Name, "BM")) << Narrow(Name);
  }
  ::SetFileAttributesW((Pics / L"h.bmp").c_str(), FILE_ATTRIBUTE_HIDDEN);
  ::CreateDirectoryW((Pics / L"d.bmp").c_str(), nullptr);
  TempFolder App(L"app");
  const std::wstring List = App / L"list.txt";
  ASSERT_TRUE(WriteBytes(List, "old content\r\n"));

  DirectoryListingWin32 Listing;
  Listing.ListBitmaps(Narrow(Pics.Path()), Narrow(List));
  EXPECT_EQ(ReadBytes(List),
            std::optional<std::string>("+^%~(){}[].bmp\r\na b.bmp\r\nA.BMP\r\nb.bmp\r\nc.Bmp\r\n"
                                       "_x.bmp\r\n\xC3\xA4.bmp\r\n\xCE\xA9mega.bmp\r\n"));

  Listing.ListBitmaps(Narrow(Pics / L"missing"), Narrow(List));
  EXPECT_EQ(ReadBytes(List), std::optional<std::string>(""));
  EXPECT_THROW(Listing.ListBitmaps(Narrow(Pics.Path()), Narrow(App / L"no\\list.txt")),
               RaisedError);
}

}  // namespace
}  // namespace pictrane::win32::testing
