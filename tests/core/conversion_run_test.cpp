// The conversion run against recording fakes: whole transcripts of keys, pauses, programs
// started, files touched and messages shown.

#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "conversion/ConversionRun.h"
#include "conversion/FileScript.h"

namespace pictrane::testing {
namespace {

struct Host : RunHost {
  int Delete = 0;
  bool Stop = false;
  int DeleteOption() override { return Delete; }
  bool StopRequested() override { return Stop; }
};

// The transcript of one file's script as the fakes record it.
Transcript ScriptFor(const std::string& source, const std::string& target,
                     const std::string& variable, const std::string& device) {
  return {"DoEvents",
          "Keys Ctrl+F4",
          "Sleep 5",
          "Keys Ctrl+o",
          "Sleep 5",
          "Keys \"" + source + "\"",
          "Sleep 5",
          "Keys Enter",
          "Sleep 5",
          "Keys Alt+f",
          "Sleep 5",
          "Keys \"a\"",
          "Sleep 5",
          "Sleep 5",
          "Keys \"" + target + "\"",
          "Sleep 5",
          "Keys Alt+v",
          "Sleep 5",
          "Keys F4",
          "Sleep 5",
          "Keys Down x5",
          "Sleep 5",
          "Keys Enter",
          "Sleep 5",
          "Keys Enter",
          "Sleep 5",
          "Keys \"" + variable + "\"",
          "Sleep 5",
          "Keys Alt+a",
          "Sleep 5",
          "Keys Alt+d",
          "Sleep 5",
          "Keys Delete",
          "Sleep 5",
          "Keys \"" + device + "\"",
          "Sleep 5",
          "Keys Enter",
          "Sleep 30"};
}

Transcript Concat(std::initializer_list<Transcript> parts) {
  Transcript all;
  for (const Transcript& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const Transcript kStart = {"ListBitmaps C:\\pics > C:\\app\\list.txt", "Sleep 100",
                           "Start maximised C:\\tool\\capture.exe \"C:\\app\\dummy.bmp\"",
                           "Sleep 100", "OpenText C:\\app\\list.txt"};
const Transcript kEnd = {"DoEvents", "Keys Alt+F4", "DeleteFile C:\\app\\list.txt"};

class RunTest : public ::testing::Test {
 protected:
  RunOutcome Run(const std::string& folder = "C:\\pics", const std::string& device = "pics") {
    return RunConversion(fp.P, RunInputs{folder, device, "C:\\tool\\capture.exe"}, host);
  }
  FakePlatform fp;
  Host host;
};

TEST_F(RunTest, ConvertsEveryListedBitmapInListingOrder) {
  fp.Files.Put("C:\\pics\\b.bmp");
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Files.Put("C:\\pics\\notes.txt");

  EXPECT_EQ(Run(), RunOutcome::Finished);

  EXPECT_EQ(fp.Log, Concat({kStart,
                            ScriptFor("C:\\pics\\a.bmp", "C:\\pics\\a.89i", "a", "pics"),
                            {"DoEvents"},
                            ScriptFor("C:\\pics\\b.bmp", "C:\\pics\\b.89i", "b", "pics"),
                            kEnd}));
  EXPECT_FALSE(fp.Files.Has("C:\\app\\list.txt"));
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\a.bmp"));  // delete option off
}

TEST_F(RunTest, ValidationStopsBeforeAnythingStarts) {
  struct Case {
    std::string folder, device, message;
  };
  for (const Case& c :
       {Case{"", "main", "Please specify folder."}, Case{"", "", "Please specify folder."},
        Case{"C:\\pics", "", "Please specify device folder."}}) {
    FakePlatform f;
    Host h;
    EXPECT_EQ(RunConversion(f.P, RunInputs{c.folder, c.device, "C:\\tool.exe"}, h),
              RunOutcome::Idle);
    EXPECT_EQ(f.Log, Transcript{"MessageBox Exclamation [Pictrane Converter] " + c.message});
  }
}

TEST_F(RunTest, BlankListLinesSendNothing) {
  fp.Listing.Content = "\r\nx.bmp\r\n\r\n";
  Run();
  EXPECT_EQ(fp.Log,
            Concat({kStart, ScriptFor("C:\\pics\\x.bmp", "C:\\pics\\x.89i", "x", "pics"), kEnd}));
}

TEST_F(RunTest, EmptyFolderStartsAndClosesTheTool) {
  Run();
  EXPECT_EQ(fp.Log, Concat({kStart, {"Keys Alt+F4", "DeleteFile C:\\app\\list.txt"}}));
}

TEST_F(RunTest, FolderEndingInTheSeparatorGivesItDoubledAsIs) {
  struct Case {
    const char *sep, *app, *folder, *bitmap, *target;
  };
  const Case cases[] = {{"\\", "C:\\app", "C:\\", "C:\\\\a.bmp", "C:\\\\a.89i"},
                        {"/", "/app", "/pics/", "/pics//a.bmp", "/pics//a.89i"}};
  for (const Case& c : cases) {
    FakePlatform f;
    f.Files.Sep = c.sep;
    f.Files.AppFolder = c.app;
    f.Files.Put(c.bitmap);
    Host h;
    h.Delete = 1;
    RunConversion(f.P, RunInputs{c.folder, "main", "/tool/capture"}, h);
    EXPECT_EQ(f.Only({"Keys \"" + std::string(1, c.folder[0])}),
              (Transcript{"Keys \"" + std::string(c.bitmap) + "\"",
                          "Keys \"" + std::string(c.target) + "\""}));
    EXPECT_EQ(f.Only({"DeleteFile"}),
              (Transcript{"DeleteFile " + std::string(c.bitmap),
                          "DeleteFile " + std::string(c.app) + c.sep + "list.txt"}));
  }
}

TEST_F(RunTest, SpecialCharactersArriveAsThemselves) {
  fp.Files.Put("C:\\pics\\a+b^c%d~(e){f}[g].bmp");
  Run("C:\\pics", "d%{}");
  EXPECT_EQ(fp.Only({"Keys \""}),
            (Transcript{"Keys \"C:\\pics\\a+b^c%d~(e){f}[g].bmp\"", "Keys \"a\"",
                        "Keys \"C:\\pics\\a+b^c%d~(e){f}[g].89i\"", "Keys \"a+b^c%d~(e){f}[g]\"",
                        "Keys \"d%{}\""}));
}

TEST_F(RunTest, DeleteOptionDeletesOnlyConvertedBitmaps) {
  struct Case {
    int option;
    bool deleted;
  };
  for (const Case c : {Case{0, false}, Case{1, true}, Case{2, false}}) {
    FakePlatform f;
    Host h;
    h.Delete = c.option;
    f.Files.Put("C:\\pics\\a.bmp");
    RunConversion(f.P, RunInputs{"C:\\pics", "main", "C:\\t.exe"}, h);
    EXPECT_EQ(f.Files.Has("C:\\pics\\a.bmp"), !c.deleted) << "option " << c.option;
    EXPECT_TRUE(f.Files.Has("C:\\pics\\a.89i"));
    EXPECT_EQ(f.Only({"MessageBox"}), Transcript{});
  }
}

TEST_F(RunTest, DeletesTheListedNameNotAnotherCase) {
  host.Delete = 1;
  fp.Files.Put("C:\\pics\\Photo.BMP");
  fp.Files.Put("C:\\pics\\Photo.bmp");
  fp.Listing.Content = "Photo.BMP\r\n";
  Run();
  EXPECT_FALSE(fp.Files.Has("C:\\pics\\Photo.BMP"));
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\Photo.bmp"));
  EXPECT_EQ(fp.Only({"DeleteFile"}),
            (Transcript{"DeleteFile C:\\pics\\Photo.BMP", "DeleteFile C:\\app\\list.txt"}));
}

TEST_F(RunTest, DeleteOptionIsReadAgainAfterEachFile) {
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Files.Put("C:\\pics\\b.bmp");
  fp.Windows.OnDoEvents = [&] { host.Delete = fp.Windows.KeyStringsSent >= 18 ? 1 : 0; };
  Run();
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\a.bmp"));
  EXPECT_FALSE(fp.Files.Has("C:\\pics\\b.bmp"));
}

TEST_F(RunTest, TargetThatNeverAppearsKeepsTheBitmapAndIsReported) {
  host.Delete = 1;
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Files.Put("C:\\pics\\b.bmp");
  fp.Tool.Refuse.insert("C:\\pics\\a.89i");
  Run();
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\a.bmp"));
  EXPECT_FALSE(fp.Files.Has("C:\\pics\\b.bmp"));
  // It waited the bounded time, polling, and no longer.
  EXPECT_GE(fp.Time.Now, kTargetWaitMs);
  EXPECT_LT(fp.Time.Now, kTargetWaitMs + 1000);
  EXPECT_EQ(fp.Only({"MessageBox"}),
            Transcript{"MessageBox Exclamation [Pictrane Converter] No picture appeared for these "
                       "bitmaps, so they were kept:\r\na.bmp"});
}

TEST_F(RunTest, PictureStillBeingWrittenIsWaitedFor) {
  host.Delete = 1;
  fp.Files.Put("C:\\pics\\a.bmp");
  const std::string target = "C:\\pics\\a.89i";
  // The tool writes its eight bytes, then goes on writing in place, a byte per poll, up to 16.
  int grown = 0;
  fp.Time.OnSleep = [&] {
    if (!fp.Files.Has(target) || grown == 8) return;
    EXPECT_TRUE(fp.Files.Has("C:\\pics\\a.bmp"))
        << "deleted while the picture had " << 8 + grown << " bytes";
    ++grown;
    fp.Files.Put(target, std::string(8 + static_cast<std::size_t>(grown), '*'));
  };
  Run();
  EXPECT_EQ(grown, 8);
  EXPECT_FALSE(fp.Files.Has("C:\\pics\\a.bmp"));
  EXPECT_EQ(fp.Only({"MessageBox"}), Transcript{});
}

TEST_F(RunTest, StalePictureFromAnEarlierRunDoesNotCount) {
  host.Delete = 1;
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Files.Put("C:\\pics\\a.89i", "old");
  fp.Tool.Refuse.insert("C:\\pics\\a.89i");
  Run();
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\a.bmp"));
}

TEST_F(RunTest, FocusLostBeforeFileTwoStopsTheRun) {
  host.Delete = 1;
  for (const char* n : {"a", "b", "c"}) fp.Files.Put(std::string("C:\\pics\\") + n + ".bmp");
  // Another program takes the focus once the first file's script is through.
  fp.Windows.OnDoEvents = [&] {
    if (fp.Windows.KeyStringsSent == 18) fp.Windows.FocusOwner = 999;
  };
  Run();

  const Transcript expected = Concat(
      {kStart,
       ScriptFor("C:\\pics\\a.bmp", "C:\\pics\\a.89i", "a", "pics"),
       {"Sleep 10", "DoEvents", "DeleteFile C:\\pics\\a.bmp", "DoEvents", "DoEvents",
        "DeleteFile C:\\app\\list.txt",
        "MessageBox Exclamation [Pictrane Converter] The capture tool lost the keyboard focus, so "
        "no more keys were sent.\r\n1 bitmap(s) were converted; the other 2 were left "
        "untouched."}});
  EXPECT_EQ(fp.Log, expected);
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\b.bmp"));
  EXPECT_TRUE(fp.Files.Has("C:\\pics\\c.bmp"));
}

TEST_F(RunTest, FocusIsCheckedBeforeEveryKeyString) {
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Windows.RecordFocusChecks = true;
  Run();
  const Transcript log = fp.Only({"Keys", "FocusBelongsTo"});
  ASSERT_EQ(log.size(), 2u * 19u);
  for (std::size_t i = 0; i < log.size(); i += 2) {
    EXPECT_EQ(log[i], "FocusBelongsTo 4242");
    EXPECT_EQ(log[i + 1].rfind("Keys", 0), 0u);
  }
}

TEST_F(RunTest, StopRequestEndsAfterTheCurrentFile) {
  for (const char* n : {"a", "b", "c"}) fp.Files.Put(std::string("C:\\pics\\") + n + ".bmp");
  fp.Windows.OnDoEvents = [&] {
    if (fp.Windows.KeyStringsSent == 18) host.Stop = true;
  };
  EXPECT_EQ(Run(), RunOutcome::Finished);
  EXPECT_EQ(fp.Tool.Written, Transcript{"C:\\pics\\a.89i"});
  EXPECT_EQ(fp.Only({"Keys Alt+F4", "DeleteFile", "MessageBox"}),
            (Transcript{"Keys Alt+F4", "DeleteFile C:\\app\\list.txt",
                        "MessageBox Exclamation [Pictrane Converter] The conversion was stopped "
                        "because the window was closed.\r\n1 bitmap(s) were converted; the "
                        "other 2 were left untouched."}));
}

TEST_F(RunTest, UnreadableListIsReportedAndCleansUp) {
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Files.Unreadable.insert("C:\\app\\list.txt");
  EXPECT_EQ(Run(), RunOutcome::Finished);
  EXPECT_EQ(
      fp.Only({"Keys", "DeleteFile", "MessageBox"}),
      (Transcript{"Keys Alt+F4", "DeleteFile C:\\app\\list.txt",
                  "MessageBox Exclamation [Pictrane Converter] The conversion stopped: File not "
                  "found: C:\\app\\list.txt\r\n0 bitmap(s) were converted; the rest were left "
                  "untouched."}));
}

TEST_F(RunTest, BitmapThatCannotBeDeletedIsReportedAndTheRunGoesOn) {
  host.Delete = 1;
  fp.Files.Put("C:\\pics\\a.bmp");
  fp.Files.Put("C:\\pics\\b.bmp");
  fp.Files.Files["C:\\pics\\a.bmp"].ReadOnly = true;
  Run();
  EXPECT_EQ(fp.Tool.Written, (Transcript{"C:\\pics\\a.89i", "C:\\pics\\b.89i"}));
  EXPECT_FALSE(fp.Files.Has("C:\\pics\\b.bmp"));
  EXPECT_FALSE(fp.Files.Has("C:\\app\\list.txt"));
  EXPECT_EQ(
      fp.Only({"MessageBox"}),
      Transcript{"MessageBox Exclamation [Pictrane Converter] These bitmaps were converted but "
                 "could not be deleted:\r\na.bmp (Permission denied: C:\\pics\\a.bmp)"});
}

TEST_F(RunTest, ListingOrToolFailureLeavesTheWindowIdle) {
  fp.Listing.Fail = true;
  EXPECT_EQ(Run(), RunOutcome::Idle);
  EXPECT_EQ(
      fp.Only({"Start", "MessageBox"}),
      Transcript{"MessageBox Exclamation [Pictrane Converter] The bitmaps of the folder could "
                 "not be listed.\r\nPath not found: C:\\pics"});

  FakePlatform f;
  Host h;
  f.Programs.FailStart = true;
  EXPECT_EQ(RunConversion(f.P, RunInputs{"C:\\pics", "main", "C:\\t.exe"}, h), RunOutcome::Idle);
  EXPECT_FALSE(f.Files.Has("C:\\app\\list.txt"));
}

TEST(DeriveNames, FollowsTheListedName) {
  struct Case {
    std::string folder, sep, listed, source, target, variable;
  };
  const Case cases[] = {
      {"C:\\pics", "\\", "photo.bmp", "C:\\pics\\photo.bmp", "C:\\pics\\photo.89i", "photo"},
      {"C:\\", "\\", "a.bmp", "C:\\\\a.bmp", "C:\\\\a.89i", "a"},
      {"/pics/", "/", "a.bmp", "/pics//a.bmp", "/pics//a.89i", "a"},
      {"/home/u/pics", "/", "Photo.BMP", "/home/u/pics/Photo.BMP", "/home/u/pics/Photo.89i",
       "Photo"},
      {"/p", "/", "holiday pic+1.bmp", "/p/holiday pic+1.bmp", "/p/holiday pic+1.89i",
       "holiday pic+1"},
      {"/p", "/", "Grüße.bmp", "/p/Grüße.bmp", "/p/Grüße.89i", "Grüße"},
  };
  for (const Case& c : cases) {
    const FileNames n = DeriveNames(c.folder, c.sep, c.listed);
    EXPECT_EQ(n.Source, c.source);
    EXPECT_EQ(n.Target, c.target);
    EXPECT_EQ(n.Variable, c.variable);
  }
}

TEST(ToolCommandLine, QuotesOnlyAPathWithBlanks) {
  EXPECT_EQ(ToolCommandLine("C:\\tool\\cap.exe", "C:\\app\\dummy.bmp"),
            "C:\\tool\\cap.exe \"C:\\app\\dummy.bmp\"");
  EXPECT_EQ(ToolCommandLine("C:\\Program Files\\cap.exe", "C:\\a b\\dummy.bmp"),
            "\"C:\\Program Files\\cap.exe\" \"C:\\a b\\dummy.bmp\"");
}

TEST(FileScript, PausesAddUpToTheFixedCostPerFile) {
  const auto steps = FileScript(DeriveNames("/p", "/", "x.bmp"), "main");
  ASSERT_EQ(steps.size(), 18u);
  int total = 0;
  for (const ScriptStep& s : steps) total += s.PauseBeforeMs + s.PauseAfterMs;
  EXPECT_EQ(total, 120);
}

}  // namespace
}  // namespace pictrane::testing
