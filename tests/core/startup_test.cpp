// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up against recording fakes: the environment checks, their messages, order and exit status.

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "FakePlatform.h"
#include "startup/AppFolders.h"
#include "startup/CommandLine.h"
#include "startup/modMain.h"
#include "window/frmMain.h"

namespace pictrane::testing {
namespace {

const std::string kInit =
    "InitCommonControlsEx standard dates comboboxex rebars ipaddresses pagers";
// The boxes' fixed lines first, word for word; the help with them after a blank line.
const std::string kToolBox =
    "MessageBox Critical [Pictrane Converter] TI ScreenCapture not found!\r\nCorrect the path "
    "in the file settings.ini.\r\n\r\nsettings.ini is here:\r\n  C:\\app\\settings.ini\r\n";
const std::string kToolMissing = kToolBox + "Path tried: C:\\tool\\cap.exe";
const std::string kToolUnset = kToolBox + "Path tried: (none set)";
const std::string kWriteLines = " Write these two lines:\r\n  [Settings]\r\n  ScreenCapturePath=";
const std::string kNoSection = kToolUnset + "\r\n\r\nThe file has no [Settings] section." +
                               kWriteLines + "<the capture tool's full path>";
const std::string kDummyMissing =
    "MessageBox Exclamation [Pictrane Converter] dummy.bmp not found!\r\n\r\nPaths tried:\r\n  "
    "C:\\app\\dummy.bmp\r\nReinstall the program; its settings file is:\r\n  "
    "C:\\app\\settings.ini";

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
    fp.FileSystem.Put("C:\\app\\settings.ini");
    fp.ProfileStore.Values["C:\\app\\settings.ini"]["settings/screencapturepath"] = path;
  }
  FakePlatform fp;
  ProgramState state;
};

TEST_F(StartupTest, FirstRunCreatesAnEmptySettingsFileAndStops) {
  EXPECT_EQ(RunMain(), 1);
  EXPECT_EQ(fp.Log, (Transcript{kInit, "CreateEmptyFile C:\\app\\settings.ini", kNoSection,
                                "Terminate 1"}));
  EXPECT_TRUE(fp.FileSystem.Has("C:\\app\\settings.ini"));
  EXPECT_EQ(fp.FileSystem.Files["C:\\app\\settings.ini"].Content, "");
}

TEST_F(StartupTest, EnvironmentChecks) {
  struct Case {
    const char* name;
    std::string tool;
    bool toolFile, dummy;
    Transcript messages;
    int status;
    std::string textProblem = "";  // what the store says of the file's text
  };
  const std::string unreadable = "it starts with the UTF-16BE byte order mark (FE FF).";
  const Case cases[] = {
      {"empty path", "", false, true, {kToolUnset}, 1},
      {"empty path from text that cannot be read",
       "",
       false,
       true,
       {kToolBox + "settings.ini is not UTF-8, UTF-16LE or ANSI text: " + unreadable},
       1,
       unreadable},
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
    f.FileSystem.Put("C:\\app\\settings.ini");
    f.ProfileStore.Values["C:\\app\\settings.ini"]["settings/screencapturepath"] = c.tool;
    f.ProfileStore.Problems["C:\\app\\settings.ini"] = c.textProblem;
    if (c.toolFile) f.FileSystem.Put("C:\\tool\\cap.exe");
    if (c.dummy) f.FileSystem.Put("C:\\app\\dummy.bmp");
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

// A tool path the program cannot read where the user wrote it: the message says why and shows
// the two lines that would work.
TEST_F(StartupTest, ToolPathOutsideItsSectionIsExplained) {
  const std::string& kWrite = kWriteLines;
  struct Case {
    const char* name;
    std::map<std::string, std::string> values;  // "section/key" as the store reads them
    std::string added;                          // after the message's usual lines
  };
  const Case cases[] = {
      {"no section line above the key",
       {{"/screencapturepath", "C:\\tool\\cap.exe"}},
       "\r\n\r\nScreenCapturePath is above the first section line, where the program does not "
       "look for it." +
           kWrite + "C:\\tool\\cap.exe"},
      {"under another section, [Settings] present",
       {{"settings/lastdir", "C:\\pics"}, {"setting/screencapturepath", "C:\\tool\\cap.exe"}},
       "\r\n\r\nScreenCapturePath is in the section [setting], where the program does not look "
       "for it. Put it under the [Settings] line:\r\n  [Settings]\r\n  "
       "ScreenCapturePath=C:\\tool\\cap.exe"},
      {"[Settings] without the key: the usual message", {{"settings/lastdir", "C:\\pics"}}, ""},
      {"the key in [Settings], empty: the usual message", {{"settings/screencapturepath", ""}}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    ProgramState s;
    f.FileSystem.Put("C:\\app\\settings.ini");
    f.ProfileStore.Values["C:\\app\\settings.ini"] = c.values;
    EXPECT_THROW(Main(f.P, s), Terminated);
    EXPECT_EQ(f.Only({"MessageBox"}), Transcript{kToolUnset + c.added});
  }
}

TEST_F(StartupTest, ShowsTheWindowWithItsFieldsRestored) {
  SetTool("C:\\tool\\cap.exe");
  fp.FileSystem.Put("C:\\tool\\cap.exe");
  fp.FileSystem.Put("C:\\app\\dummy.bmp");
  auto& values = fp.ProfileStore.Values["C:\\app\\settings.ini"];
  values["settings/lastdir"] = "C:\\pics";
  values["settings/lastdevicedir"] = "main";
  values["settings/deletebmps"] = "1";

  EXPECT_EQ(RunMain(), -1);
  EXPECT_EQ(fp.Log, (Transcript{kInit, "Form Create frmMain", "Form Show"}));
  FakeForm& form = *fp.FormFactory.Last;
  EXPECT_EQ(form.Texts["txtPath"], "C:\\pics");
  EXPECT_EQ(form.Texts["txtTI89Dir"], "main");
  EXPECT_EQ(form.Values["chkDeleteBMPs"], 1);
}

// A file that can be read but not written: the program starts, and its stale temporaries go;
// leaving, the box names the keys that could not be stored.
TEST_F(StartupTest, ReadOnlySettingsStartAndTheUnloadBoxNamesTheKeys) {
  SetTool("C:\\tool\\cap.exe");
  fp.FileSystem.Put("C:\\tool\\cap.exe");
  fp.FileSystem.Put("C:\\app\\dummy.bmp");
  fp.FileSystem.Files["C:\\app\\settings.ini"].ReadOnly = true;
  ASSERT_EQ(RunMain(), -1);
  EXPECT_EQ(fp.ProfileStore.Tidied, std::vector<std::string>{"C:\\app\\settings.ini"});
  fp.Log.clear();
  state.MainForm->Click("cmdExit");
  EXPECT_EQ(fp.Only({"MessageBox"}),
            Transcript{"MessageBox Exclamation [Pictrane Converter] These settings could not be "
                       "saved in the file\r\nC:\\app\\settings.ini:\r\n\r\nDeleteBMPs, "
                       "LastDeviceDir, LastDir: the file is read-only."});
  EXPECT_TRUE(fp.FormFactory.Last->Closed);
}

TEST_F(StartupTest, SettingsThatCannotBeCreatedStopWithAPlainMessage) {
  struct Case {
    const char* name;
    std::function<void(FakePlatform&)> arrange;
    std::string message;
  };
  const Case cases[] = {
      {"cannot be created", [](FakePlatform& f) { f.ProfileStore.FailCreate = true; },
       "C:\\app\\settings.ini\r\nCannot create C:\\app\\settings.ini: permission denied"},
      {"user folder cannot be made",
       [](FakePlatform& f) {
         f.FileSystem.Protected = {"C:\\app", "C:\\Users"};
         f.Processes.Env["APPDATA"] = "C:\\Users\\ann\\AppData\\Roaming";
       },
       "C:\\Users\\ann\\AppData\\Roaming\\Pictrane Converter\\settings.ini\r\nCannot create "
       "the folder C:\\Users\\ann\\AppData\\Roaming\\Pictrane Converter (Permission denied)"},
      {"no folder for it", [](FakePlatform& f) { f.FileSystem.Protected = {"C:\\app"}; },
       "(no folder for it)\r\nCannot find the user's settings folder: APPDATA is not set"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform f;
    ProgramState s;
    c.arrange(f);
    int status = -1;
    try {
      Main(f.P, s);
    } catch (const Terminated& t) {
      status = t.Status;
    }
    EXPECT_EQ(status, 1);
    EXPECT_EQ(f.Only({"MessageBox"}),
              (Transcript{"MessageBox Critical [Pictrane Converter] The settings file cannot be "
                          "created or written:\r\n  " +
                          c.message}));
    EXPECT_EQ(s.MainForm, nullptr);
  }
}

// The folder rules on both systems, for the settings, the list and the placeholder.
TEST(AppFolders, WhereTheFilesLive) {
  struct Case {
    const char* name;
    FolderRules rules;
    std::function<void(FakeFileSystem&, FakeProcesses&)> arrange;
    std::string settings, list, placeholder;
    bool portable;
    std::string seeded;  // content of the settings file made when there was none; "-" none made
  };
  const std::string madeLinux = "[Settings]\r\nScreenCapturePath=/usr/bin/pictrane-capture\r\n";
  auto installed = [](FakeFileSystem& f, FakeProcesses& p) {
    f.Sep = "/";
    f.AppFolder = "/usr/bin";
    p.Env["HOME"] = "/home/ann";
    f.Put("/usr/share/pictrane-converter/dummy.bmp");
  };
  const Case cases[] = {
      {"linux portable: settings beside the program keep everything there", FolderRules::Linux,
       [](FakeFileSystem& f, FakeProcesses&) {
         f.Sep = "/";
         f.AppFolder = "/opt/pc/bin";
         f.Put("/opt/pc/bin/settings.ini", "[Settings]");
         f.Put("/opt/pc/bin/dummy.bmp");
       },
       "/opt/pc/bin/settings.ini", "/opt/pc/bin/list.txt", "/opt/pc/bin/dummy.bmp", true, "-"},
      {"linux installed, no seed: made naming the capture tool beside the converter",
       FolderRules::Linux, installed, "/home/ann/.config/pictrane-converter/settings.ini",
       "/home/ann/.config/pictrane-converter/list.txt", "/usr/share/pictrane-converter/dummy.bmp",
       false, madeLinux},
      {"linux installed, seeded from the second XDG_CONFIG_DIRS entry", FolderRules::Linux,
       [&](FakeFileSystem& f, FakeProcesses& p) {
         installed(f, p);
         p.Env["XDG_CONFIG_HOME"] = "/cfg";
         p.Env["XDG_CONFIG_DIRS"] = "/etc/a:relative:/etc/b";
         f.Put("/etc/b/pictrane-converter/settings.ini", "[Settings]\r\nScreenCapturePath=/x\r\n");
       },
       "/cfg/pictrane-converter/settings.ini", "/cfg/pictrane-converter/list.txt",
       "/usr/share/pictrane-converter/dummy.bmp", false, "[Settings]\r\nScreenCapturePath=/x\r\n"},
      {"linux installed, seeded from /etc/xdg; a relative XDG_CONFIG_HOME is ignored",
       FolderRules::Linux,
       [&](FakeFileSystem& f, FakeProcesses& p) {
         installed(f, p);
         p.Env["XDG_CONFIG_HOME"] = "cfg";
         f.Put("/etc/xdg/pictrane-converter/settings.ini", "seed");
       },
       "/home/ann/.config/pictrane-converter/settings.ini",
       "/home/ann/.config/pictrane-converter/list.txt", "/usr/share/pictrane-converter/dummy.bmp",
       false, "seed"},
      {"linux installed, the user's settings are kept", FolderRules::Linux,
       [&](FakeFileSystem& f, FakeProcesses& p) {
         installed(f, p);
         f.Put("/etc/xdg/pictrane-converter/settings.ini", "seed");
         f.Put("/home/ann/.config/pictrane-converter/settings.ini", "mine");
       },
       "/home/ann/.config/pictrane-converter/settings.ini",
       "/home/ann/.config/pictrane-converter/list.txt", "/usr/share/pictrane-converter/dummy.bmp",
       false, "-"},
      {"windows, writable folder: everything beside the program", FolderRules::Windows,
       [](FakeFileSystem& f, FakeProcesses&) { f.Put("C:\\app\\dummy.bmp"); },
       "C:\\app\\settings.ini", "C:\\app\\list.txt", "C:\\app\\dummy.bmp", true, "-"},
      {"windows, protected folder: APPDATA, seeded from the file beside the program",
       FolderRules::Windows,
       [](FakeFileSystem& f, FakeProcesses& p) {
         f.Protected.insert("C:\\app");
         p.Env["APPDATA"] = "C:\\Users\\ann\\AppData\\Roaming";
         f.Put("C:\\app\\settings.ini", "shipped");
         f.Put("C:\\app\\dummy.bmp");
       },
       "C:\\Users\\ann\\AppData\\Roaming\\Pictrane Converter\\settings.ini",
       "C:\\Users\\ann\\AppData\\Roaming\\Pictrane Converter\\list.txt", "C:\\app\\dummy.bmp",
       false, "shipped"},
      {"windows, protected folder, nothing to seed from: left to be created empty",
       FolderRules::Windows,
       [](FakeFileSystem& f, FakeProcesses& p) {
         f.Protected.insert("C:\\app");
         p.Env["APPDATA"] = "C:\\Users\\ann\\AppData\\Roaming";
       },
       "C:\\Users\\ann\\AppData\\Roaming\\Pictrane Converter\\settings.ini",
       "C:\\Users\\ann\\AppData\\Roaming\\Pictrane Converter\\list.txt", "C:\\app\\dummy.bmp",
       false, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Transcript log;
    FakeFileSystem files(log);
    FakeProcesses programs(log);
    c.arrange(files, programs);
    const bool existed = files.Has(c.settings);
    const std::string before = existed ? files.Files[c.settings].Content : "";
    const AppFiles got = LocateAppFiles(files, programs, c.rules);
    PrepareSettings(files, programs, c.rules, got);
    EXPECT_EQ(got.SettingsFile, c.settings);
    EXPECT_EQ(got.ListFile, c.list);
    EXPECT_EQ(got.Placeholder, c.placeholder);
    EXPECT_EQ(got.Portable, c.portable);
    if (c.seeded == "-") {
      EXPECT_EQ(files.Has(c.settings), existed);
      if (existed) {
        EXPECT_EQ(files.Files[c.settings].Content, before);
      }
    } else {
      ASSERT_TRUE(files.Has(c.settings));
      EXPECT_EQ(files.Files[c.settings].Content, c.seeded);
    }
    // The user's folder is made only when the settings live there.
    const std::string folder = c.settings.substr(0, c.settings.rfind(files.Sep));
    EXPECT_EQ(files.Folders.count(folder) != 0, !c.portable && !existed);
  }
}

TEST(AppFolders, MissingPlaceholderNamesEveryPathTried) {
  FakePlatform f;
  f.FileSystem.Sep = "/";
  f.FileSystem.AppFolder = "/opt/pc/bin";
  f.Processes.Env["HOME"] = "/home/ann";
  f.FileSystem.Put("/usr/bin/pictrane-capture");
  f.FileSystem.Put("/home/ann/.config/pictrane-converter/settings.ini");
  f.ProfileStore
      .Values["/home/ann/.config/pictrane-converter/settings.ini"]["settings/screencapturepath"] =
      "/usr/bin/pictrane-capture";
  ProgramState s;
  int status = -1;
  try {
    Main(f.P, s);
  } catch (const Terminated& t) {
    status = t.Status;
  }
  EXPECT_EQ(status, 1);
  EXPECT_EQ(
      f.Only({"MessageBox"}),
      (Transcript{"MessageBox Exclamation [Pictrane Converter] dummy.bmp not found!\r\n\r\n"
                  "Paths tried:\r\n  /opt/pc/bin/dummy.bmp\r\n  "
                  "/opt/pc/share/pictrane-converter/dummy.bmp\r\nReinstall the program; its "
                  "settings file is:\r\n  /home/ann/.config/pictrane-converter/settings.ini"}));
}

// Our options answer wherever they stand; every other argument is left aside and the program
// starts. /? is an option only where the help is a box.
TEST(CommandLine, Options) {
  struct Case {
    std::vector<std::string> args;
    HelpStyle style;
    std::string starts;  // "" to start the program
    std::string ignored;
  };
  const auto T = HelpStyle::Terminal, B = HelpStyle::MessageBox;
  const Case cases[] = {
      {{}, T, "", ""},
      {{"--help"}, T, "Usage: pc [--help | --version]\n", ""},
      {{"--bogus", "-h"}, T, "Usage: pc ", ""},
      {{"pics", "--version"}, T, std::string("Pictrane Converter ") + kProjectVersion + "\n", ""},
      {{"--version"}, B, std::string("Pictrane Converter ") + kProjectVersion, ""},
      {{"/?"}, B, "Usage: pc [/? | --help | --version]\r\n", ""},
      {{"/?", "-"}, T, "", "pc: ignoring arguments it does not take: '/?' '-'\n"},
      {{"C:\\My Pics"}, B, "", "pc: ignoring an argument it does not take: 'C:\\My Pics'\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "(none)" : c.args.front());
    const CommandLineAnswer a = ParseCommandLine(c.args, "pc", c.style);
    EXPECT_EQ(a.Run, c.starts.empty());
    EXPECT_EQ(a.Text.substr(0, c.starts.size()), c.starts);
    EXPECT_EQ(IgnoredArgumentsLine("pc", a.Ignored), c.ignored);
  }
  // The box wraps paragraphs itself: no line of its help is broken by hand, none is aligned by
  // blanks, and every line ends in CRLF.
  const std::string Box = UsageText("pc", B);
  EXPECT_EQ(Box.find("  "), std::string::npos);
  for (std::size_t At = Box.find('\n'); At != std::string::npos; At = Box.find('\n', At + 1))
    EXPECT_EQ(Box[At - 1], '\r') << At;
}

}  // namespace
}  // namespace pictrane::testing
