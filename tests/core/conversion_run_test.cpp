// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion run against recording fakes: whole transcripts of keys, pauses, programs
// started, files touched and messages shown.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "FakePlatform.h"
#include "conversion/BitmapListing.h"
#include "conversion/ConversionRun.h"
#include "conversion/FileScript.h"
#include "conversion/RunTimings.h"
#include "conversion/ToolRemarks.h"
#include "conversion/ToolStart.h"
#include "listing_scenarios.h"

namespace pictrane::testing {
namespace {

struct Host : RunHost {
  int Delete = 0;
  bool Stop = false;
  int DeleteOption() override { return Delete; }
  bool StopRequested() override { return Stop; }
};

// The transcript of one file's script as the fakes record it, from the check before it to the
// one after it.
// The previous file's last pause (the first file: the pause after the tool took the focus) is
// taken just before this file's first key, so the file's own work runs inside it.
Transcript ScriptFor(std::size_t index, const std::string& listed, const std::string& source,
                     const std::string& target, const std::string& variable,
                     const std::string& device) {
  Transcript t = {"DoEvents", "Progress Step " + std::to_string(index) + " " + listed};
  t.push_back(index > 1 ? "Sleep 30" : "Sleep 100");
  const Transcript keys = {"Keys Ctrl+F4",
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
                           "Sleep 10",
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
                           "DoEvents"};
  t.insert(t.end(), keys.begin(), keys.end());
  return t;
}

Transcript Concat(std::initializer_list<Transcript> parts) {
  Transcript all;
  for (const Transcript& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Transcript StartOf(std::size_t count) {
  return {"Entries C:\\pics", "ReplaceContent C:\\app\\list.txt",
          "Sleep 100",        "Start maximised C:\\tool\\capture.exe \"C:\\app\\dummy.bmp\"",
          "ShowWindow 4242",  "Progress Begin " + std::to_string(count)};
}

const std::string kBox = "MessageBox Exclamation [Pictrane Converter] ";
// What each section of the report tells the user to do next.
const std::string kNoPictureNext =
    "\r\nLook for a message in the capture tool's window, check that each bitmap opens in an image "
    "viewer, then convert them again.";
const std::string kNotConvertedNext = "\r\nConvert the folder again to convert them.";

class RunTest : public ::testing::Test {
 protected:
  RunOutcome Run(const std::string& folder = "C:\\pics", const std::string& device = "pics") {
    return RunConversion(fp.P, RunInputs{folder, device, "C:\\tool\\capture.exe"}, host);
  }
  void PutBitmaps(std::initializer_list<const char*> names) {
    for (const char* n : names) fp.FileSystem.Put(std::string("C:\\pics\\") + n);
  }
  FakePlatform fp;
  Host host;
};

TEST_F(RunTest, ConvertsEveryListedBitmapInListingOrderAndNotifies) {
  PutBitmaps({"b.bmp", "a.bmp", "notes.txt"});
  std::string list;
  fp.WindowSystem.OnDoEvents = [&] {
    if (list.empty()) list = fp.FileSystem.Files["C:\\app\\list.txt"].Content;
  };

  EXPECT_EQ(Run(), RunOutcome::Finished);

  EXPECT_EQ(
      fp.Log,
      Concat({StartOf(2),
              ScriptFor(1, "a.bmp", "C:\\pics\\a.bmp", "C:\\pics\\a.89i", "a", "pics"),
              ScriptFor(2, "b.bmp", "C:\\pics\\b.bmp", "C:\\pics\\b.89i", "b", "pics"),
              {"Sleep 30", "Keys Alt+F4", "Sleep 10", "DoEvents", "DeleteFile C:\\app\\list.txt",
               "Progress End complete", "Notify 2 pictures written to C:\\pics | "}}));
  EXPECT_EQ(list, "a.bmp\r\nb.bmp\r\n");
  EXPECT_FALSE(fp.FileSystem.Has("C:\\app\\list.txt"));
  EXPECT_TRUE(fp.FileSystem.Has("C:\\pics\\a.bmp"));  // delete option off
}

// Nothing is started: the window stays for another try, and no tool flashes up for nothing.
TEST_F(RunTest, InputAndFolderProblemsStopBeforeAnythingStarts) {
  struct Case {
    std::string folder, device;
    std::function<void(FakePlatform&)> setUp;
    std::string message;
    // Our own stale temporaries go from the bitmap folder once the inputs are complete.
    std::vector<std::string> tidied = {"C:\\pics"};
  };
  const auto none = [](FakePlatform&) {};
  const Case cases[] = {
      {"", "main", none, "Please specify folder.", {}},
      {"C:\\pics", "", none, "Please specify device folder.", {}},
      {"C:\\pics", "main", [](FakePlatform& f) { f.DirectoryListing.Fail = "Path not found"; },
       "The folder \"C:\\pics\" cannot be read.\r\nPath not found"},
      {"C:\\pics", "main", [](FakePlatform& f) { f.FileSystem.Put("C:\\pics\\a.txt"); },
       "There are no bitmaps (*.bmp) in \"C:\\pics\"."},
      {"C:\\pics", "main",
       [](FakePlatform& f) {
         f.DirectoryListing.Extra = {
             {"dir.bmp", false, false}, {"hidden.bmp", true, true}, {".bmp", true, false}};
       },
       "There are no bitmaps (*.bmp) in \"C:\\pics\"."},
      {"C:\\pics", "main",
       [](FakePlatform& f) {
         f.DirectoryListing.Extra = {{"a\nb.bmp", true, false}};
       },
       "None of the bitmaps in \"C:\\pics\" can be converted:\r\na\\nb.bmp (the name cannot be "
       "typed or written as one line)"},
      {"C:\\pics", "main",
       [](FakePlatform& f) {
         f.FileSystem.Put("C:\\pics\\a.bmp");
         f.FileSystem.Unwritable.insert("C:\\app\\list.txt");
       },
       "The list of bitmaps could not be written.\r\nPermission denied: C:\\app\\list.txt"},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    c.setUp(f);
    EXPECT_EQ(RunConversion(f.P, RunInputs{c.folder, c.device, "C:\\tool.exe"}, h),
              RunOutcome::Idle);
    EXPECT_EQ(f.Only({"MessageBox", "Start", "Progress"}), Transcript{kBox + c.message});
    EXPECT_EQ(f.FileSystem.Tidied, c.tidied) << c.message;
  }
}

// The window is awaited: silently for 10 s, then with the progress window saying so and Cancel,
// up to the limit. Cancel, closing the main window or the limit asks the tool to close; only a
// tool without a window to ask is stopped, with whatever it started, and so is one that ended
// first. No key goes anywhere.
TEST_F(RunTest, ToolStartWaitsForItsWindowOrStopsIt) {
  constexpr std::int64_t never = 1'000'000;
  const std::string line = "C:\\tool\\capture.exe \"C:\\app\\dummy.bmp\"";
  const std::string cannot = kBox + "The capture tool could not be started.\r\n";
  const std::string ended = cannot + EndedMessage("C:\\tool\\capture.exe", 1);
  const std::string waiting = std::string("Progress Step 0 ") + kWaitingForWindowText;
  const std::string kept =
      "\r\nThe bitmap was not converted.\r\n\r\nThese bitmaps were not "
      "converted, so they were kept:\r\na.bmp" +
      kNotConvertedNext;
  const std::string cancelled = kBox + "The conversion was cancelled." + kept;
  const std::string closed =
      kBox + "The conversion was stopped because the window was closed." + kept;
  // A wrapper's child (4243) shows the window. A launcher ends at once with status 0 and a window
  // of another process (5000) comes up; so does one while the started program runs windowless.
  // Neither is the tool's, though it appeared during the wait.
  const auto wrapper = [](FakePlatform& f, Host&) {
    f.WindowSystem.WindowOf = f.WindowSystem.FocusOwner = 4243;
    f.Processes.Parents = {{4243, 4242}};
    f.WindowSystem.Tops = {{1, 77}, {7, 4243}};
  };
  const auto stranger = [](bool launcher) {
    return [launcher](FakePlatform& f, Host&) {
      if (launcher) {
        f.Processes.Ended = 4242;
        f.Processes.EndStatus = 0;
      }
      f.WindowSystem.Windowless = {4242};
      f.WindowSystem.WindowOf = f.WindowSystem.FocusOwner = 5000;
      f.WindowSystem.Tops = {{1, 77}};
      const auto appear = [&f] {
        if (f.Clock.Now > 400 && f.WindowSystem.Tops.size() == 1)
          f.WindowSystem.Tops.insert(f.WindowSystem.Tops.begin(), {8, 5000});
      };
      f.Clock.OnSleep = appear;
      f.WindowSystem.OnShowWindow = appear;
    };
  };
  // Cancel (or the main window's close) at At ms; the tool has a window not yet shown, or none.
  const auto halt = [](std::int64_t at, bool close, bool windowless) {
    return [=](FakePlatform& f, Host& h) {
      if (windowless) f.WindowSystem.Windowless = {4242};
      f.WindowSystem.OnShowWindow = [=, &f, &h] {
        if (f.Clock.Now < at) return;
        (close ? h.Stop : f.RunProgress.Cancelled) = true;
      };
    };
  };
  struct Case {
    std::int64_t windowAt;
    bool ends, failStart;
    Transcript log;
    std::function<void(FakePlatform&, Host&)> setUp = nullptr;
  };
  const Case cases[] = {
      {600, false, false, {"Progress Begin 1", "Keys Alt+F4"}},
      {15000, false, false, {"Progress Begin 1", waiting, "Progress Begin 1", "Keys Alt+F4"}},
      {never,
       false,
       false,
       {"Progress Begin 1", waiting, "Progress End short", "CloseWindowsOf 4242",
        cannot + NoWindowMessage(line)}},
      {never, true, false, {"Stop 4242", ended}},
      {0, false, true, {cannot + "File not found"}},
      {600, false, false, {"Progress Begin 1", "Keys Alt+F4"}, wrapper},
      {0,
       false,
       false,
       {"Stop 4242", cannot + "C:\\tool\\capture.exe ended before its window took the keyboard "
                              "focus; point ScreenCapturePath at the program itself."},
       stranger(true)},
      {0,
       false,
       false,
       {"Progress Begin 1", waiting, "Progress End short", "CloseWindowsOf 4242", "Stop 4242",
        cannot + NoWindowMessage(line)},
       stranger(false)},
      {never,
       false,
       false,
       {"Progress Begin 1", waiting, "Progress End short", "CloseWindowsOf 4242", cancelled},
       halt(11000, false, false)},
      {never,
       false,
       false,
       {"Progress Begin 1", waiting, "Progress End short", "CloseWindowsOf 4242", "Stop 4242",
        cancelled},
       halt(11000, false, true)},
      // Cancel counts only once the window offers it; closing the main window always.
      {never, false, false, {"CloseWindowsOf 4242", closed}, halt(3000, true, false)},
      {never,
       false,
       false,
       {"Progress Begin 1", waiting, "Progress End short", "CloseWindowsOf 4242", cancelled},
       halt(3000, false, false)},
      // The system fails while the progress window says it waits: it goes before the message.
      {never,
       false,
       false,
       {"Progress Begin 1", waiting, "Progress End short", "Stop 4242", cannot + "No windows"},
       [](FakePlatform& f, Host&) {
         f.WindowSystem.OnShowWindow = [&f] {
           if (f.Clock.Now > 11000)
             throw RaisedError(ErrorNumber::PathFileAccessError, "WindowSystem", "No windows");
         };
       }},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    f.FileSystem.Put("C:\\pics\\a.bmp");
    f.WindowSystem.WindowAt = c.windowAt;
    f.Processes.FailStart = c.failStart;
    f.WindowSystem.OnShowWindow = [&] {
      if (c.ends && f.Clock.Now > 2000) f.Processes.Ended = 4242;
    };
    if (c.setUp) c.setUp(f, h);
    std::size_t shown = 0;  // how often the stranger's window was asked to come forward
    const auto showWindow = f.WindowSystem.OnShowWindow;
    f.WindowSystem.OnShowWindow = [&] {
      showWindow();
      shown += f.Log.back() == "ShowWindow 5000";
    };
    RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\tool\\capture.exe"}, h);
    EXPECT_EQ(f.Only({"Stop", "CloseWindowsOf", "MessageBox", "Progress Begin", waiting,
                      "Keys Alt+F4", "Progress End short"}),
              c.log)
        << c.log.back();
    if (c.log.back() == cannot + NoWindowMessage(line)) {
      EXPECT_NEAR(static_cast<double>(f.Clock.Now),
                  100 + kRunTimings.ToolWindowWaitMs + kRunTimings.ToolWindowLongWaitMs, 250);
    }
    EXPECT_EQ(shown, 0u) << "a window that is not the tool's was brought forward";
    if (c.log.back() != "Keys Alt+F4") {
      EXPECT_EQ(f.Only({"Keys"}), Transcript{});
    }
    // A progress window shown is hidden again, however the start went.
    EXPECT_EQ(f.Only({"Progress Begin"}).empty(), f.Only({"Progress End"}).empty());
    EXPECT_FALSE(f.FileSystem.Has("C:\\app\\list.txt"));
  }
}

// The pictures are checked once all keys are sent, with the delete option on and off.
TEST_F(RunTest, EveryPictureIsCheckedAtTheEnd) {
  enum class Tool { Writes, Never, Stale, Late };
  struct Case {
    Tool tool;
    int option;
    RunOutcome outcome;
    bool aKept, bKept;
    std::string report;  // empty: no box
  };
  const std::string noPicture =
      "1 bitmap was converted; 1 other was left untouched.\r\n\r\nNo picture appeared "
      "for these bitmaps, so they were kept:\r\na.bmp" +
      kNoPictureNext;
  const Case cases[] = {
      {Tool::Writes, 0, RunOutcome::Finished, true, true, ""},
      {Tool::Writes, 1, RunOutcome::Finished, false, false, ""},
      {Tool::Late, 1, RunOutcome::Finished, false, false, ""},
      {Tool::Never, 0, RunOutcome::Incomplete, true, true, noPicture},
      {Tool::Never, 1, RunOutcome::Incomplete, true, false, noPicture},
      {Tool::Stale, 1, RunOutcome::Incomplete, true, false, noPicture},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    h.Delete = c.option;
    f.FileSystem.Put("C:\\pics\\a.bmp");
    f.FileSystem.Put("C:\\pics\\b.bmp");
    const std::string a = "C:\\pics\\a.89i";
    if (c.tool != Tool::Writes) f.Tool.Refuse.insert(a);
    if (c.tool == Tool::Stale) f.FileSystem.Put(a, "old");
    if (c.tool == Tool::Late)  // written 2 s after the tool was asked to
      f.Clock.OnSleep = [&, at = std::int64_t{-1}]() mutable {
        if (at < 0 && f.Tool.Written.size() == 1) at = f.Clock.Now + 2000;
        if (at >= 0 && f.Clock.Now >= at && !f.FileSystem.Has(a)) f.FileSystem.Put(a, "**TI89**");
      };
    EXPECT_EQ(RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\t.exe"}, h), c.outcome);
    EXPECT_EQ(f.FileSystem.Has("C:\\pics\\a.bmp"), c.aKept);
    EXPECT_EQ(f.FileSystem.Has("C:\\pics\\b.bmp"), c.bKept);
    EXPECT_EQ(f.Only({"MessageBox"}),
              c.report.empty() ? Transcript{} : Transcript{kBox + c.report});
    // One bounded wait after the tool ended, none per file: before the close keys, the only
    // 10 ms waits are the pauses before the target paths.
    const Transcript keysAndWaits = f.Only({"Keys", "Sleep 10"});
    const auto closing = std::find(keysAndWaits.begin(), keysAndWaits.end(), "Keys Alt+F4");
    for (auto it = keysAndWaits.begin(); it != closing; ++it)
      if (*it == "Sleep 10") {
        EXPECT_NE(std::next(it)->find(".89i"), std::string::npos);
      }
    if (c.tool == Tool::Never) {
      EXPECT_GE(f.Clock.Now, kRunTimings.PictureWaitMs);
      EXPECT_LT(f.Clock.Now, kRunTimings.PictureWaitMs + 1000);
    }
  }
}

TEST_F(RunTest, PictureStillBeingWrittenIsWaitedFor) {
  host.Delete = 1;
  fp.FileSystem.Put("C:\\pics\\a.bmp");
  const std::string target = "C:\\pics\\a.89i";
  // The tool writes its eight bytes, then goes on writing in place, a byte per poll, up to 16.
  int grown = 0;
  fp.Clock.OnSleep = [&] {
    if (!fp.FileSystem.Has(target) || grown == 8) return;
    EXPECT_TRUE(fp.FileSystem.Has("C:\\pics\\a.bmp"))
        << "deleted while the picture had " << 8 + grown << " bytes";
    ++grown;
    fp.FileSystem.Put(target, std::string(8 + static_cast<std::size_t>(grown), '*'));
  };
  EXPECT_EQ(Run(), RunOutcome::Finished);
  EXPECT_EQ(grown, 8);
  EXPECT_FALSE(fp.FileSystem.Has("C:\\pics\\a.bmp"));
}

// Names the keyboard or the list cannot carry, and a second bitmap for one picture, are left out
// before any key, kept and reported; the others are converted and deleted as usual.
TEST_F(RunTest, OddNamesAndCaseTwinsAreLeftOutAndKept) {
  host.Delete = 1;
  PutBitmaps({"a.bmp", "a.bmp\rz.bmp", "photo.png\nx.bmp", "b\xFF.bmp", "c.BMP", "c.bmp", "d\t.bmp",
              "photo.png"});
  EXPECT_EQ(Run(), RunOutcome::Incomplete);

  EXPECT_EQ(fp.Only({"Keys \"C:"}),
            (Transcript{"Keys \"C:\\pics\\a.bmp\"", "Keys \"C:\\pics\\a.89i\"",
                        "Keys \"C:\\pics\\c.BMP\"", "Keys \"C:\\pics\\c.89i\""}));
  EXPECT_EQ(fp.Only({"DeleteFile"}),
            (Transcript{"DeleteFile C:\\pics\\a.bmp", "DeleteFile C:\\pics\\c.BMP",
                        "DeleteFile C:\\app\\list.txt"}));
  EXPECT_EQ(fp.FileSystem.NamesIn("C:\\pics"),
            (Transcript{"a.89i", "a.bmp\rz.bmp", "b\xFF.bmp", "c.89i", "c.bmp", "d\t.bmp",
                        "photo.png", "photo.png\nx.bmp"}));
  const std::string odd = " (the name cannot be typed or written as one line)";
  EXPECT_EQ(fp.Only({"MessageBox"}),
            Transcript{kBox +
                       "2 bitmaps were converted; 5 others were left untouched.\r\n\r\n"
                       "These bitmaps were left out of the run and kept:\r\na.bmp\\rz.bmp" +
                       odd + "\r\nb\\xFF.bmp" + odd + "\r\nc.bmp (its picture c.89i is c.BMP's)" +
                       "\r\nd\\t.bmp" + odd + "\r\nphoto.png\\nx.bmp" + odd +
                       "\r\nRename them so that each name can be typed and makes a picture of its "
                       "own, then convert them again."});
}

// However the run is cut short, the bitmaps not reached are kept and listed, the tool is closed
// without a key going anywhere else, and the status says a picture is missing.
TEST_F(RunTest, RunCutShortAfterTheFirstFile) {
  enum class Cut {
    Closed,
    Cancelled,
    CancelClicked,
    CancelClickedThroughNobody,
    Signal,
    FocusLost,
    NoFocus,
    ToolDied,
    Grabbed,
    Held,
    Others,
    Late
  };
  const std::string notReached =
      "These bitmaps were not converted, so they were kept:\r\nb.bmp\r\nc.bmp" + kNotConvertedNext;
  // Others' keys among b's own: b is kept, even with its picture written (Late: after its last).
  const std::string disturbed =
      "The capture tool may have taken other keys with the keys for these bitmaps, so they were "
      "kept whatever their pictures show:\r\nb.bmp\r\nConvert them again.\r\n\r\nThese "
      "bitmaps were not converted, so they were kept:\r\nc.bmp" +
      kNotConvertedNext;
  const std::string othersKeys =
      "Keys that this program did not type came among the keys for b.bmp, so no more keys were "
      "sent.";
  struct Case {
    Cut cut;
    Transcript closing;
    std::string headline;
    std::string kept;
    Transcript written = {"C:\\pics\\a.89i"};
    Transcript deleted = {"DeleteFile C:\\pics\\a.bmp"};
  };
  const std::string lost = "The capture tool lost the keyboard focus, so no more keys were sent.";
  // The tool's helper process (4243) has a window of its own: it is asked to close too.
  const Transcript closed = {"CloseWindowsOf 4242", "CloseWindowsOf 4243"};
  const Case cases[] = {
      {Cut::Closed,
       {"Keys Alt+F4"},
       "The conversion was stopped because the window was closed.",
       notReached},
      {Cut::Cancelled, {"Keys Alt+F4"}, "The conversion was cancelled.", notReached},
      // Cancel clicked under a window manager, which gave the main window the focus before b's
      // first key: the tool gets it back, b is finished, then the tool closes with its Alt+F4.
      {Cut::CancelClicked,
       {"Keys Alt+F4"},
       "The conversion was cancelled.",
       "These bitmaps were not converted, so they were kept:\r\nc.bmp" + kNotConvertedNext,
       {"C:\\pics\\a.89i", "C:\\pics\\b.89i"},
       {"DeleteFile C:\\pics\\a.bmp", "DeleteFile C:\\pics\\b.bmp"}},
      // The same where, after the tool has it back, the focus is nobody's for longer than a lost
      // focus is waited for: the window manager catching up with the click.
      {Cut::CancelClickedThroughNobody,
       {"Keys Alt+F4"},
       "The conversion was cancelled.",
       "These bitmaps were not converted, so they were kept:\r\nc.bmp" + kNotConvertedNext,
       {"C:\\pics\\a.89i", "C:\\pics\\b.89i"},
       {"DeleteFile C:\\pics\\a.bmp", "DeleteFile C:\\pics\\b.bmp"}},
      // A signal: the tool is asked to close, then stopped with its group; nothing is deleted and
      // no box waits.
      {Cut::Signal, {"Keys Alt+F4", "Stop 4242"}, "", "", {"C:\\pics\\a.89i"}, {}},
      {Cut::FocusLost, closed, lost, notReached},
      {Cut::NoFocus, closed, lost, notReached},
      {Cut::ToolDied,
       {},
       "The capture tool ended unexpectedly, so no more keys were sent.",
       notReached},
      {Cut::Grabbed, closed, "Another program held the keyboard, so no more keys were sent.",
       notReached},
      // Held longer than the run waits before b's first key: nothing of b was typed.
      {Cut::Held, closed,
       "Keys were held down on the keyboard for 10 seconds, so no more keys were sent.",
       notReached},
      {Cut::Others, closed, othersKeys, disturbed},
      {Cut::Late, closed, othersKeys, disturbed, {"C:\\pics\\a.89i", "C:\\pics\\b.89i"}},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    h.Delete = 1;
    for (const char* n : {"a", "b", "c"}) f.FileSystem.Put(std::string("C:\\pics\\") + n + ".bmp");
    std::int64_t NobodySince = -1;
    // The window manager's own hand-over reaches the run only after the tool has the focus back
    // and taken a key: for a while nobody has it.
    f.WindowSystem.OnKeys = [&, ToolKeys = f.WindowSystem.OnKeys](const KeyActions& Keys) {
      if (ToolKeys) ToolKeys(Keys);
      if (c.cut != Cut::CancelClickedThroughNobody || f.WindowSystem.KeyStringsSent != 19) return;
      f.WindowSystem.FocusOwner = 0;
      NobodySince = f.Clock.Now;
    };
    f.WindowSystem.OnDoEvents = [&] {
      if (f.WindowSystem.KeyStringsSent != 18) return;
      if (c.cut == Cut::Closed) h.Stop = true;
      if (c.cut == Cut::Cancelled) f.RunProgress.Cancelled = true;
      if (c.cut == Cut::CancelClicked || c.cut == Cut::CancelClickedThroughNobody)
        f.WindowSystem.FocusOwner = f.Processes.OwnPid;
      if (c.cut == Cut::Signal) f.Processes.Signal = 15;
      if (c.cut == Cut::FocusLost || c.cut == Cut::ToolDied) f.WindowSystem.FocusOwner = 999;
      if (c.cut == Cut::ToolDied) f.Processes.Ended = 4242;
      if (c.cut == Cut::NoFocus) f.WindowSystem.FocusOwner = 0;
      if (c.cut == Cut::Grabbed) f.WindowSystem.GrabHolder = 999;
      if (c.cut == Cut::Held) f.WindowSystem.HeldUntil = f.Clock.Now + 60000;
    };
    if (c.cut == Cut::Others) f.WindowSystem.OthersKeysAt = 18 + 3;
    if (c.cut == Cut::Late) f.WindowSystem.OthersKeysAt = 18 + 18;
    f.WindowSystem.OnShowWindow = [&] {
      ProcessId& Owner = f.WindowSystem.FocusOwner;
      if (c.cut == Cut::CancelClickedThroughNobody && Owner == 0) {
        if (f.Clock.Now - NobodySince < 2 * kRunTimings.FocusGraceMs)
          f.Clock.Now += kRunTimings.FocusGraceMs / 2;  // the window manager takes its time
        else
          Owner = 4242;
        return;
      }
      if (Owner != f.Processes.OwnPid) return;
      f.WindowSystem.FocusOwner = 4242;
      f.RunProgress.Cancelled = true;  // the click, heard once the run looks
    };
    f.Processes.Parents = {{4243, 4242}, {999, 1}};
    f.WindowSystem.Tops = {{9, 999}, {7, 4243}, {6, 4242}};
    EXPECT_EQ(RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\t.exe"}, h),
              RunOutcome::Incomplete);
    EXPECT_EQ(f.Tool.Written, c.written);
    for (const char* n : {"a", "b", "c"}) {
      const std::string bitmap = std::string("C:\\pics\\") + n + ".bmp";
      EXPECT_EQ(f.FileSystem.Has(bitmap),
                std::count(c.deleted.begin(), c.deleted.end(), "DeleteFile " + bitmap) == 0);
    }
    // The tool is closed and has ended before any picture is checked or bitmap deleted.
    Transcript end(c.closing.begin(), c.closing.end());
    end.insert(end.end(), c.deleted.begin(), c.deleted.end());
    end.insert(end.end(), {"DeleteFile C:\\app\\list.txt", "Progress End short"});
    if (c.cut == Cut::CancelClicked || c.cut == Cut::CancelClickedThroughNobody)
      end.push_back(kBox + c.headline +
                    "\r\n2 bitmaps were converted; 1 other was left untouched.\r\n\r\n" + c.kept);
    else if (c.cut != Cut::Signal)
      end.push_back(kBox + c.headline +
                    "\r\n1 bitmap was converted; 2 others were left untouched.\r\n\r\n" + c.kept);
    const Transcript log = f.Only(
        {"DeleteFile", "Keys Alt+F4", "CloseWindowsOf", "Stop", "Progress End", "MessageBox"});
    EXPECT_EQ(log, end) << c.headline;
  }
}

// Keys held by others when a bitmap's keys are about to start (the user still holding Shift):
// the run waits, the progress window saying so with Cancel, and goes on once they are let go;
// Cancel or closing the window during the wait stops the run there, before any key of b.
TEST_F(RunTest, KeysHeldBeforeABitmapAreWaitedFor) {
  enum class End { Released, Cancelled, Closed };
  struct Case {
    End end;
    RunOutcome outcome;
    Transcript written;
  };
  const Case cases[] = {
      {End::Released, RunOutcome::Finished, {"C:\\pics\\a.89i", "C:\\pics\\b.89i"}},
      {End::Cancelled, RunOutcome::Incomplete, {"C:\\pics\\a.89i"}},
      {End::Closed, RunOutcome::Incomplete, {"C:\\pics\\a.89i"}},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    for (const char* n : {"a", "b"}) f.FileSystem.Put(std::string("C:\\pics\\") + n + ".bmp");
    f.WindowSystem.RecordKeyboard = true;
    f.Clock.OnSleep = [&] {
      if (f.WindowSystem.KeyStringsSent == 18 && f.WindowSystem.HeldUntil < 0)
        f.WindowSystem.HeldUntil = f.Clock.Now + 45;  // from the pause after a's last key on
    };
    f.RunProgress.OnStep = [&](std::size_t) {
      if (f.WindowSystem.HeldUntil < 0) return;
      if (c.end == End::Cancelled) f.RunProgress.Cancelled = true;
      if (c.end == End::Closed) h.Stop = true;
    };
    EXPECT_EQ(RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\t.exe"}, h), c.outcome);
    EXPECT_EQ(f.Tool.Written, c.written);
    const Transcript log = f.Only({"WatchKeyboard", "Held", "OthersHoldKeys", "Progress Step",
                                   "Keys Ctrl+F4", "Keys Alt+F4", "CloseWindowsOf"});
    const Transcript wait = {"Held", "Progress Step 2 Release the keyboard"};
    if (c.end == End::Released) {
      // Looked at every 20 ms: still held at 0, 20 and 40 ms, let go at 45.
      EXPECT_EQ(
          log, Concat({{"Progress Step 1 a.bmp", "WatchKeyboard", "Keys Ctrl+F4",
                        "Progress Step 2 b.bmp", "WatchKeyboard"},
                       wait,
                       {"OthersHoldKeys", "OthersHoldKeys", "OthersHoldKeys", "OthersHoldKeys",
                        "Progress Step 2 b.bmp", "Keys Ctrl+F4", "WatchKeyboard", "Keys Alt+F4"}}));
      continue;
    }
    // Still held when the tool is asked to close: a close request, no keys.
    EXPECT_EQ(log,
              Concat({{"Progress Step 1 a.bmp", "WatchKeyboard", "Keys Ctrl+F4",
                       "Progress Step 2 b.bmp", "WatchKeyboard"},
                      wait,
                      {"Progress Step 2 b.bmp", "WatchKeyboard", "Held", "CloseWindowsOf 4242"}}));
    EXPECT_NE(f.Only({"MessageBox"})
                  .at(0)
                  .find(c.end == End::Cancelled ? "The conversion was cancelled."
                                                : "stopped because the window was closed"),
              std::string::npos);
  }
}

// Others' keys in the pause before a bitmap's first key string are no harm to it; in a pause
// between its strings they may have changed what the tool did with it: it is kept, and the run
// stops there.
TEST_F(RunTest, OthersKeysBetweenABitmapsStringsKeepIt) {
  const struct {
    int before;  // the string (of the 36) that others' keys came before
    RunOutcome outcome;
    Transcript written;
  } cases[] = {{19, RunOutcome::Finished, {"C:\\pics\\a.89i", "C:\\pics\\b.89i"}},
               {20, RunOutcome::Incomplete, {"C:\\pics\\a.89i"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.before);
    FakePlatform f;
    Host h;
    h.Delete = 1;
    for (const char* n : {"a", "b"}) f.FileSystem.Put(std::string("C:\\pics\\") + n + ".bmp");
    f.WindowSystem.OthersKeysBefore = c.before;
    EXPECT_EQ(RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\t.exe"}, h), c.outcome);
    EXPECT_EQ(f.Tool.Written, c.written);
    EXPECT_EQ(f.FileSystem.Has("C:\\pics\\b.bmp"), c.before == 20);
  }
}

TEST_F(RunTest, FolderEndingInTheSeparatorGivesItDoubledAsIs) {
  struct Case {
    const char *sep, *app, *folder, *bitmap, *target;
  };
  const Case cases[] = {{"\\", "C:\\app", "C:\\", "C:\\\\a.bmp", "C:\\\\a.89i"},
                        {"/", "/app", "/pics/", "/pics//a.bmp", "/pics//a.89i"}};
  for (const Case& c : cases) {
    FakePlatform f;
    f.FileSystem.Sep = c.sep;
    f.FileSystem.AppFolder = c.app;
    f.FileSystem.Put(c.bitmap);
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
  fp.FileSystem.Put("C:\\pics\\a+b^c%d~(e){f}[g].bmp");
  Run("C:\\pics", "d%{}");
  EXPECT_EQ(fp.Only({"Keys \""}),
            (Transcript{"Keys \"C:\\pics\\a+b^c%d~(e){f}[g].bmp\"", "Keys \"a\"",
                        "Keys \"C:\\pics\\a+b^c%d~(e){f}[g].89i\"", "Keys \"a+b^c%d~(e){f}[g]\"",
                        "Keys \"d%{}\""}));
}

TEST_F(RunTest, DeleteOptionIsReadAgainAfterEachFile) {
  PutBitmaps({"a.bmp", "b.bmp"});
  fp.WindowSystem.OnDoEvents = [&] { host.Delete = fp.WindowSystem.KeyStringsSent >= 18 ? 1 : 0; };
  Run();
  EXPECT_TRUE(fp.FileSystem.Has("C:\\pics\\a.bmp"));
  EXPECT_FALSE(fp.FileSystem.Has("C:\\pics\\b.bmp"));
}

// Whose window may take the keys: the started process's and its descendants'; no window at all
// only for a moment, another program's not even for that.
TEST(ToolProcessTest, JudgesTheFocusedProcess) {
  using V = KeyTarget::Verdict;
  struct Case {
    ProcessId focus;
    std::int64_t noFocusMs;  // before the focus is on a window of focus
    V verdict;
    std::int64_t waited;
    bool closeKeysHanded = false;
  };
  const Case cases[] = {
      {4242, 0, V::Owned, 0},
      {4244, 0, V::Owned, 0},
      {999, 0, V::Foreign, 0},
      {kUnknownProcess, 0, V::Foreign, 0},
      {4243, 150, V::Owned, 150},
      {999, 150, V::Foreign, 150},
      {4242, 1000, V::Foreign, kRunTimings.FocusGraceMs},
      // After the close keys the tool's window going leaves the focus nobody's: not waited out.
      {4242, 1000, V::Owned, 0, true},
      {999, 0, V::Foreign, 0, true},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    f.Processes.Parents = {{4244, 4243}, {4243, 4242}, {4242, 1}, {999, 1}};
    ToolProcess tool(f.WindowSystem, f.Processes, f.Clock, 4242);
    if (c.closeKeysHanded) tool.CloseKeysHanded();
    V verdict = V::AskAgain;
    while (verdict == V::AskAgain) verdict = tool.Judge(f.Clock.Now < c.noFocusMs ? 0 : c.focus);
    EXPECT_EQ(verdict, c.verdict) << c.focus;
    EXPECT_EQ(f.Clock.Now, c.waited) << c.focus;
  }
}

TEST_F(RunTest, FocusIsCheckedBeforeEveryKeyString) {
  fp.FileSystem.Put("C:\\pics\\a.bmp");
  fp.WindowSystem.RecordFocusChecks = true;
  Run();
  const Transcript log = fp.Only({"Keys", "Judge"});
  ASSERT_EQ(log.size(), 2u * 19u);
  for (std::size_t i = 0; i < log.size(); i += 2) {
    EXPECT_EQ(log[i], "Judge 4242");
    EXPECT_EQ(log[i + 1].rfind("Keys", 0), 0u);
  }
}

TEST_F(RunTest, BitmapThatCannotBeDeletedIsReportedAndTheRunGoesOn) {
  host.Delete = 1;
  PutBitmaps({"a.bmp", "b.bmp"});
  fp.FileSystem.Files["C:\\pics\\a.bmp"].ReadOnly = true;
  EXPECT_EQ(Run(), RunOutcome::Finished);  // every picture is there
  EXPECT_EQ(fp.Tool.Written, (Transcript{"C:\\pics\\a.89i", "C:\\pics\\b.89i"}));
  EXPECT_FALSE(fp.FileSystem.Has("C:\\pics\\b.bmp"));
  EXPECT_FALSE(fp.FileSystem.Has("C:\\app\\list.txt"));
  EXPECT_EQ(fp.Only({"MessageBox", "Notify"}),
            Transcript{kBox + "2 bitmaps were converted.\r\n\r\n"
                              "These bitmaps were converted but could not be deleted:\r\na.bmp "
                              "(Permission denied: C:\\pics\\a.bmp)\r\nDelete them yourself once "
                              "you no longer need them."});
}

// The pacing rule as every build keeps it, on a clock where typing and our own work take time:
// typing a string takes 2 ms before its last event is handed over, and painting, the window's
// events and looking at files take 1 to 4 ms. No gap between the hand-overs of two key strings
// is shorter than the pause after the first (plus the next string's typing), the work after a
// hand-over counts inside the pause, and the first key comes 100 ms after the window took the
// focus.
TEST_F(RunTest, PausesRunFromTheHandOverAndAreNeverShorter) {
  PutBitmaps({"a.bmp", "b.bmp"});
  fp.WindowSystem.WindowAt = 700;
  std::int64_t focused = -1;
  fp.WindowSystem.OnShowWindow = [&] {
    if (focused < 0 && fp.Clock.Now >= fp.WindowSystem.WindowAt) focused = fp.Clock.Now;
  };
  std::vector<std::int64_t> handed;
  fp.WindowSystem.OnKeys = [&](const KeyActions& a) {
    fp.Clock.Now += 2;
    handed.push_back(fp.Clock.Now);
    fp.Tool.Receive(a);
    if (fp.Tool.Closed) fp.Processes.Ended = 4242;
  };
  fp.WindowSystem.OnDoEvents = [&] { fp.Clock.Now += 3; };
  fp.RunProgress.OnStep = [&](std::size_t) { fp.Clock.Now += 4; };
  EXPECT_EQ(Run(), RunOutcome::Finished);

  std::vector<int> pauses;
  for (int file = 0; file < 2; ++file)
    for (const ScriptStep& step : FileScript(DeriveNames("/p", "/", "x.bmp"), "main")) {
      if (step.PauseBeforeMs > 0) pauses.back() += step.PauseBeforeMs;
      pauses.push_back(step.PauseAfterMs);
    }
  ASSERT_EQ(handed.size(), pauses.size() + 1);  // and Alt+F4
  ASSERT_GE(focused, 700);
  EXPECT_GE(handed[0] - 2 - focused, 100);
  for (std::size_t i = 0; i + 1 < handed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(handed[i + 1] - 2 - handed[i], pauses[i]);
    // The work between two files (10 ms) fits in the 30 ms pause.
    EXPECT_EQ(handed[i + 1] - 2 - handed[i], pauses[i]);
  }
}

// A tool that works through the keys longer than they took to send: the run waits for it to
// end before any picture counts as missing, and says which bitmaps it stopped waiting for.
TEST_F(RunTest, EndOfRunWaitsForTheToolItself) {
  enum class Tool { EndsLate, NeverEnds, WaitCancelled };
  struct Case {
    Tool tool;
    bool bKept;
    std::string report;
  };
  const std::string stillWorking =
      "\r\n\r\nThe capture tool was still working when the run stopped waiting for it, so these "
      "bitmaps were kept:\r\n";
  const std::string mayAppear =
      "\r\nTheir pictures may still appear; convert the ones without a picture again once the "
      "tool has finished.";
  // b's picture comes 20 s after the close keys, c's never; the tool ends after 30 s, or not
  // within the wait, or Cancel ends the wait after 5 s.
  const Case cases[] = {
      {Tool::EndsLate, false,
       "2 bitmaps were converted; 1 other was left untouched.\r\n\r\nNo picture appeared for "
       "these bitmaps, so they were kept:\r\nc.bmp" +
           kNoPictureNext},
      {Tool::NeverEnds, false,
       "2 bitmaps were converted; 1 other was left untouched." + stillWorking + "c.bmp" +
           mayAppear},
      {Tool::WaitCancelled, true,
       "1 bitmap was converted; 2 others were left untouched." + stillWorking + "b.bmp\r\nc.bmp" +
           mayAppear},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    h.Delete = 1;
    for (const char* n : {"a", "b", "c"}) f.FileSystem.Put(std::string("C:\\pics\\") + n + ".bmp");
    f.Tool.Refuse = {"C:\\pics\\b.89i", "C:\\pics\\c.89i"};
    std::int64_t closedAt = -1;
    f.WindowSystem.OnKeys = [&](const KeyActions& a) {
      f.Tool.Receive(a);
      if (f.Tool.Closed && closedAt < 0) closedAt = f.Clock.Now;
    };
    f.Clock.OnSleep = [&] {
      if (closedAt < 0) return;
      const std::int64_t since = f.Clock.Now - closedAt;
      if (since >= 20000 && !f.FileSystem.Has("C:\\pics\\b.89i"))
        f.FileSystem.Put("C:\\pics\\b.89i", "**");
      if (c.tool == Tool::EndsLate && since >= 30000) f.Processes.Ended = 4242;
      if (c.tool == Tool::WaitCancelled && since >= 5000) f.RunProgress.Cancelled = true;
    };
    EXPECT_EQ(RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\t.exe"}, h),
              RunOutcome::Incomplete);
    EXPECT_EQ(f.Only({"MessageBox"}), Transcript{kBox + c.report});
    EXPECT_EQ(f.Only({"Progress Step 3"}),
              (Transcript{"Progress Step 3 c.bmp",
                          "Progress Step 3 " + std::string(kWaitingForToolText)}));
    // Bitmaps go only once their picture was there; the tool was never killed.
    EXPECT_EQ(f.FileSystem.Has("C:\\pics\\b.bmp"), c.bKept);
    EXPECT_TRUE(f.FileSystem.Has("C:\\pics\\c.bmp"));
    EXPECT_EQ(f.Only({"Stop", "CloseWindowsOf"}), Transcript{});
    if (c.tool == Tool::NeverEnds) {
      EXPECT_NEAR(static_cast<double>(f.Clock.Now - closedAt), kRunTimings.ToolEndWaitMs, 100);
    }
  }
}

// The report's counts read as English, the bitmaps come in the order of the run, pictures that
// share a calculator name are named though all were written, and a bitmap rewritten after its
// keys were sent is kept (with the delete option on) although its older picture is there. What
// the tool wrote about a bitmap or its picture on its standard error (said) goes to that
// bitmap's line: why it made no picture, or the name it chose itself.
TEST_F(RunTest, ReportCountsOrderSharedNamesAndChangedBitmaps) {
  struct Case {
    std::vector<std::string> bitmaps, refused;
    std::string report, rewritten = {};
    std::vector<std::string> said = {};
  };
  const std::string saidNext =
      "\r\nEach reason is the capture tool's; where none is given, check that the bitmap opens in "
      "an image viewer. Then convert them again.";
  const std::string shared =
      "\r\n\r\nThese pictures share a calculator name, so on the calculator each replaces the "
      "one before:\r\n";
  const std::string rename =
      "\r\nRename the bitmaps so that their names differ in the first eight letters.";
  const Case cases[] = {
      {{"a.bmp"},
       {"a"},
       "The bitmap was not converted.\r\n\r\nNo picture appeared for these "
       "bitmaps, so they were kept:\r\na.bmp" +
           kNoPictureNext},
      {{"c.bmp", "B.bmp", "a.bmp"},
       {"a", "B", "c"},
       "None of the 3 bitmaps was converted.\r\n\r\nNo picture appeared for these bitmaps, so "
       "they were kept:\r\na.bmp\r\nB.bmp\r\nc.bmp" +
           kNoPictureNext},
      {{"z.bmp", "y.bmp", "x.bmp"},
       {"x", "z"},
       "1 bitmap was converted; 2 others were left untouched.\r\n\r\nNo picture appeared for "
       "these bitmaps, so they were kept:\r\nx.bmp\r\nz.bmp" +
           kNoPictureNext},
      {{"astronaut_160x100.bmp", "astronaut_1024x768.bmp", "Moon 1.bmp", "moon1.bmp", "moon.bmp",
        "1.bmp", "2.bmp"},
       {},
       "7 bitmaps were converted." + shared +
           "\"astronau\": astronaut_1024x768.89i astronaut_160x100.89i\r\n\"moon1\": Moon 1.89i "
           "moon1.89i" +
           rename},
      {{"IMG_20261208_1.bmp", "IMG_20261208_2.bmp", "IMG_20261208_3.bmp", "IMG_20261208_4.bmp",
        "IMG_20261208_5.bmp", "IMG_20261208_6.bmp"},
       {},
       "6 bitmaps were converted." + shared +
           "\"img_2026\": IMG_20261208_1.89i IMG_20261208_2.89i IMG_20261208_3.89i "
           "IMG_20261208_4.89i and 2 more" +
           rename},
      {{"a.bmp", "b.bmp"},
       {},
       "2 bitmaps were converted.\r\n\r\nThese bitmaps changed after their keys were sent, so "
       "they were kept:\r\na.bmp\r\nTheir pictures may show what they held before; convert them "
       "again.",
       "a.bmp"},
      // The last word on either file counts; chatter, a line about a file not listed, and one
      // that only begins like a listed path belong to no bitmap.
      {{"x.bmp", "y.bmp", "z.bmp", "n.bmp"},
       {"x", "z", "n"},
       "1 bitmap was converted; 3 others were left untouched.\r\n\r\nNo picture appeared for "
       "these bitmaps, so they were kept:\r\nn.bmp\r\nx.bmp: \"C:\\pics\\x.bmp\" cannot be "
       "converted: the bitmap is cut short.\r\nz.bmp: The file is not a calculator file. Nothing "
       "was saved." +
           saidNext,
       "",
       {"ticables-CRITICAL: no cable", RemarkLine("C:\\pics\\x.bmp", "it is a first try"),
        RemarkLine("C:\\pics\\x.bmp",
                   "\"C:\\pics\\x.bmp\" cannot be converted: the bitmap is cut short."),
        RemarkLine("C:\\pics\\w.bmp", "The file \"C:\\pics\\w.bmp\" does not exist."),
        RemarkLine("C:\\pics\\n.bmp.bmp", "not this one"),
        RemarkLine("C:\\pics\\z.89i", "The file is not a calculator\nfile. Nothing was saved.")}},
      // Names with no letter a calculator takes: the names the tool chose are said, so the run
      // ends with a box though every picture is there.
      {{"Привет мир.bmp", "日本語.bmp", "ok.bmp"},
       {},
       "3 bitmaps were converted.\r\n\r\nThe names of these bitmaps hold no letter a calculator "
       "name takes, so the capture tool named their pictures itself:\r\nПривет мир.bmp: "
       "pic1\r\n日本語.bmp: pic2\r\nRename the bitmaps to choose the calculator names yourself.",
       "",
       {RemarkLine("C:\\pics\\Привет мир.89i",
                   "named pic1 (\"Привет мир\" holds no letter a calculator name takes)"),
        RemarkLine("C:\\pics\\日本語.89i", "named pic2")}},
      // The tool's fallback is another bitmap's own name: the two share it. And the longest
      // listed path a line begins with is the file it is about.
      {{"1.bmp", "pic1.bmp"},
       {},
       "2 bitmaps were converted." + shared + "\"pic1\": 1.89i pic1.89i" + rename +
           "\r\n\r\nThe names of these bitmaps hold no letter a calculator name takes, so the "
           "capture tool named their pictures itself:\r\n1.bmp: pic1\r\nRename the bitmaps to "
           "choose the calculator names yourself.",
       "",
       {RemarkLine("C:\\pics\\1.89i", "named pic1")}},
      {{"a.bmp", "a.bmp: b.bmp"},
       {"a", "a.bmp: b"},
       "None of the 2 bitmaps was converted.\r\n\r\nNo picture appeared for these bitmaps, so "
       "they were kept:\r\na.bmp: not a bitmap\r\na.bmp: b.bmp: cut short" +
           saidNext,
       "",
       {RemarkLine("C:\\pics\\a.bmp: b.bmp", "cut short"),
        RemarkLine("C:\\pics\\a.bmp", "not a bitmap")}},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    h.Delete = 1;
    for (const std::string& n : c.bitmaps) f.FileSystem.Put("C:\\pics\\" + n);
    for (const std::string& n : c.refused) f.Tool.Refuse.insert("C:\\pics\\" + n + ".89i");
    f.Processes.ErrorOutput = c.said;
    f.WindowSystem.OnDoEvents = [&] {
      if (f.WindowSystem.KeyStringsSent == 18 && !c.rewritten.empty())
        f.FileSystem.Put("C:\\pics\\" + c.rewritten, "new content");
    };
    RunConversion(f.P, RunInputs{"C:\\pics", "pics", "C:\\t.exe"}, h);
    EXPECT_EQ(f.Only({"MessageBox"}), Transcript{kBox + c.report});
    EXPECT_EQ(f.Only({"DeleteFile C:\\pics"}).size(),
              c.bitmaps.size() - c.refused.size() - (c.rewritten.empty() ? 0 : 1));
  }
}

// The policy over entries as a system reports them, in an order of its own.
TEST(ListBitmaps, TakesWhatTheRunCanConvert) {
  struct Given : DirectoryListing {
    std::vector<FolderEntry> Given;
    bool Missing = false;
    std::vector<FolderEntry> Entries(const std::string&) override {
      if (Missing) throw RaisedError(ErrorNumber::PathNotFound, "Listing", "missing");
      return Given;
    }
  };
  for (const scenarios::ListingScenario& s : scenarios::ListingScenarios()) {
    Given listing;
    listing.Missing = s.Missing;
    for (auto it = s.Entries.rbegin(); it != s.Entries.rend(); ++it) {
      using K = scenarios::ListingEntry::Kind;
      listing.Given.push_back(
          {it->Name, it->Type != K::Folder, it->Type == K::Hidden || it->Name[0] == '.'});
    }
    if (s.Missing) {
      EXPECT_THROW(ListBitmaps(listing, "/p"), RaisedError);
      continue;
    }
    const BitmapList list = ListBitmaps(listing, "/p");
    EXPECT_EQ(list.Bitmaps, s.Bitmaps) << s.Name;
    EXPECT_EQ(list.LeftOut, s.LeftOut) << s.Name;
  }
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

// A path that names a file as a whole is the program, quoted so that it reads back whole; any
// other stays as written, for the system's search of blank-separated prefixes.
TEST(ToolCommandLine, QuotesAWholeFileThatNeedsItAndLeavesTheRestAsWritten) {
  struct Case {
    std::string path;
    bool file;
    std::string line;
  };
  const Case cases[] = {
      {"C:\\tool\\cap.exe", true, "C:\\tool\\cap.exe"},
      {"C:\\tool\\cap.exe", false, "C:\\tool\\cap.exe"},
      {"C:\\Program Files\\cap.exe", true, "\"C:\\Program Files\\cap.exe\""},
      {"C:\\Program Files\\cap.exe -x", false, "C:\\Program Files\\cap.exe -x"},
      {"/opt/a\"b/cap", true, "\"/opt/a\\\"b/cap\""},
      {"/opt/a\tb/cap", true, "\"/opt/a\tb/cap\""},
      {"/opt/a\\\"b\\c", true, "\"/opt/a\\\\\\\"b\\c\""},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    Host h;
    f.FileSystem.AppFolder = "C:\\a b";
    f.FileSystem.Put("C:\\pics\\a.bmp");
    if (c.file) f.FileSystem.Put(c.path);
    RunConversion(f.P, RunInputs{"C:\\pics", "pics", c.path}, h);
    EXPECT_EQ(f.Only({"Start"}),
              Transcript{"Start maximised " + c.line + " \"C:\\a b\\dummy.bmp\""});
  }
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
