// Start-up against recording fakes: the environment checks, their messages, order and exit status.

#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "startup/modMain.h"
#include "window/frmMain.h"

namespace pictrane::testing {
namespace {

const std::string kInit =
    "InitCommonControlsEx standard dates comboboxex rebars ipaddresses pagers";
const std::string kToolMissing =
    "MessageBox Critical [Pictrane Converter] TI ScreenCapture not found!\r\nCorrect the path in "
    "the file "
    "settings.ini.";
const std::string kDummyMissing =
    "MessageBox Exclamation [Pictrane Converter] dummy.bmp not found!";

class StartupTest : public ::testing::Test {
 protected:
  // Runs Main and gives the exit status it terminated with, or -1 when it showed the window.
  int RunMain() {
    try {
      Main(fp.P, state);
    } catch (const Terminated& t) {
      return t.Status;
    }
    return -1;
  }
  void SetTool(const std::string& path) {
    fp.Files.Put("C:\\app\\settings.ini");
    fp.Profile.Values["C:\\app\\settings.ini"]["settings/screencapturepath"] = path;
  }
  FakePlatform fp;
  ProgramState state;
};

TEST_F(StartupTest, FirstRunCreatesAnEmptySettingsFileAndStops) {
  EXPECT_EQ(RunMain(), 1);
  EXPECT_EQ(fp.Log, (Transcript{kInit, "CreateEmptyFile C:\\app\\settings.ini", kToolMissing,
                                "Terminate 1"}));
  EXPECT_TRUE(fp.Files.Has("C:\\app\\settings.ini"));
  EXPECT_EQ(fp.Files.Files["C:\\app\\settings.ini"].Content, "");
}

TEST_F(StartupTest, EnvironmentChecks) {
  struct Case {
    const char* name;
    std::string tool;
    bool toolFile, dummy;
    Transcript messages;
    int status;
  };
  const Case cases[] = {
      {"empty path", "", false, true, {kToolMissing}, 1},
      {"tool missing", "C:\\tool\\cap.exe", false, true, {kToolMissing}, 1},
      {"both missing: only the tool's message",
       "C:\\tool\\cap.exe",
       false,
       false,
       {kToolMissing},
       1},
      {"dummy missing", "C:\\tool\\cap.exe", true, false, {kDummyMissing}, 1},
      {"wildcard finds any fitting file", "C:\\tool\\c*.exe", true, true, {}, -1},
      {"trailing separator searches inside the folder", "C:\\tool\\", true, true, {}, -1},
      {"all present", "C:\\tool\\cap.exe", true, true, {}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    ProgramState s;
    f.Files.Put("C:\\app\\settings.ini");
    f.Profile.Values["C:\\app\\settings.ini"]["settings/screencapturepath"] = c.tool;
    if (c.toolFile) f.Files.Put("C:\\tool\\cap.exe");
    if (c.dummy) f.Files.Put("C:\\app\\dummy.bmp");
    int status = -1;
    try {
      Main(f.P, s);
    } catch (const Terminated& t) {
      status = t.Status;
    }
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(f.Only({"MessageBox"}), c.messages);
    EXPECT_EQ(s.MainForm != nullptr, c.status == -1);
    EXPECT_EQ(s.ScreenCapturePath, c.tool);
  }
}

TEST_F(StartupTest, ShowsTheWindowWithItsFieldsRestored) {
  SetTool("C:\\tool\\cap.exe");
  fp.Files.Put("C:\\tool\\cap.exe");
  fp.Files.Put("C:\\app\\dummy.bmp");
  auto& values = fp.Profile.Values["C:\\app\\settings.ini"];
  values["settings/lastdir"] = "C:\\pics";
  values["settings/lastdevicedir"] = "main";
  values["settings/deletebmps"] = "1";

  EXPECT_EQ(RunMain(), -1);
  EXPECT_EQ(fp.Log, (Transcript{kInit, "Form Create frmMain", "Form Show"}));
  FakeForm& form = *fp.Forms.Last;
  EXPECT_EQ(form.Texts["txtPath"], "C:\\pics");
  EXPECT_EQ(form.Texts["txtTI89Dir"], "main");
  EXPECT_EQ(form.Values["chkDeleteBMPs"], 1);
}

TEST_F(StartupTest, SettingsThatCannotBeCreatedRaiseTheRunTimeError) {
  fp.Profile.FailCreate = true;
  try {
    Main(fp.P, state);
    FAIL() << "Main went on without a settings file";
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.Number, 75);
    try {
      ReportRunTimeError(fp.P, e);
    } catch (const Terminated& t) {
      EXPECT_EQ(t.Status, 2);
    }
  }
  EXPECT_EQ(
      fp.Only({"MessageBox", "Terminate"}),
      (Transcript{
          "MessageBox Critical [Pictrane Converter] Run-time error '75':\r\n\r\nCannot create "
          "C:\\app\\settings.ini: permission denied",
          "Terminate 2"}));
}

}  // namespace
}  // namespace pictrane::testing
