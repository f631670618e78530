// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "pictrane/RaisedError.h"
#include "portable/IniFileStore.h"
#include "settings/clsINI.h"
#include "TestFiles.h"

namespace pictrane {
namespace {

namespace fs = std::filesystem;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

using namespace std::string_literals;

// Counts every call, to prove that a guard stops before the file is touched.
class CountingStore : public ProfileStore {
 public:
  void CreateIfMissing(const std::string&) override { ++Calls; }
  std::string ReadString(const std::string&, const std::string&, const std::string&) override {
    ++Calls;
    return {};
  }
  std::vector<std::string> KeyNames(const std::string&, const std::string&) override {
    ++Calls;
    return {};
  }
  std::vector<std::string> SectionNames(const std::string&) override {
    ++Calls;
    return {};
  }
  std::optional<std::string> StoredText(const std::string&, const std::string&,
                                        const std::string&) override {
    ++Calls;
    return {};
  }
  std::string TextProblem(const std::string&) override { return {}; }
  void RemoveStaleTemporaries(const std::string&) override {}
  WriteResult WriteString(const std::string&, const std::string&, const std::string&,
                          const std::string&) override {
    ++Calls;
    return {};
  }
  WriteResult DeleteKey(const std::string&, const std::string&, const std::string&) override {
    ++Calls;
    return {};
  }
  WriteResult DeleteSection(const std::string&, const std::string&) override {
    ++Calls;
    return {};
  }
  int Calls = 0;
};

template <class Fn>
RaisedError Raised(Fn&& Call) {
  try {
    Call();
  } catch (const RaisedError& E) {
    return E;
  }
  ADD_FAILURE() << "nothing was raised";
  return RaisedError(0, "", "");
}

class ClsIniTest : public ::testing::Test {
 protected:
  ClsIniTest() : File(Dir / "settings.ini"), Ini(Store) {}

  // Binds Ini to a settings file holding Bytes.
  void Bind(const std::string& Bytes) {
    WriteBytes(File, Bytes);
    Ini.INIFile(File);
  }
  std::string Bytes() { return ReadBytes(File).value_or("<no file>"); }

  TempDir Dir;
  std::string File;
  IniFileStore Store;
  clsINI Ini;
};

TEST(ClsIniUnbound, EveryFileOperationRaisesBeforeTouchingAnything) {
  CountingStore Counter;
  clsINI Ini(Counter);
  const std::vector<std::pair<const char*, std::function<void()>>> Calls = {
      {"WriteValue", [&] { Ini.WriteValue("S", "k", "v"); }},
      {"ReadValue", [&] { Ini.ReadValue("S", "k"); }},
      {"GetKeysInSection", [&] { Ini.GetKeysInSection("S"); }},
      {"GetSections", [&] { Ini.GetSections(); }},
      {"DeleteKey", [&] { Ini.DeleteKey("S", "k"); }},
      {"DeleteSection", [&] { Ini.DeleteSection("S"); }},
      {"RenameKey", [&] { Ini.RenameKey("S", "k", "n"); }},
      {"RenameSection", [&] { Ini.RenameSection("S", "T"); }},
      {"KeyExists", [&] { Ini.KeyExists("S", "k"); }},
      {"SectionExists", [&] { Ini.SectionExists("S"); }},
      // The unbound error comes first, even for arguments that would be refused.
      {"WriteValue with a line break", [&] { Ini.WriteValue("S\n", "k", "v"); }},
  };
  for (const auto& [Name, Call] : Calls) {
    const RaisedError E = Raised(Call);
    EXPECT_EQ(E.Number, 1) << Name;
    EXPECT_EQ(E.Source, "clsINI") << Name;
    EXPECT_EQ(E.Description, "File INI non specificato.") << Name;
  }
  EXPECT_EQ(Counter.Calls, 0);
  EXPECT_EQ(Ini.INIFile(), "");
}

TEST_F(ClsIniTest, BindingCreatesAnEmptyFileOnlyWhenAbsent) {
  EXPECT_EQ(Ini.INIFile(), "");
  Ini.INIFile(File);
  EXPECT_EQ(Ini.INIFile(), File);
  EXPECT_EQ(ReadBytes(File), "");
  WriteBytes(File, "[S]\r\nk=1\r\n");
  clsINI Other(Store);
  Other.INIFile(File);
  EXPECT_EQ(ReadBytes(File), "[S]\r\nk=1\r\n");
}

TEST_F(ClsIniTest, AFailedBindingRaisesAndKeepsTheOldName) {
  Ini.INIFile(File);
  const std::string Bad = Dir / "missing/settings.ini";
  const RaisedError E = Raised([&] { Ini.INIFile(Bad); });
  EXPECT_EQ(E.Number, ErrorNumber::PathFileAccessError);
  EXPECT_NE(E.Description.find(Bad), std::string::npos) << E.Description;
  EXPECT_NE(E.Description.find("No such file or directory"), std::string::npos) << E.Description;
  EXPECT_EQ(Ini.INIFile(), File);
}

TEST_F(ClsIniTest, DefaultInstanceUsesTheSystemProfileFunctions) {
  clsINI System;
  System.INIFile(File);
  System.WriteValue("Settings", "LastDir", "/home/u/pics");
  EXPECT_EQ(Bytes(), "[Settings]\r\nLastDir=/home/u/pics\r\n");
  EXPECT_EQ(Ini.INIFile(), "");
  Ini.INIFile(File);
  EXPECT_EQ(Ini.ReadValue("settings", "lastdir"), "/home/u/pics");
}

TEST_F(ClsIniTest, ReadsWritesAndListsNames) {
  Bind("");
  EXPECT_EQ(Ini.ReadValue("Settings", "LastDir"), "");
  EXPECT_EQ(Ini.GetKeysInSection("Settings"), "");
  EXPECT_EQ(Ini.GetSections(), "");
  Ini.WriteValue("Settings", "a", "1");
  Ini.WriteValue("Settings", "b", "2");
  Ini.WriteValue("Other", "c", "3");
  EXPECT_EQ(Ini.ReadValue("Settings", "a"), "1");
  EXPECT_EQ(Ini.ReadValue("Settings", "missing"), "");
  EXPECT_EQ(Ini.ReadValue("Missing", "a"), "");
  EXPECT_EQ(Ini.GetKeysInSection("Settings"), "a\0b"s);
  EXPECT_EQ(Ini.GetKeysInSection("Settings").size(), 3u);
  EXPECT_EQ(Ini.GetKeysInSection("Missing"), "");
  EXPECT_EQ(Ini.GetSections(), "Settings\0Other"s);
  Ini.DeleteKey("Settings", "a");
  EXPECT_EQ(Ini.GetKeysInSection("Settings"), "b");
  Ini.DeleteSection("settings");
  EXPECT_EQ(Ini.GetSections(), "Other");
  EXPECT_EQ(Bytes(), "[Other]\r\nc=3\r\n");
}

TEST_F(ClsIniTest, TwoInstancesOnOneFileSeeEachOthersWrites) {
  Bind("");
  clsINI Other(Store);
  Other.INIFile(File);
  Ini.WriteValue("S", "k", "1");
  EXPECT_EQ(Other.ReadValue("S", "k"), "1");
  Other.WriteValue("S", "k", "2");
  EXPECT_EQ(Ini.ReadValue("S", "k"), "2");
}

TEST_F(ClsIniTest, LongValuesComeBackWholeAndMoveWhole) {
  Bind("");
  const std::string Long(300, 'p');
  const std::string Longer = std::string(5000, 'q') + "/end";
  Ini.WriteValue("S", "k", Long);
  Ini.WriteValue("S", "j", Longer);
  EXPECT_EQ(Ini.ReadValue("S", "k"), Long);
  Ini.RenameKey("S", "k", "renamed");
  EXPECT_EQ(Ini.ReadValue("S", "renamed"), Long);
  Ini.RenameSection("S", "T");
  EXPECT_EQ(Ini.ReadValue("T", "renamed"), Long);
  EXPECT_EQ(Ini.ReadValue("T", "j"), Longer);
}

TEST_F(ClsIniTest, NameListsHaveNoLengthLimit) {
  std::string Content = "[Big]\r\n";
  std::vector<std::string> Keys;
  for (int I = 0; I < 5000; ++I) {
    Keys.push_back("SomeLongKeyName" + std::to_string(I));
    Content += Keys.back() + "=" + std::to_string(I) + "\r\n";
  }
  for (int I = 0; I < 3000; ++I) Content += "[Section number " + std::to_string(I) + "]\r\n";
  Bind(Content);
  const std::string List = Ini.GetKeysInSection("Big");
  EXPECT_GT(List.size(), 32767u);
  StringArray Names;
  Ini.String2Array(List, Names);
  EXPECT_EQ(Names, Keys);
  EXPECT_GT(Ini.GetSections().size(), 32767u);
  EXPECT_TRUE(Ini.KeyExists("Big", "somelongkeyname4999"));
  EXPECT_TRUE(Ini.SectionExists("section NUMBER 2999"));

  StringArray Many(40000, "x");
  Many.back() = "last";
  const Collection C = Ini.Array2Collection(Many);
  ASSERT_EQ(C.Count(), 40000u);
  EXPECT_EQ(C.Item(40000), "last");
  StringArray Back;
  Ini.Collection2Array(C, Back);
  EXPECT_EQ(Back, Many);
}

TEST_F(ClsIniTest, ExistenceTestsCompareWholeNamesWithoutRegardToCase) {
  Bind("[Settings]\r\nLastDir=/a\r\nLastDeviceDir=main\r\n[Empty]\r\n");
  struct Case {
    const char* Section;
    const char* Key;
    bool Found;
  };
  const Case Keys[] = {
      {"Settings", "LastDir", true}, {"settings", "LASTDIR", true},
      {"Settings", "dir", false},    {"Settings", "LastDirX", false},
      {"Settings", "Last", false},   {"Settings", "", false},
      {"Empty", "", false},          {"Missing", "LastDir", false},
      {"Empty", "LastDir", false},   {"SETTINGS", "lastdevicedir", true},
  };
  for (const Case& C : Keys) {
    EXPECT_EQ(Ini.KeyExists(C.Section, C.Key), C.Found) << C.Section << "/" << C.Key;
  }
  const Case Sections[] = {
      {"Settings", "", true}, {"SETTINGS", "", true}, {"Set", "", false},
      {"tings", "", false},   {"", "", false},        {"empty", "", true},
  };
  for (const Case& C : Sections) {
    EXPECT_EQ(Ini.SectionExists(C.Section), C.Found) << C.Section;
  }
}

TEST_F(ClsIniTest, RenameKey) {
  Bind("[S]\r\na=1\r\nb=2\r\nc=3\r\n");
  Ini.RenameKey("S", "a", "z");
  EXPECT_EQ(Bytes(), "[S]\r\nb=2\r\nc=3\r\nz=1\r\n");
  // The same name: the key keeps its value and moves to the end.
  Ini.RenameKey("S", "b", "b");
  EXPECT_EQ(Bytes(), "[S]\r\nc=3\r\nz=1\r\nb=2\r\n");
  // A missing key makes the new one with an empty value; an existing one keeps its own.
  Ini.RenameKey("S", "missing", "fresh");
  EXPECT_EQ(Bytes(), "[S]\r\nc=3\r\nz=1\r\nb=2\r\nfresh=\r\n");
  Ini.RenameKey("S", "missing", "Z");
  EXPECT_EQ(Bytes(), "[S]\r\nc=3\r\nz=1\r\nb=2\r\nfresh=\r\n");
  Ini.WriteValue("S", "fresh", "f");
  Ini.RenameKey("S", "missing", "fresh");
  EXPECT_EQ(Ini.ReadValue("S", "fresh"), "f");
  // The stored text moves as it is: quotes and the blanks inside them stay.
  Ini.WriteValue("S", "q", "\"  padded  \"");
  Ini.RenameKey("S", "q", "q2");
  EXPECT_EQ(Ini.ReadValue("S", "q2"), "  padded  ");
  // A new name the file cannot hold is refused before the old key goes.
  for (const std::string& Bad : {""s, "a=b"s, ";c"s}) {
    const RaisedError E = Raised([&] { Ini.RenameKey("S", "c", Bad); });
    EXPECT_EQ(E.Number, ErrorNumber::InvalidProcedureCall) << Bad;
    EXPECT_EQ(E.Source, "clsINI");
  }
  EXPECT_EQ(Ini.ReadValue("S", "c"), "3");
}

TEST_F(ClsIniTest, RenameSection) {
  Bind("[A]\r\nx=1\r\ny=\"two\"\r\n[B]\r\nz=3\r\n[Empty]\r\n");
  Ini.RenameSection("A", "C");
  EXPECT_EQ(Bytes(), "[B]\r\nz=3\r\n[Empty]\r\n[C]\r\nx=1\r\ny=\"two\"\r\n");
  // Without keys: nothing copied, the old section goes, no new one comes.
  Ini.RenameSection("Empty", "New");
  EXPECT_EQ(Ini.GetSections(), "B\0C"s);
  // Onto itself in any letter case: everything stays.
  for (const char* Same : {"C", "c", " C "}) {
    Ini.RenameSection("C", Same);
    EXPECT_EQ(Ini.GetKeysInSection("C"), "x\0y"s) << Same;
    EXPECT_EQ(Ini.ReadValue("C", "y"), "two") << Same;
  }
  // Onto an existing section: keys join it, values overwrite its keys of the same name.
  Ini.WriteValue("B", "x", "old");
  Ini.RenameSection("C", "B");
  EXPECT_EQ(Ini.GetKeysInSection("B"), "z\0x\0y"s);
  EXPECT_EQ(Ini.ReadValue("B", "x"), "1");
  // A name the file cannot hold is refused before anything is deleted.
  const RaisedError E = Raised([&] { Ini.RenameSection("B", " "); });
  EXPECT_EQ(E.Number, ErrorNumber::InvalidProcedureCall);
  EXPECT_EQ(Ini.GetSections(), "B");
}

TEST_F(ClsIniTest, LineBreaksAreRefusedAndNothingIsWritten) {
  const std::string Start = "[S]\r\nk=1\r\n";
  Bind(Start);
  const std::vector<std::pair<const char*, std::function<void()>>> Calls = {
      {"section LF", [&] { Ini.WriteValue("S\n[T]", "k", "v"); }},
      {"key CR", [&] { Ini.WriteValue("S", "k\r", "v"); }},
      {"value CRLF", [&] { Ini.WriteValue("S", "k", "v\r\nInjected=1"); }},
      {"value LF", [&] { Ini.WriteValue("S", "k", "/home/u/odd\nname"); }},
      {"delete key", [&] { Ini.DeleteKey("S", "k\n"); }},
      {"delete section", [&] { Ini.DeleteSection("S\r"); }},
      {"rename key", [&] { Ini.RenameKey("S", "k", "n\nm"); }},
      {"rename section", [&] { Ini.RenameSection("S", "T\n"); }},
  };
  for (const auto& [Name, Call] : Calls) {
    const RaisedError E = Raised(Call);
    EXPECT_EQ(E.Number, ErrorNumber::InvalidProcedureCall) << Name;
    EXPECT_EQ(E.Source, "clsINI") << Name;
    EXPECT_NE(E.Description.find("line break"), std::string::npos) << Name;
  }
  EXPECT_EQ(Bytes(), Start);
  // Reading with such a name simply finds nothing.
  EXPECT_EQ(Ini.ReadValue("S", "k\n"), "");
  EXPECT_FALSE(Ini.KeyExists("S", "k\n"));
}

TEST_F(ClsIniTest, AReadOnlyFileStaysAsItWas) {
  const std::string Start = "; kept\r\n[S]\r\nk=1\r\n";
  Bind(Start);
  fs::permissions(File, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  EXPECT_NO_THROW(Ini.WriteValue("S", "k", "2"));
  EXPECT_NO_THROW(Ini.WriteValue("S", "j", "2"));
  EXPECT_NO_THROW(Ini.DeleteKey("S", "k"));
  EXPECT_NO_THROW(Ini.DeleteSection("S"));
  EXPECT_NO_THROW(Ini.RenameSection("S", "T"));
  EXPECT_EQ(Bytes(), Start);
  EXPECT_EQ(Ini.ReadValue("S", "k"), "1");
}

TEST(ClsIniConversions, SplitsAndConvertsNameLists) {
  CountingStore Counter;
  clsINI Ini(Counter);  // conversions need no file
  struct Case {
    std::string List;
    StringArray Pieces;
  };
  const Case Cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\0b"s, {"a", "b"}},
      {"a\0\0b"s, {"a", "", "b"}},
      {"a\0"s, {"a", ""}},
      {"\0"s, {"", ""}},
  };
  for (const Case& C : Cases) {
    StringArray Result{"stale"};
    Ini.String2Array(C.List, Result);
    EXPECT_EQ(Result, C.Pieces);
    const Collection Items = Ini.String2Collection(C.List);
    ASSERT_EQ(Items.Count(), C.Pieces.size());
    for (std::size_t I = 0; I < C.Pieces.size(); ++I) EXPECT_EQ(Items.Item(I + 1), C.Pieces[I]);
    StringArray Back{"stale", "stale"};
    Ini.Collection2Array(Items, Back);
    EXPECT_EQ(Back, C.Pieces);
  }
  EXPECT_EQ(Counter.Calls, 0);
}

TEST(ClsIniConversions, ItemsOutsideTheCollectionRaiseSubscriptOutOfRange) {
  Collection Items;
  Items.Add("one");
  Items.Add("two");
  EXPECT_EQ(Items.Item(1), "one");
  EXPECT_EQ(Items.Item(2), "two");
  for (std::size_t Index : {std::size_t{0}, std::size_t{3}, static_cast<std::size_t>(-1)}) {
    const RaisedError E = Raised([&] { Items.Item(Index); });
    EXPECT_EQ(E.Number, 9) << Index;
    EXPECT_EQ(E.Description, "Subscript out of range") << Index;
  }
}

}  // namespace
}  // namespace pictrane
