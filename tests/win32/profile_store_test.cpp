// SPDX-License-Identifier: GPL-3.0-or-later
// The settings class's file operations through the system's own profile functions, compared
// with our engine over the shared table of scenarios, and what only the system side has to do:
// whole values and lists of any length, characters outside the ANSI code page.

#include <iostream>

#include "../core/settings_scenarios.h"
#include "Win32TestSupport.h"
#include "win32/ProfileStoreWin32.h"
#include "portable/IniEngine.h"

namespace pictrane::win32::testing {
namespace {

using scenarios::ProfileOp;
using scenarios::ProfileScenario;
using scenarios::ProfileStep;

bool Ascii(const std::string& Bytes) {
  for (char C : Bytes) {
    if (static_cast<unsigned char>(C) >= 0x80) return false;
  }
  return true;
}

// The scenario's file as the system's functions are given such text: they read a file without
// a byte order mark in the ANSI code page, so UTF-8 text outside ASCII goes into a Unicode
// profile file. A file that brings its own byte order mark is handed over as it is.
std::string AsSystemFile(const std::string& Bytes) {
  if (Ascii(Bytes) || Bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return Bytes;
  return Utf16File(Widen(Bytes));
}

bool UnicodeFile(const std::string& File) {
  return ReadBytes(Widen(File)).value_or("").rfind("\xFF\xFE", 0) == 0;
}

std::string Joined(const std::vector<std::string>& Names) {
  std::string Text = "{";
  for (const std::string& Name : Names) Text += (Text.size() > 1 ? ", \"" : "\"") + Name + "\"";
  return Text + "}";
}

class SystemProfileScenario : public ::testing::TestWithParam<ProfileScenario> {};

// Every read gives what the engine's read gives. Where the system's documentation leaves the
// answer open (Documented false), a difference is reported rather than failed.
TEST_P(SystemProfileScenario, ReadsWhatTheEngineReads) {
  const ProfileScenario& S = GetParam();
  TempFolder Dir(L"scenario");
  const std::wstring File = Dir / L"settings.ini";
  const std::string FileUtf8 = Narrow(File);
  if (S.Initial) {
    ASSERT_TRUE(WriteBytes(File, AsSystemFile(*S.Initial)));
  }
  IniEngine Engine(S.Initial.value_or(""));
  ProfileStoreWin32 Store;

  std::vector<std::string> Differences;
  auto Compare = [&](std::size_t Step, const std::string& System, const std::string& Ours) {
    if (System == Ours) return;
    Differences.push_back("step " + std::to_string(Step) + ": system " + System + ", engine " +
                          Ours);
  };
  for (std::size_t I = 0; I < S.Steps.size(); ++I) {
    const ProfileStep& Step = S.Steps[I];
    switch (Step.Op) {
      case ProfileOp::Read:
        Compare(I, "\"" + Store.ReadString(FileUtf8, Step.Section, Step.Key) + "\"",
                "\"" + Engine.ReadString(Step.Section, Step.Key) + "\"");
        break;
      case ProfileOp::Keys:
        Compare(I, Joined(Store.KeyNames(FileUtf8, Step.Section)),
                Joined(Engine.KeyNames(Step.Section)));
        break;
      case ProfileOp::Sections:
        Compare(I, Joined(Store.SectionNames(FileUtf8)), Joined(Engine.SectionNames()));
        break;
      case ProfileOp::Write:
        Store.WriteString(FileUtf8, Step.Section, Step.Key, Step.Value);
        Engine.WriteString(Step.Section, Step.Key, Step.Value);
        break;
      case ProfileOp::DeleteKey:
        Store.DeleteKey(FileUtf8, Step.Section, Step.Key);
        Engine.DeleteKey(Step.Section, Step.Key);
        break;
      case ProfileOp::DeleteSection:
        Store.DeleteSection(FileUtf8, Step.Section);
        Engine.DeleteSection(Step.Section);
        break;
    }
  }
  Compare(S.Steps.size(), FileExists(File) ? "file" : "no file",
          S.Final.has_value() ? "file" : "no file");

  for (const std::string& Difference : Differences) {
    if (S.Documented) {
      ADD_FAILURE() << S.Name << ": " << Difference;
    } else {
      std::cout << "[ DIFFERS  ] " << S.Name << ": " << Difference << "\n";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, SystemProfileScenario,
                         ::testing::ValuesIn(scenarios::ProfileScenarios()),
                         [](const ::testing::TestParamInfo<ProfileScenario>& Info) {
                           std::string Name;
                           for (char C : Info.param.Name) {
                             const bool Word = (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') ||
                                               (C >= '0' && C <= '9');
                             Name += Word ? C : '_';
                           }
                           return std::to_string(Info.index) + "_" + Name;
                         });

TEST(ProfileStoreWin32, ReadsValuesAndListsOfAnyLengthWhole) {
  TempFolder Dir(L"long");
  const std::wstring File = Dir / L"big.ini";
  const std::string Huge(100000, 'v');
  std::string Bytes =
      "[S]\r\nhuge=" + Huge + "\r\nedge=" + std::string(255, 'e') + "\r\n[Many]\r\n";
  std::vector<std::string> Keys;
  for (int I = 0; I < 3000; ++I) {
    Keys.push_back("a_fairly_long_key_name_number_" + std::to_string(I));
    Bytes += Keys.back() + "=" + std::to_string(I) + "\r\n";
  }
  ASSERT_TRUE(WriteBytes(File, Bytes));
  ProfileStoreWin32 Store;
  EXPECT_EQ(Store.ReadString(Narrow(File), "S", "huge"), Huge);
  EXPECT_EQ(Store.ReadString(Narrow(File), "S", "edge"), std::string(255, 'e'));
  EXPECT_EQ(Store.KeyNames(Narrow(File), "Many"), Keys);  // about 100 000 characters of names
  EXPECT_EQ(Store.ReadString(Narrow(File), "many", Keys.back()), "2999");
}

TEST(ProfileStoreWin32, KeepsCharactersOutsideTheAnsiCodePage) {
  TempFolder Dir(L"unicode");
  const std::string File = Dir.Utf8(L"settings.ini");
  ProfileStoreWin32 Store;
  ASSERT_TRUE(WriteBytes(Widen(File), "; kept by hand\r\n"));
  Store.WriteString(File, "Settings", "LastDeviceDir", "main");
  // Plain text keeps the file in the format the functions give it: no byte order mark.
  EXPECT_FALSE(UnicodeFile(File));

  const std::string Folder =
      "C:\\\xD0\x9A\xD0\xB0\xD1\x80\xD1\x82\xD0\xB8\xD0\xBD\xD0\xBA\xD0\xB8 "
      "\xE6\x97\xA5\xE6\x9C\xAC \xCE\xA9 \xF0\x9F\x8E\xA8";  // Картинки 日本 Ω 🎨
  Store.WriteString(File, "Settings", "LastDir", Folder);
  Store.WriteString(File, "\xCE\xA3\xCF\x8D\xCE\xBD\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82",
                    "\xE9\x8D\xB5", "\xE5\x80\xA4");  // Σύνοδος / 鍵 = 値
  EXPECT_EQ(Store.ReadString(File, "Settings", "LastDir"), Folder);
  EXPECT_EQ(Store.ReadString(File, "Settings", "LastDeviceDir"), "main");
  EXPECT_EQ(Store.ReadString(File, "\xCE\xA3\xCF\x8D\xCE\xBD\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82",
                             "\xE9\x8D\xB5"),
            "\xE5\x80\xA4");
  EXPECT_EQ(Store.SectionNames(File),
            (std::vector<std::string>{"Settings",
                                      "\xCE\xA3\xCF\x8D\xCE\xBD\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82"}));
  EXPECT_TRUE(UnicodeFile(File));
  // The file was put in place whole, with its hand-written lines, and nothing is left beside it.
  EXPECT_EQ(Store.ReadString(File, "Settings", "LastDeviceDir"), "main");
  const std::wstring HandWritten = L"; kept by hand";
  EXPECT_EQ(ReadBytes(Widen(File))->substr(2, HandWritten.size() * sizeof(wchar_t)),
            std::string(reinterpret_cast<const char*>(HandWritten.data()),
                        HandWritten.size() * sizeof(wchar_t)));
  EXPECT_EQ(Dir.Names(), std::vector<std::wstring>{L"settings.ini"});
}

// Renames move a value as stored: the system's section listing and the engine must agree on it.
TEST(ProfileStoreWin32, StoredTextKeepsQuotesAndTheBlanksInsideThem) {
  TempFolder Dir(L"stored");
  const std::string Bytes = "[S]\r\nq = \"  padded  \" \r\nbare\r\nk=1\r\n";
  const std::wstring File = Dir / L"settings.ini";
  ASSERT_TRUE(WriteBytes(File, Bytes));
  ProfileStoreWin32 Store;
  const IniEngine Engine(Bytes);
  const std::pair<const char*, std::optional<std::string>> Cases[] = {
      {"q", "\"  padded  \""}, {" K ", "1"}, {"bare", std::nullopt}, {"missing", std::nullopt}};
  for (const auto& [Key, Stored] : Cases) {
    EXPECT_EQ(Store.StoredText(Narrow(File), "s", Key), Stored) << Key;
    EXPECT_EQ(Engine.StoredText("s", Key), Stored) << Key;
  }
}

// A write says what became of it: from the function's result and a read-back under the engine's
// rules. A value read back as the file reads (a lone surrogate that UTF-8 cannot carry) is
// not written in its replaced form.
TEST(ProfileStoreWin32, EveryWriteSaysWhatBecameOfIt) {
  TempFolder Dir(L"results");
  ProfileStoreWin32 Store;
  const std::string Lone = Utf16File(std::wstring(L"[S]\r\nk=C:\\") + wchar_t(0xD800) + L"\r\n");
  struct Case {
    const wchar_t* Name;
    std::string Content;
    bool ReadOnly;
    std::string Value;  // "*" for what the file reads
    WriteOutcome Outcome;
    bool Same;  // the file's bytes are as they were
  };
  const Case Cases[] = {
      {L"vt.ini", "[S]\r\nk=1\r\n", false, "\v\f2\x1a", WriteOutcome::Written, false},
      {L"same.ini", "[S]\r\nk=1\r\n", false, " \"1\"", WriteOutcome::Unchanged, true},
      {L"lone.ini", Lone, false, "*", WriteOutcome::Unchanged, true},
      {L"readonly.ini", "[S]\r\nk=1\r\n", true, "2", WriteOutcome::Failed, true},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(Narrow(C.Name));
    const std::wstring File = Dir / C.Name;
    ASSERT_TRUE(WriteBytes(File, C.Content));
    if (C.ReadOnly) {
      ::SetFileAttributesW(File.c_str(), FILE_ATTRIBUTE_READONLY);
      // Wine run by root opens a read-only file for writing all the same: nothing refuses there.
      const HANDLE Open = ::CreateFileW(File.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
      if (Open != INVALID_HANDLE_VALUE) {
        ::CloseHandle(Open);
        ::SetFileAttributesW(File.c_str(), FILE_ATTRIBUTE_NORMAL);
        continue;
      }
    }
    const std::string Value = C.Value == "*" ? Store.ReadString(Narrow(File), "S", "k") : C.Value;
    const WriteResult R = Store.WriteString(Narrow(File), "S", "k", Value);
    EXPECT_EQ(R.Outcome, C.Outcome);
    EXPECT_EQ(R.Reason.empty(), C.Outcome != WriteOutcome::Failed) << R.Reason;
    EXPECT_EQ(ReadBytes(File) == C.Content, C.Same);
    if (C.Outcome == WriteOutcome::Written) {
      EXPECT_EQ(Store.ReadString(Narrow(File), "S", "k"), IniEngine::ReadBack(C.Value));
    }
    ::SetFileAttributesW(File.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

TEST(ProfileStoreWin32, CreateIfMissingLeavesAnEmptyFileOrWhatIsThere) {
  TempFolder Dir(L"create");
  ProfileStoreWin32 Store;
  const std::wstring Fresh = Dir / L"settings.ini";
  Store.CreateIfMissing(Narrow(Fresh));
  EXPECT_EQ(ReadBytes(Fresh), std::optional<std::string>(""));

  // A hidden file is not found by the existence test; opening it for appending keeps it.
  const std::wstring Hidden = Dir / L"hidden.ini";
  ASSERT_TRUE(WriteBytes(Hidden, "[S]\r\nk=1\r\n"));
  ::SetFileAttributesW(Hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  Store.CreateIfMissing(Narrow(Hidden));
  EXPECT_EQ(ReadBytes(Hidden), std::optional<std::string>("[S]\r\nk=1\r\n"));

  for (const std::wstring& Bad : {Dir / L"folder.ini", Dir / L"missing\\settings.ini"}) {
    if (Bad == Dir / L"folder.ini") ::CreateDirectoryW(Bad.c_str(), nullptr);
    try {
      Store.CreateIfMissing(Narrow(Bad));
      ADD_FAILURE() << "no error for " << Narrow(Bad);
    } catch (const RaisedError& Error) {
      EXPECT_EQ(Error.Number, ErrorNumber::PathFileAccessError);
      EXPECT_NE(Error.Description.find(Narrow(Bad)), std::string::npos) << Error.Description;
      EXPECT_NE(Error.Description.find(" ("), std::string::npos) << Error.Description;
    }
  }
}

}  // namespace
}  // namespace pictrane::win32::testing
