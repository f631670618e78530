// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ConversionRun.h"

#include <optional>
#include <vector>

#include "conversion/BitmapListing.h"
#include "conversion/FileScript.h"
#include "conversion/HeldKeys.h"
#include "conversion/Pacer.h"
#include "conversion/RunReport.h"
#include "conversion/RunTimings.h"
#include "conversion/SendKeys.h"
#include "conversion/ToolRemarks.h"
#include "conversion/ToolStart.h"
#include "pictrane/Product.h"
#include "platform/Platform.h"
#include "pictrane/RaisedError.h"

namespace pictrane {

namespace {

constexpr const char* kCloseKeys = "%{F4}";

// Raised inside the run when keys may no longer be sent: the focus left the capture tool, another
// program held the keyboard, or others' keys came (Why says which).
struct FocusLost {
  KeysOutcome Why = KeysOutcome::FocusLost;
};
// Raised when Cancel or the main window's close ends a wait between key strings.
struct Halted {};

// The close keys' pacing, and the tool told once they are handed over.
class ClosingString final : public KeyPacing {
 public:
  ClosingString(KeyPacing& Paced, ToolProcess& Tool) : Paced_(Paced), Tool_(Tool) {}
  void BeforeFirstKey() override { Paced_.BeforeFirstKey(); }
  void Handed() override {
    Paced_.Handed();
    Tool_.CloseKeysHanded();
  }
  bool EarlierKeysCount() override { return Paced_.EarlierKeysCount(); }

 private:
  KeyPacing& Paced_;
  ToolProcess& Tool_;
};

bool SameStamp(const std::optional<FileStamp>& A, const std::optional<FileStamp>& B) {
  if (!A || !B) return A.has_value() == B.has_value();
  return SameFile(*A, *B);
}

// The window's host, with the system's request to end (a signal) counted as a stop request, so
// that every wait that ends on the window's close ends on it too.
class EndingHost final : public RunHost {
 public:
  EndingHost(RunHost& Window, Processes& Programs) : Window_(Window), Programs_(Programs) {}
  int DeleteOption() override { return Window_.DeleteOption(); }
  bool StopRequested() override { return Window_.StopRequested() || Ending(); }
  bool Ending() { return Programs_.EndSignal() != 0; }

 private:
  RunHost& Window_;
  Processes& Programs_;
};

class Run {
 public:
  Run(Platform& P, const RunInputs& In, RunHost& Host)
      : P_(P), In_(In), Host_(Host, P.Processes), Pace_(P.Clock) {
    Sep_ = P_.FileSystem.Separator();
    const std::string App = P_.FileSystem.ApplicationFolder();
    ListFile_ = In_.ListFile.empty() ? App + Sep_ + "list.txt" : In_.ListFile;
    Placeholder_ = In_.Placeholder.empty() ? App + Sep_ + "dummy.bmp" : In_.Placeholder;
  }

  RunOutcome Go() {
    if (In_.Folder.empty()) return Refuse("Please specify folder.");
    if (In_.DeviceFolder.empty()) return Refuse("Please specify device folder.");
    // Our capture tool writes each picture through a temporary beside it, which a killed tool
    // leaves there; the platform knows whether the tool is ours (FileSystem.h).
    P_.FileSystem.RemoveStaleTemporaries(In_.Folder, T_.StaleTemporaryAgeS);

    // Folder problems are found here, before anything starts, so the window stays for another
    // try and no tool flashes up for nothing.
    BitmapList Listed;
    try {
      Listed = ListBitmaps(P_.DirectoryListing, In_.Folder);
    } catch (const RaisedError& E) {
      return Refuse("The folder \"" + In_.Folder + "\" cannot be read.\r\n" + E.Description);
    }
    if (Listed.Bitmaps.empty() && Listed.LeftOut.empty())
      return Refuse("There are no bitmaps (*.bmp) in \"" + In_.Folder + "\".");
    if (Listed.Bitmaps.empty())
      return Refuse("None of the bitmaps in \"" + In_.Folder +
                    "\" can be converted:" + NameList(Listed.LeftOut));
    LeftOut_ = std::move(Listed.LeftOut);

    try {
      P_.FileSystem.ReplaceContent(ListFile_, ListFileText(Listed.Bitmaps));
    } catch (const RaisedError& E) {
      return Refuse("The list of bitmaps could not be written.\r\n" + E.Description);
    }
    Items_.reserve(Listed.Bitmaps.size());
    for (std::string& Name : Listed.Bitmaps) {
      ListedBitmap Item;
      Item.Names = DeriveNames(In_.Folder, Sep_, Name);
      Item.Listed = std::move(Name);
      Items_.push_back(std::move(Item));
    }
    Pace_.Whole(T_.StartPauseMs);

    // Only what the report can use is kept of the tool's standard error.
    std::vector<FileNames> Files;
    Files.reserve(Items_.size());
    for (const ListedBitmap& Item : Items_) Files.push_back(Item.Names);
    P_.Processes.KeepErrorLines(RemarkLines(Files));

    StartedTool Started;
    try {
      const std::string& Path = In_.ScreenCapturePath;
      Started = StartTool(P_, Host_, Items_.size(),
                          ToolCommandLine(Path, Placeholder_, P_.FileSystem.Stat(Path).has_value()),
                          Path);
    } catch (const RaisedError& E) {
      RemoveListFile();
      return Refuse("The capture tool could not be started.\r\n" + E.Description);
    }
    if (!Started.Tool) {
      // Cancelled while the tool's window was awaited: the run ends as any cancelled run does,
      // with no key sent.
      (Started.End == ToolStartEnd::Closed ? End_.WasStopped : End_.WasCancelled) = true;
      RemoveListFile();
      if (!Host_.Ending()) Report(false);
      return RunOutcome::Incomplete;
    }
    Tool_ = std::move(Started.Tool);
    // Showing the progress window is work inside the pause, as after every key string.
    Pace_.KeysHanded(T_.StartPauseMs);
    P_.RunProgress.Begin(Items_.size());

    try {
      ConvertListedFiles();
    } catch (const FocusLost& Lost) {
      End_.FocusWasLost = true;
      End_.LostBy = Lost.Why;
    } catch (const Halted&) {
    } catch (const RaisedError& E) {
      End_.Failure = E.Description;
    }
    CloseTool();
    if (Host_.Ending()) {
      // The system wants the program gone: the tool gets a moment to close, and is stopped with
      // whatever it started if it does not. Nothing is deleted and no box waits for an answer.
      EndToolNow();
      RemoveListFile();
      P_.RunProgress.End(false);
      return RunOutcome::Incomplete;
    }
    WaitForToolEnd();
    CheckPictures();
    TakeRemarks();
    DeleteConverted();
    RemoveListFile();

    const bool Complete = Converted_ == Items_.size() + LeftOut_.size();
    P_.RunProgress.End(Complete);
    Report(Complete);
    return Complete ? RunOutcome::Finished : RunOutcome::Incomplete;
  }

 private:
  // Nothing runs yet, so the window stays as it was for another try.
  RunOutcome Refuse(const std::string& Text) {
    P_.WindowSystem.MessageBox(Text, MessageIcon::Exclamation, kAppTitle);
    return RunOutcome::Idle;
  }

  // A file's own work (the window's events, the progress, looking at its files, parsing its
  // keys) runs inside the previous file's last pause, so only typing stands between pauses.
  void ConvertListedFiles() {
    for (std::size_t I = 0; I < Items_.size(); ++I) {
      ListedBitmap& Item = Items_[I];
      P_.WindowSystem.DoEvents();
      if (Host_.StopRequested()) {
        End_.WasStopped = true;
        return;
      }
      if (P_.RunProgress.CancelRequested()) {
        End_.WasCancelled = true;
        return;
      }
      P_.RunProgress.Step(I + 1, Item.Listed);
      Item.Before = P_.FileSystem.Stat(Item.Names.Target);
      Item.Bitmap = P_.FileSystem.Stat(Item.Names.Source);
      std::vector<std::pair<ScriptStep, KeyActions>> Script;
      for (ScriptStep& Step : FileScript(Item.Names, In_.DeviceFolder)) {
        KeyActions Actions = ParseKeys(Step.Keys);  // bad input sends nothing
        Script.emplace_back(std::move(Step), std::move(Actions));
      }
      Item.Now = ListedBitmap::State::Interrupted;
      // Others' keys among this bitmap's, or a key pressed between them, may have changed what
      // the tool did with it: it is kept whatever its picture shows. A key held before its first
      // key is waited for.
      WatchKeyboard();
      bool First = true;
      try {
        for (const auto& [Step, Actions] : Script) {
          Pace_.Lengthen(Step.PauseBeforeMs);
          Send(Actions, Step.PauseAfterMs, First ? I + 1 : 0);
          First = false;
        }
      } catch (const FocusLost& Lost) {
        if (Lost.Why == KeysOutcome::OthersKeys || (Lost.Why == KeysOutcome::KeysHeld && !First))
          Item.Now = ListedBitmap::State::Disturbed;
        throw;
      }
      Item.Now = ListedBitmap::State::Sent;
      Item.Delete = Host_.DeleteOption() == 1;
      P_.WindowSystem.DoEvents();
    }
  }

  // The pause owed to the previous key string ends just before this string's first event; this
  // string's starts once its last event is handed over. What the back end does before and after
  // those moments (planning the keys, its bookkeeping) falls inside the pauses.
  // With WaitAs, the place of the bitmap whose first string this is, keys held by others before
  // it are waited for.
  // Closing: these are the close keys.
  void Send(const KeyActions& Actions, int PauseAfterMs, std::size_t WaitAs = 0,
            bool Closing = false) {
    PacedString Paced(Pace_, PauseAfterMs, Watching_ && !FirstWatched_);
    ClosingString Close(Paced, *Tool_);
    KeyPacing& Pacing = Closing ? static_cast<KeyPacing&>(Close) : Paced;
    KeysOutcome Outcome = SendKeys(P_.WindowSystem.Keyboard(), Actions, *Tool_, Pacing);
    while (Outcome == KeysOutcome::KeysHeld && WaitAs != 0) {
      switch (WaitForKeyboardRelease(P_, Host_, WaitAs, Items_[WaitAs - 1].Listed)) {
        case ReleaseWait::Released:
          Outcome = SendKeys(P_.WindowSystem.Keyboard(), Actions, *Tool_, Pacing);
          continue;
        case ReleaseWait::Cancelled:
          End_.WasCancelled = true;
          throw Halted{};
        case ReleaseWait::Closed:
          End_.WasStopped = true;
          throw Halted{};
        case ReleaseWait::TimedOut:
          WaitAs = 0;
          break;
      }
    }
    FirstWatched_ = false;
    if (Outcome != KeysOutcome::Sent) throw FocusLost{Outcome};
  }

  // The next key string begins a watched sequence: others' key events before its first key do
  // not count (a key still held does), and from its first key on every one counts, within the
  // strings and in the pauses between them, until the next call.
  void WatchKeyboard() {
    P_.WindowSystem.Keyboard().WatchKeyboard();
    Watching_ = true;
    FirstWatched_ = true;
  }

  // With the focus still on the tool it closes as the user would close it; otherwise it gets a
  // close request to its window, since keys must not go anywhere else.
  void CloseTool() {
    if (!End_.FocusWasLost) {
      try {
        WatchKeyboard();
        Send(ParseKeys(kCloseKeys), 0, 0, true);
        End_.CloseKeysTaken = true;
        return;
      } catch (const FocusLost&) {
      } catch (const RaisedError&) {
        // Already reporting a failure; the close request below still ends the tool.
      }
    }
    End_.ToolEnded = !P_.Processes.IsRunning(Tool_->Root());
    if (!End_.ToolEnded) Tool_->CloseWindows();
  }

  void EndToolNow() {
    const std::int64_t Deadline = P_.Clock.NowMs() + T_.StopWaitMs;
    while (P_.Processes.IsRunning(Tool_->Root()) && P_.Clock.NowMs() < Deadline)
      P_.Clock.Sleep(T_.EndPollMs);
    // Its process group (Windows: its job) goes too: what it started would be left otherwise.
    P_.Processes.Stop(Tool_->Root(), T_.StopWaitMs);
  }

  // The tool works through every key sent before the close keys, so its last pictures may come
  // long after them (big bitmaps). Until it ends, no picture counts as missing. Cancel (or
  // closing the window) ends the wait, unless it was what stopped the run: then the tool is still
  // finishing its last file.
  void WaitForToolEnd() {
    if (End_.ToolEnded || !P_.Processes.IsRunning(Tool_->Root())) return;
    P_.RunProgress.Step(Items_.size(), kWaitingForToolText);
    const auto Interrupted = [this] {
      return P_.RunProgress.CancelRequested() || Host_.StopRequested();
    };
    const bool InterruptedBefore = Interrupted();
    const std::int64_t Deadline = P_.Clock.NowMs() + T_.ToolEndWaitMs;
    while (P_.Processes.IsRunning(Tool_->Root())) {
      if (P_.Clock.NowMs() >= Deadline || (!InterruptedBefore && Interrupted())) {
        ToolStillWorking_ = true;
        return;
      }
      P_.Clock.Sleep(T_.EndPollMs);
      P_.WindowSystem.DoEvents();
    }
  }

  // A picture counts once it exists, is not empty, is not the file that was there before, and
  // holds still from one look to the next: a tool that hands its work to another process may
  // still be writing after it ended. One bounded wait for all of them, not one per file.
  // With the tool still working, two looks take what is there and holds still.
  void CheckPictures() {
    const std::int64_t Deadline = P_.Clock.NowMs() + T_.PictureWaitMs;
    for (int Looks = 1;; ++Looks) {
      bool Waiting = false;
      for (ListedBitmap& Item : Items_) {
        if (Item.Now != ListedBitmap::State::Sent) continue;
        auto Now = P_.FileSystem.Stat(Item.Names.Target);
        if (!Now || Now->Size == 0 || SameStamp(Now, Item.Before)) Now.reset();
        if (Now && Item.Last && SameStamp(Now, Item.Last)) {
          Item.Now = ListedBitmap::State::Converted;
          ++Converted_;
        } else {
          Item.Last = Now;
          Waiting = true;
        }
      }
      if (!Waiting || (ToolStillWorking_ && Looks >= 2)) break;
      if (P_.Clock.NowMs() >= Deadline) break;
      P_.Clock.Sleep(T_.EndPollMs);
      P_.WindowSystem.DoEvents();  // the window stays responsive while a slow tool writes
    }
    const ListedBitmap::State Missing =
        ToolStillWorking_ ? ListedBitmap::State::Unfinished : ListedBitmap::State::NoPicture;
    for (ListedBitmap& Item : Items_)
      if (Item.Now == ListedBitmap::State::Sent) Item.Now = Missing;
  }

  // The tool's own words about the files, read once it has ended (or been given up on).
  void TakeRemarks() {
    const int WaitMs = ToolStillWorking_ ? 0 : T_.ToolRemarksWaitMs;
    std::vector<FileNames> Files;
    Files.reserve(Items_.size());
    for (const ListedBitmap& Item : Items_) Files.push_back(Item.Names);
    std::vector<FileRemarks> Remarks =
        RemarksOn(P_.Processes.ErrorLines(Tool_->Root(), WaitMs), Files);
    for (std::size_t I = 0; I < Items_.size(); ++I) Items_[I].Remarks = std::move(Remarks[I]);
  }

  // Only the listed file itself goes, only once its own picture exists, and only while it is
  // still the file whose keys were sent: one rewritten or replaced since may hold what the
  // picture does not show.
  void DeleteConverted() {
    for (ListedBitmap& Item : Items_) {
      if (Item.Now != ListedBitmap::State::Converted || !Item.Delete) continue;
      if (!SameStamp(P_.FileSystem.Stat(Item.Names.Source), Item.Bitmap)) {
        Item.Changed = true;
        continue;
      }
      try {
        P_.FileSystem.DeleteFile(Item.Names.Source);
      } catch (const RaisedError& E) {
        NotDeleted_.push_back(Item.Listed + " (" + E.Description + ")");
      }
    }
  }

  void RemoveListFile() {
    try {
      if (P_.FileSystem.Stat(ListFile_)) P_.FileSystem.DeleteFile(ListFile_);
    } catch (const RaisedError&) {
      // A list left behind is rewritten by the next run.
    }
  }

  void Report(bool Complete) {
    const std::optional<std::string> Text =
        ReportText(Items_, LeftOut_, NotDeleted_, Converted_, End_, Complete);
    if (Text) {
      P_.WindowSystem.MessageBox(*Text, MessageIcon::Exclamation, kAppTitle);
    } else {
      P_.DesktopNotifier.Notify(std::to_string(Converted_) + " pictures written to " + In_.Folder,
                                "");
    }
  }

  Platform& P_;
  const RunInputs& In_;
  EndingHost Host_;
  const RunTimings& T_ = kRunTimings;
  Pacer Pace_;
  std::string Sep_, ListFile_, Placeholder_;
  std::optional<ToolProcess> Tool_;
  std::vector<ListedBitmap> Items_;
  std::vector<std::string> LeftOut_, NotDeleted_;
  std::size_t Converted_ = 0;
  bool Watching_ = false;      // a watched sequence runs (WatchKeyboard)...
  bool FirstWatched_ = false;  // ...and its first string has not yet gone
  bool ToolStillWorking_ = false;
  RunEnd End_;
};

// Between double quotes, a backslash run doubled before a quote and the quote escaped: read back
// as Arg whole by the Windows rules (and by the Linux back end, which follows them).
std::string QuotedArgument(const std::string& Arg) {
  std::string Quoted = "\"";
  std::size_t Backslashes = 0;
  for (const char C : Arg) {
    if (C == '\\') {
      ++Backslashes;
      continue;
    }
    Quoted.append(C == '"' ? 2 * Backslashes + 1 : Backslashes, '\\');
    Backslashes = 0;
    Quoted += C;
  }
  Quoted.append(2 * Backslashes, '\\');
  return Quoted + "\"";
}

}  // namespace

std::string ToolCommandLine(const std::string& ToolPath, const std::string& Placeholder,
                            bool PathNamesAFile) {
  const bool Quote = PathNamesAFile && ToolPath.find_first_of(" \t\"") != std::string::npos;
  return (Quote ? QuotedArgument(ToolPath) : ToolPath) + " " + QuotedArgument(Placeholder);
}

RunOutcome RunConversion(Platform& P, const RunInputs& Inputs, RunHost& Host) {
  return Run(P, Inputs, Host).Go();
}

}  // namespace pictrane
