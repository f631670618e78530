// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's logic against recording fakes, and the numeric-prefix rule it reads with.

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <string>

#include "FakePlatform.h"
#include "portable/IniFileStore.h"
#include "TestFiles.h"
#include "startup/modMain.h"
#include "window/Val.h"
#include "window/frmMain.h"
#include "window/frmMainLayout.h"

namespace pictrane::testing {
namespace {

using namespace control;

TEST(Val, ReadsTheNumericPrefix) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"1", 1},   {" 1 ", 1},   {"2.5", 2.5},     {"1 2 3", 123},     {"\t\n7", 7}, {"-3.5", -3.5},
      {"+4", 4},  {".5", 0.5},  {"1.2.3", 1.2},   {"12abc", 12},      {"abc", 0},   {"", 0},
      {"-", 0},   {"1E2", 100}, {"1e+2", 100},    {"2E-1", 0.2},      {"1E", 1},    {"1Ex", 1},
      {"&H2", 2}, {"&h1F", 31}, {"&HFFFF", -1},   {"&H10000", 65536}, {"&O17", 15}, {"&O8", 0},
      {"&X1", 0}, {"1\r2", 1},  {"99999", 99999},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(Val(c.text), c.value) << '"' << c.text << '"';
}

// A locale whose decimal point is a comma, made for the test where the system has none.
bool UseCommaDecimalLocale() {
#ifdef _WIN32
  return std::setlocale(LC_NUMERIC, "German_Germany.1252") != nullptr;
#else
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) return true;
  const std::string folder = ::testing::TempDir() + "pictrane-locale";
  const std::string command = "mkdir -p '" + folder + "' && localedef -i de_DE -f UTF-8 '" +
                              folder + "/de_DE.UTF-8' >/dev/null 2>&1";
  (void)std::system(command.c_str());  // warnings give a non-zero status yet a usable locale
  ::setenv("LOCPATH", folder.c_str(), 1);
  return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
#endif
}

TEST(Val, ReadsAPeriodWhateverTheLocale) {
  const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
  if (!UseCommaDecimalLocale()) GTEST_SKIP() << "no locale with a decimal comma";
  ASSERT_EQ(std::localeconv()->decimal_point, std::string(","));
  const double value = Val("1.5");
  const int box = CheckBoxValueFromText("1.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_DOUBLE_EQ(value, 1.5);
  EXPECT_EQ(box, 2);
}

TEST(CInt, RoundsHalvesToEvenAndRefusesOverflow) {
  struct Case {
    double in;
    std::optional<std::int16_t> out;
  };
  const Case cases[] = {
      {0.5, 0},
      {1.5, 2},
      {2.5, 2},
      {3.5, 4},
      {-2.5, -2},
      {2.4999, 2},
      {32767.4, 32767},
      {32767.5, std::nullopt},
      {-32768.5, -32768},
      {-32769, std::nullopt},
      {1e10, std::nullopt},
      {NAN, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(CInt(c.in), c.out) << c.in;
}

TEST(CheckBoxValue, OnlyZeroOneAndTwoAreTaken) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {{"1", 1},     {"2", 2},   {"2.5", 2},   {"0.5", 0},    {"1.5", 2},
                        {"3.5", 0},   {"abc", 0}, {" 1 ", 1},   {"&H2", 2},    {"-1", 0},
                        {"99999", 0}, {"", 0},    {"1E400", 0}, {"-1E400", 0}, {"1E-400", 0}};
  for (const Case& c : cases)
    EXPECT_EQ(CheckBoxValueFromText(c.text), c.value) << '"' << c.text << '"';
}

TEST(Layout, ControlsFitTheirContainersAndTabOrderIsComplete) {
  const FormLayout& f = frmMainLayout();
  EXPECT_EQ(f.Caption, "Pictrane Converter 1.1");
  std::vector<int> tabs;
  for (const ControlEntry& c : f.Controls) {
    tabs.push_back(c.TabIndex);
    int width = f.ClientWidth, height = f.ClientHeight;
    for (const ControlEntry& p : f.Controls)
      if (p.Name == c.Container) width = p.Width, height = p.Height;
    EXPECT_LE(c.Left + c.Width, width) << c.Name;
    EXPECT_LE(c.Top + c.Height, height) << c.Name;
  }
  std::sort(tabs.begin(), tabs.end());
  for (int i = 0; i < static_cast<int>(tabs.size()); ++i)
    EXPECT_EQ(tabs[static_cast<std::size_t>(i)], i);
}

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    fp.FileSystem.Put("C:\\app\\settings.ini");
    fp.FileSystem.Put("C:\\tool\\cap.exe");
    fp.FileSystem.Put("C:\\app\\dummy.bmp");
    Values()["settings/screencapturepath"] = "C:\\tool\\cap.exe";
  }
  std::map<std::string, std::string>& Values() {
    return fp.ProfileStore.Values["C:\\app\\settings.ini"];
  }
  FakeForm& Start() {
    Main(fp.P, state);
    fp.Log.clear();
    return *fp.FormFactory.Last;
  }
  FakePlatform fp;
  ProgramState state;
};

TEST_F(WindowTest, EmptySettingsGiveEmptyFields) {
  FakeForm& form = Start();
  EXPECT_EQ(form.Texts[kTxtPath], "");
  EXPECT_EQ(form.Texts[kTxtTI89Dir], "");
  EXPECT_EQ(form.Values[kChkDeleteBMPs], 0);
}

TEST_F(WindowTest, ExitAndCloseBoxSaveTheFieldsInOrder) {
  for (const char* how : {"exit", "close"}) {
    FakePlatform f;
    ProgramState s;
    f.FileSystem.Put("C:\\tool\\cap.exe");
    f.FileSystem.Put("C:\\app\\dummy.bmp");
    f.ProfileStore.Values["C:\\app\\settings.ini"]["settings/screencapturepath"] =
        "C:\\tool\\cap.exe";
    Main(f.P, s);
    FakeForm& form = *f.FormFactory.Last;
    form.Texts[kTxtPath] = "/home/u/pics";
    form.Texts[kTxtTI89Dir] = "main";
    form.Values[kChkDeleteBMPs] = 2;
    f.Log.clear();
    if (std::string(how) == "exit") {
      s.MainForm->Click(kCmdExit);
    } else {
      form.Unload();
    }
    EXPECT_EQ(f.Log, (Transcript{"Form Unload", "WriteString [Settings] DeleteBMPs=2",
                                 "WriteString [Settings] LastDeviceDir=main",
                                 "WriteString [Settings] LastDir=/home/u/pics", "Form Closed"}))
        << how;
  }
}

TEST_F(WindowTest, BrowseFillsTheFolderAndCancelKeepsIt) {
  Values()["settings/lastdir"] = "C:\\old";
  FakeForm& form = Start();
  fp.FolderDialog.Answer = std::nullopt;
  state.MainForm->Click(kCmdBrowse);
  EXPECT_EQ(form.Texts[kTxtPath], "C:\\old");
  fp.FolderDialog.Answer = "D:\\new pics";
  state.MainForm->Click(kCmdBrowse);
  EXPECT_EQ(form.Texts[kTxtPath], "D:\\new pics");
  state.MainForm->Click(kCmdBrowse);
  // The dialog opens at the folder in the field.
  EXPECT_EQ(fp.Only({"BrowseForFolder"}),
            (Transcript{"BrowseForFolder \"Select folder of BMP files to convert:\" at \"C:\\old\"",
                        "BrowseForFolder \"Select folder of BMP files to convert:\" at \"C:\\old\"",
                        "BrowseForFolder \"Select folder of BMP files to convert:\" at "
                        "\"D:\\new pics\""}));
}

// SIGTERM and the like end the process by its own exit; a run's list does not stay behind.
TEST_F(WindowTest, EndOnSignalRemovesTheListOfARunInProgress) {
  Values()["settings/lastdir"] = "C:\\pics";
  Values()["settings/lastdevicedir"] = "main";
  fp.FileSystem.Put("C:\\pics\\a.bmp");
  for (const bool running : {false, true}) {
    SCOPED_TRACE(running);
    FakeForm& form = Start();
    std::optional<int> status;
    auto end = [&] {
      try {
        EndOnSignal(fp.P, state, 15);
      } catch (const Terminated& t) {
        status = t.Status;
        throw;
      }
    };
    if (running) {
      fp.WindowSystem.OnDoEvents = [&] {
        if (fp.FileSystem.Has("C:\\app\\list.txt")) end();
      };
      EXPECT_THROW(form.Events.Click(kCmdConvert), Terminated);
    } else {
      EXPECT_THROW(end(), Terminated);
    }
    EXPECT_EQ(status, std::optional<int>(143));
    EXPECT_FALSE(fp.FileSystem.Has("C:\\app\\list.txt"));
    const Transcript expected = running
                                    ? Transcript{"DeleteFile C:\\app\\list.txt", "Terminate 143"}
                                    : Transcript{"Terminate 143"};
    EXPECT_EQ(fp.Only({"DeleteFile", "Terminate"}), expected);
  }
}

TEST_F(WindowTest, ConvertEndsByUnloadingAndSaving) {
  Values()["settings/lastdir"] = "C:\\pics";
  Values()["settings/lastdevicedir"] = "main";
  fp.FileSystem.Put("C:\\pics\\a.bmp");
  FakeForm& form = Start();
  state.MainForm->Click(kCmdConvert);
  EXPECT_TRUE(form.Closed);
  const Transcript tail(fp.Log.end() - 5, fp.Log.end());
  EXPECT_EQ(tail, (Transcript{"Form Unload", "WriteString [Settings] DeleteBMPs=0",
                              "WriteString [Settings] LastDeviceDir=main",
                              "WriteString [Settings] LastDir=C:\\pics", "Form Closed"}));
}

TEST_F(WindowTest, InvalidInputKeepsTheWindowOpen) {
  FakeForm& form = Start();
  state.MainForm->Click(kCmdConvert);
  EXPECT_FALSE(form.Closed);
  EXPECT_EQ(fp.Log,
            Transcript{"MessageBox Exclamation [Pictrane Converter] Please specify folder."});
}

TEST_F(WindowTest, ClicksDuringARunAreIgnoredAndCloseStopsAfterTheCurrentFile) {
  Values()["settings/lastdir"] = "C:\\pics";
  Values()["settings/lastdevicedir"] = "main";
  for (const char* n : {"a", "b", "c"}) fp.FileSystem.Put(std::string("C:\\pics\\") + n + ".bmp");
  FakeForm& form = Start();
  fp.FolderDialog.Answer = "D:\\elsewhere";
  bool closedOnce = false;
  fp.WindowSystem.OnDoEvents = [&] {
    state.MainForm->Click(kCmdConvert);
    state.MainForm->Click(kCmdBrowse);
    if (fp.WindowSystem.KeyStringsSent == 18 && !closedOnce) {
      closedOnce = true;
      form.Unload();  // the close box
    }
  };
  state.MainForm->Click(kCmdConvert);

  EXPECT_EQ(fp.Only({"Entries", "BrowseForFolder"}), Transcript{"Entries C:\\pics"});
  EXPECT_EQ(fp.Tool.Written, Transcript{"C:\\pics\\a.89i"});
  EXPECT_EQ(fp.Only({"Form", "WriteString"}),
            (Transcript{"Form Unload", "Form Unload", "WriteString [Settings] DeleteBMPs=0",
                        "WriteString [Settings] LastDeviceDir=main",
                        "WriteString [Settings] LastDir=C:\\pics", "Form Closed"}));
  EXPECT_TRUE(form.Closed);
}

TEST_F(WindowTest, ACloseDuringARunThatNeverStartedDoesNotStopTheNextRun) {
  Values()["settings/lastdir"] = "C:\\pics";
  Values()["settings/lastdevicedir"] = "main";
  fp.FileSystem.Put("C:\\pics\\a.bmp");
  FakeForm& form = Start();
  fp.Processes.FailStart = true;
  fp.Clock.OnSleep = [&] {
    if (fp.Processes.FailStart) form.Unload();  // the close box, while the tool is being started
  };
  state.MainForm->Click(kCmdConvert);
  EXPECT_FALSE(form.Closed);
  fp.Processes.FailStart = false;
  state.MainForm->Click(kCmdConvert);
  EXPECT_EQ(fp.Tool.Written, Transcript{"C:\\pics\\a.89i"});
  EXPECT_TRUE(form.Closed);
}

// A store that refuses every write with a reason of its own, as the system's functions may.
class RefusingStore : public FakeProfileStore {
 public:
  using FakeProfileStore::FakeProfileStore;
  WriteResult WriteString(const std::string&, const std::string&, const std::string&,
                          const std::string&) override {
    return WriteResult::Failed("Access is denied.");
  }
};

// Every key is tried, and a box names the file and, per reason, the keys that did not reach it.
TEST(WindowUnload, SavesEveryKeyItCanAndTellsWhatItCouldNot) {
  enum class Store { Fake, FakeRefusing, Real, RealReadOnly };
  struct Case {
    const char* name;
    Store store;
    std::string path, device;
    std::vector<std::string> saved;  // keys whose value reads back as written
    std::string message;             // after the file name; "" for no box
  };
  const std::string lineBreak =
      "Invalid procedure call or argument: the value holds a line break, which the INI file "
      "cannot store.";
  const Case cases[] = {
      {"all saved", Store::Fake, "/pics", "main", {"DeleteBMPs", "LastDeviceDir", "LastDir"}, ""},
      {"a line break in the folder",
       Store::Fake,
       "/pi\ncs",
       "main",
       {"DeleteBMPs", "LastDeviceDir"},
       "LastDir: " + lineBreak + "\r\n\r\nThe other settings are in the file."},
      {"a file that takes no writes",
       Store::FakeRefusing,
       "/pics",
       "main",
       {},
       "DeleteBMPs, LastDeviceDir, LastDir: Access is denied."},
      {"blanks and quotes that a read drops",
       Store::Real,
       "\"/pics\"",
       " main ",
       {"DeleteBMPs", "LastDeviceDir", "LastDir"},
       ""},
      {"VT, FF and ^Z that a read drops",
       Store::Real,
       "\v/pics\x1a",
       "\fmain",
       {"DeleteBMPs", "LastDeviceDir", "LastDir"},
       ""},
      {"a read-only file",
       Store::RealReadOnly,
       "/pics",
       "main",
       {},
       "DeleteBMPs, LastDeviceDir, LastDir: the file is read-only."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fp;
    RefusingStore refusing(fp.Log, fp.FileSystem);
    IniFileStore real;
    testing_support::TempDir dir;
    ProfileStore* store = &fp.ProfileStore;
    std::string file = "C:\\app\\settings.ini";
    if (c.store == Store::FakeRefusing) store = &refusing;
    if (c.store == Store::Real || c.store == Store::RealReadOnly) {
      store = &real;
      file = (dir.Path() / "settings.ini").string();
      std::ofstream(file) << "[Settings]\nLastDir=/old\n";
      if (c.store == Store::RealReadOnly)
        std::filesystem::permissions(
            file, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    }
    Platform p{*store,          fp.Clock,       fp.CommonControls, fp.FolderDialog,
               fp.WindowSystem, fp.Processes,   fp.FileSystem,     fp.DirectoryListing,
               fp.FormFactory,  fp.RunProgress, fp.DesktopNotifier};
    ProgramState state;
    state.SettingsFile = clsINI(*store);
    state.SettingsFile.INIFile(file);
    frmMain window(p, state);
    window.Show();
    FakeForm& form = *fp.FormFactory.Last;
    form.Texts[kTxtPath] = c.path;
    form.Texts[kTxtTI89Dir] = c.device;
    form.Values[kChkDeleteBMPs] = 1;
    fp.Log.clear();
    window.Click(kCmdExit);

    EXPECT_TRUE(form.Closed);  // the user asked to leave: told, not kept
    const Transcript boxes = fp.Only({"MessageBox"});
    if (c.message.empty()) {
      EXPECT_EQ(boxes, Transcript{});
    } else {
      EXPECT_EQ(boxes, Transcript{"MessageBox Exclamation [Pictrane Converter] These settings "
                                  "could not be saved in the file\r\n" +
                                  file + ":\r\n\r\n" + c.message});
    }
    std::vector<std::string> saved;
    clsINI reader(*store);
    reader.INIFile(file);
    const std::pair<const char*, std::string> written[] = {
        {"DeleteBMPs", "1"}, {"LastDeviceDir", "main"}, {"LastDir", "/pics"}};
    for (const auto& [key, value] : written) {
      if (reader.ReadValue("Settings", key) == value) saved.push_back(key);
    }
    EXPECT_EQ(saved, c.saved);
  }
}

}  // namespace
}  // namespace pictrane::testing
