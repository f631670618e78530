// SPDX-License-Identifier: GPL-3.0-or-later
// The shared library's rules: the calculator's names, names as messages show them, and the
// atomic writes.

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "CalcNameTable.h"
#include "pictrane/AtomicFile.h"
#include "pictrane/CalcName.h"
#include "pictrane/RaisedError.h"
#include "pictrane/Names.h"
#include "pictrane/Remarks.h"
#include "pictrane/Utf8.h"

namespace pictrane {
namespace {

// --- Names -----------------------------------------------------------------------------------

struct NameCase {
  std::u32string Text;
  bool SoFar;
};

TEST(CalcName, AcceptsOnlyWhatACalculatorNameHolds) {
  const std::vector<NameCase> Cases = {
      {U"", true},           {U"a", true},        {U"Z", true},      {U"é", true},
      {U"ÿ", true},          {U"ß", true},        {U"Δ", true},      {U"ω", true},
      {U"a1_", true},        {U"abcdefgh", true}, {U"aé9_Ωß", true}, {U"ÀÖØÞàöøþ", true},
      {U"abcdefghi", false},  // nine characters
      {U"1a", false},        {U"_a", false},      {U"a b", false},   {U"a+", false},
      {U"a.b", false},       {U"a×", false},      {U"a÷", false},    {U"π", false},
      {U"aΠ", false},        {U"ж", false},       {U"µ", false},     {U"a\U0001F600", false},
      {U"a-b", false},       {U"a~", false},      {U"a{", false},    {U"a[", false},
  };
  for (std::size_t i = 0; i < Cases.size(); ++i) {
    EXPECT_EQ(IsNameSoFar(Cases[i].Text), Cases[i].SoFar) << "case " << i;
    EXPECT_EQ(IsValidName(Cases[i].Text), Cases[i].SoFar && !Cases[i].Text.empty()) << "case " << i;
  }
}

TEST(CalcName, LowerCasesEveryLetterTheCharacterSetHoldsInSmallForm) {
  const std::vector<std::pair<std::u32string, std::u32string>> Cases = {
      {U"HoLiDaY", U"holiday"}, {U"ÀÉÖØÞ", U"àéöøþ"}, {U"ΓΔΣΩ", U"γδσω"},
      {U"ß9_ÿ", U"ß9_ÿ"},       {U"αβ", U"αβ"},       {U"A_Z09", U"a_z09"},
  };
  for (const auto& [Text, Lower] : Cases) EXPECT_TRUE(LowerName(Text) == Lower);
}

TEST(CalcName, NamesFromFileNamesFollowTheNameFieldsRules) {
  const std::vector<std::pair<std::u32string, std::u32string>> Cases = {
      {U"holiday pic+1", U"holidayp"},
      {U"Été 2024", U"Été2024"},
      {U"2024-sea", U"sea"},
      {U"_x_1", U"x_1"},
      {U"123", U""},
      {U"a.b.c", U"abc"},
      {U"Ωmega-π", U"Ωmega"},
      {U"абв", U""},
      {U"img_0001", U"img_0001"},
  };
  for (const auto& [File, Name] : Cases) EXPECT_TRUE(NameFromTyping(File) == Name);
  // A run's names: those that collide keep what tells their files apart, the others stay.
  using Names = std::vector<std::u32string>;
  const std::vector<std::pair<Names, Names>> Runs = {
      {{U"holiday_beach", U"holiday_bench", U"sea"}, {U"holbeach", U"holbench", U"sea"}},
      {{U"Sea", U"sea", U"42"}, {U"Sea", U"sea", U""}},
      {{U"IMG_20240101_120000", U"IMG_20240101_120500", U"IMG_20240215_083000"},
       {U"IM120000", U"IM120500", U"IM083000"}},
      {{U"IMG_20240101_120000", U"IMG_20240102_120000"}, {U"IM120000", U"IM120000"}},
      {{U"astronaut_1024x768", U"astronaut_160x100"}, {U"ast1024x", U"ast160x1"}},
  };
  for (const auto& [Texts, Given] : Runs) EXPECT_TRUE(NamesTellingApart(Texts) == Given);
  EXPECT_TRUE(DistinctName(U"img_2024", {U"img_2024"}) == U"img_20_1");
  EXPECT_TRUE(DistinctName(U"astronau", {U"astronau", U"astrona1"}) == U"astrona2");
}

TEST(CalcName, EachFileNameGivesTheNameTheCalculatorKeeps) {
  for (const test::CalcNameRow& Row : test::kCalcNameRows) {
    EXPECT_EQ(CalculatorName(Row.Text), Row.Name) << Row.Text;
    std::u32string Text;
    for (std::size_t At = 0; At < Row.Text.size();) {
      char32_t Character = 0;
      if (NextUtf8(Row.Text, At, Character)) Text.push_back(Character);
    }
    std::string FromFile;
    for (const char32_t Character : LowerName(NameFromFile(Text))) AppendUtf8(FromFile, Character);
    EXPECT_EQ(FromFile, Row.FromFile.empty() ? Row.Name : Row.FromFile) << Row.Text;
  }
  EXPECT_EQ(CalculatorName("ab\xFF\xC3"
                           "cd"),
            "abcd");  // bytes that are not UTF-8 are refused
}

TEST(Names, MessagesShowEveryByteAndEveryLineAsOne) {
  const std::vector<std::pair<std::string, std::string>> Cases = {
      {"photo.bmp", "photo.bmp"},  {"Été.bmp", "Été.bmp"},     {"a\r\nb", "a\\r\\nb"},
      {"tab\there", "tab\\there"}, {"C:\\pics", "C:\\\\pics"}, {"bad\xE9.bmp", "bad\\xE9.bmp"},
      {"\xC3\x28", "\\xC3("},      {"\x7F", "\\x7F"},
  };
  for (const auto& [Name, Shown] : Cases) EXPECT_EQ(EscapedName(Name), Shown);
  EXPECT_TRUE(TypableName("Привет мир.bmp"));
  EXPECT_FALSE(TypableName("a\nb.bmp"));
  EXPECT_FALSE(TypableName("bad\xE9.bmp"));
  EXPECT_EQ(RemarkLine("/p/a\nb.bmp", "cannot read\r\nit"), "/p/a\\nb.bmp: cannot read  it");
}

// Both ways of writing, through the temporary's name and through its handle, on this system's
// files: the target is replaced whole, or a failed write leaves it as it was; either way nothing
// else is left in the folder.
TEST(AtomicFile, ReplacesTheFileWholeOrLeavesItAsItWas) {
  namespace fs = std::filesystem;
  const fs::path Folder =
      fs::temp_directory_path() / ("pictrane-atomic-" + std::to_string(std::random_device{}()));
  const std::string Target = (Folder / "target.txt").string();
  const auto Read = [](const std::string& Path) {
    std::ifstream In(Path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(In), {});
  };
  const std::string Other = (Folder / "other.txt").string();
  const auto WriteName = [](const std::string& Text, bool Fail) {
    return [Text, Fail](const std::string& Temporary) {
      std::ofstream(Temporary, std::ios::binary) << Text;
      if (Fail) throw std::runtime_error("the writer failed");
    };
  };
  struct Case {
    const char* Name;
    std::function<void()> Write;
    std::string After;  // the target's content; "old": untouched
    const char* Error;  // the start of the raised description; nullptr: none
  };
  const std::vector<Case> Cases = {
      {"bytes", [&] { WriteFileAtomically(Target, "new\n", "Test"); }, "new\n", nullptr},
      {"no bytes", [&] { WriteFileAtomically(Target, "", "Test"); }, "", nullptr},
      {"by name", [&] { WriteAtomically(Target, WriteName("named", false), "Test"); }, "named",
       nullptr},
      {"the writer throws", [&] { WriteAtomically(Target, WriteName("half", true), "Test"); },
       "old", "the writer failed"},
      {"a group, placed at its commit, the later write to a file winning",
       [&] {
         WriteGroup Group("Test");
         WriteFileAtomically(Target, "first", "Test");
         WriteAtomically(Target, WriteName("grouped", false), "Test");
         if (Read(Target) != "old") throw std::runtime_error("placed before the commit");
         for (const auto& Failed : Group.Commit())
           if (Failed) throw *Failed;
       },
       "grouped", nullptr},
      {"a group, one write lost before its commit: it says so, the other is placed",
       [&] {
         WriteGroup Group("Test");
         WriteAtomically(Other, WriteName("other", false), "Test");
         WriteAtomically(
             Target, [](const std::string& Temporary) { std::filesystem::remove(Temporary); },
             "Test");
         const auto Failed = Group.Commit();
         const bool Placed = Failed.size() == 2 && !Failed[0] && Read(Other) == "other";
         std::filesystem::remove(Other);
         if (!Placed) throw std::runtime_error("the other write was not placed");
         if (Failed[1]) throw *Failed[1];
       },
       "old", "Cannot write"},
      {"no such folder",
       [&] { WriteFileAtomically((Folder / "gone" / "t.txt").string(), "new", "Test"); }, "old",
       "Cannot write in the folder"},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(C.Name);
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    std::ofstream(Target, std::ios::binary) << "old";
    if (C.Error) {
      try {
        C.Write();
        ADD_FAILURE() << "nothing was raised";
      } catch (const std::exception& E) {
        const auto* Raised = dynamic_cast<const RaisedError*>(&E);
        EXPECT_EQ((Raised ? Raised->Description : std::string(E.what())).rfind(C.Error, 0), 0U)
            << (Raised ? Raised->Description : E.what());
      }
    } else {
      C.Write();
    }
    std::ifstream In(Target, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(In), {}), C.After);
    In.close();
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()), 1);
  }
  fs::remove_all(Folder);
}

}  // namespace
}  // namespace pictrane
