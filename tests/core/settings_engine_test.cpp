// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "portable/IniEngine.h"
#include "portable/IniFileStore.h"
#include "settings_scenarios.h"
#include "TestFiles.h"

namespace pictrane {
namespace scenarios {
// Names a failing scenario instead of dumping its bytes.
void PrintTo(const ProfileScenario& S, std::ostream* Out) {
  *Out << S.Name;
}
}  // namespace scenarios

namespace {

using scenarios::ProfileOp;
using scenarios::ProfileScenario;
using scenarios::ProfileStep;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::string Show(const std::string& Bytes) {
  std::string Out;
  for (char C : Bytes) {
    if (C == '\r') {
      Out += "\\r";
    } else if (C == '\n') {
      Out += "\\n";
    } else {
      Out += C;
    }
  }
  return Out;
}

class ScenarioTest : public ::testing::TestWithParam<ProfileScenario> {};

// The pure engine: a missing file is an engine without bytes.
TEST_P(ScenarioTest, Engine) {
  const ProfileScenario& S = GetParam();
  IniEngine Engine(S.Initial.value_or(""));
  for (std::size_t I = 0; I < S.Steps.size(); ++I) {
    const ProfileStep& Step = S.Steps[I];
    SCOPED_TRACE("step " + std::to_string(I));
    switch (Step.Op) {
      case ProfileOp::Read:
        EXPECT_EQ(Engine.ReadString(Step.Section, Step.Key), Step.Expected);
        break;
      case ProfileOp::Keys:
        EXPECT_EQ(Engine.KeyNames(Step.Section), Step.Names);
        break;
      case ProfileOp::Sections:
        EXPECT_EQ(Engine.SectionNames(), Step.Names);
        break;
      case ProfileOp::Write:
        Engine.WriteString(Step.Section, Step.Key, Step.Value);
        break;
      case ProfileOp::DeleteKey:
        Engine.DeleteKey(Step.Section, Step.Key);
        break;
      case ProfileOp::DeleteSection:
        Engine.DeleteSection(Step.Section);
        break;
    }
  }
  EXPECT_EQ(Show(Engine.Bytes()), Show(S.Final.value_or("")));
}

// The same through real files, as the program uses them.
TEST_P(ScenarioTest, FileStore) {
  const ProfileScenario& S = GetParam();
  TempDir Dir;
  const std::string File = Dir / "settings.ini";
  if (S.Initial) WriteBytes(File, *S.Initial);
  IniFileStore Store;
  for (std::size_t I = 0; I < S.Steps.size(); ++I) {
    const ProfileStep& Step = S.Steps[I];
    SCOPED_TRACE("step " + std::to_string(I));
    switch (Step.Op) {
      case ProfileOp::Read:
        EXPECT_EQ(Store.ReadString(File, Step.Section, Step.Key), Step.Expected);
        break;
      case ProfileOp::Keys:
        EXPECT_EQ(Store.KeyNames(File, Step.Section), Step.Names);
        break;
      case ProfileOp::Sections:
        EXPECT_EQ(Store.SectionNames(File), Step.Names);
        break;
      case ProfileOp::Write:
        Store.WriteString(File, Step.Section, Step.Key, Step.Value);
        break;
      case ProfileOp::DeleteKey:
        Store.DeleteKey(File, Step.Section, Step.Key);
        break;
      case ProfileOp::DeleteSection:
        Store.DeleteSection(File, Step.Section);
        break;
    }
  }
  const std::optional<std::string> Final = ReadBytes(File);
  ASSERT_EQ(Final.has_value(), S.Final.has_value());
  if (Final) {
    EXPECT_EQ(Show(*Final), Show(*S.Final));
  }
}

std::string ScenarioName(const ::testing::TestParamInfo<ProfileScenario>& Info) {
  std::string Name = std::to_string(Info.index) + "_";
  for (char C : Info.param.Name) Name += std::isalnum(static_cast<unsigned char>(C)) ? C : '_';
  return Name;
}

INSTANTIATE_TEST_SUITE_P(Profile, ScenarioTest, ::testing::ValuesIn(scenarios::ProfileScenarios()),
                         ScenarioName);

TEST(ProfileName, ComparesAsciiCaseInsensitivelyAndIgnoresBlanks) {
  struct Case {
    const char* A;
    const char* B;
    bool Same;
  };
  const Case Cases[] = {
      {"LastDir", "lastdir", true},
      {"LastDir", "LASTDIR", true},
      {" LastDir\t", "LastDir", true},
      {"Last Dir", "LastDir", false},
      {"LastDir", "LastDirs", false},
      {"dir", "LastDir", false},
      {"", "", true},
      {"", " ", true},
      {"\xC3\xA9", "\xC3\x89", false},  // only ASCII letters fold
      {"a[", "A[", true},
      {"@", "`", false},
      {"Z", "z", true},
      {"[", "{", false},
  };
  for (const Case& C : Cases) {
    EXPECT_EQ(IniEngine::SameName(C.A, C.B), C.Same) << C.A << " / " << C.B;
    EXPECT_EQ(IniEngine::SameName(C.B, C.A), C.Same) << C.B << " / " << C.A;
  }
}

TEST(IniEngine, AcceptsOnlyWhatReadsBackAsWritten) {
  struct Case {
    std::string Section, Key, Value;
    bool Accepted;
  };
  const Case Cases[] = {
      {"S", "k", "v", true},     {"S", "k", "", true},      {" S ", " k ", " v = ; [x] ", true},
      {"S]x", "k", "v", true},   {"", "k", "v", true},      {"  ", "k", "v", true},
      {"S", "", "v", false},     {"S", "\t", "v", false},   {"S", "a=b", "v", false},
      {"S", ";k", "v", false},   {"S", "[k]", "v", false},  {"S", "[k", "x]", false},
      {"S", "[k", "x", false},   {"S\n", "k", "v", false},  {"S", "k\r", "v", false},
      {"S", "k", "a\nb", false}, {"S", "k", "a\rb", false}, {"", "\xEF\xBB\xBFk", "v", false},
  };
  for (const Case& C : Cases) {
    SCOPED_TRACE(Show(C.Section) + "|" + Show(C.Key) + "|" + Show(C.Value));
    EXPECT_EQ(IniEngine::Accepts(C.Section, C.Key, C.Value), C.Accepted);
    IniEngine Engine("[S]\r\n");
    EXPECT_EQ(Engine.WriteString(C.Section, C.Key, C.Value), C.Accepted);
    if (C.Accepted) {
      EXPECT_EQ(Engine.KeyNames(C.Section).size(), 1u);
    } else {
      EXPECT_EQ(Engine.Bytes(), "[S]\r\n");
    }
  }
}

TEST(IniEngine, ManyKeysKeepTheirOrderAndAllReadBack) {
  IniEngine Engine;
  std::vector<std::string> Expected;
  for (int I = 0; I < 1500; ++I) {
    const std::string Key = "Key" + std::to_string(I);
    Engine.WriteString("Big", Key, "value " + std::to_string(I));
    Expected.push_back(Key);
  }
  EXPECT_EQ(Engine.KeyNames("big"), Expected);
  EXPECT_EQ(Engine.ReadString("BIG", "key1499"), "value 1499");
  EXPECT_EQ(Engine.ReadString("BIG", "key0"), "value 0");
  EXPECT_EQ(Engine.Bytes().substr(0, 26), "[Big]\r\nKey0=value 0\r\nKey1=");
}

}  // namespace
}  // namespace pictrane
