// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ConversionRun.h"

#include <map>
#include <optional>
#include <vector>

#include "conversion/BitmapListing.h"
#include "conversion/FileScript.h"
#include "conversion/HeldKeys.h"
#include "conversion/Pacer.h"
#include "conversion/RunTimings.h"
#include "conversion/SendKeys.h"
#include "pictrane/CalcName.h"
#include "conversion/ToolRemarks.h"
#include "conversion/ToolStart.h"
#include "pictrane/Product.h"
#include "platform/Platform.h"
#include "pictrane/RaisedError.h"

namespace pictrane {

namespace {

constexpr std::size_t kMaxNamesInReport = 20;
// A camera's names share their first eight letters by the hundred; a few of each name say it.
constexpr std::size_t kMaxPicturesPerSharedName = 4;
constexpr const char* kCloseKeys = "%{F4}";

// Raised inside the run when keys may no longer be sent: the focus left the capture tool, another
// program held the keyboard, or others' keys came (Why says which).
struct FocusLost {
  KeysOutcome Why = KeysOutcome::FocusLost;
};
// Raised when Cancel or the main window's close ends a wait between key strings.
struct Halted {};

bool SameStamp(const std::optional<FileStamp>& A, const std::optional<FileStamp>& B) {
  if (!A || !B) return A.has_value() == B.has_value();
  return SameFile(*A, *B);
}

// "1 bitmap was converted; 2 others were left untouched.", in plain English for every count.
std::string Counts(std::size_t Converted, std::size_t Others) {
  const auto Was = [](std::size_t N) { return N == 1 ? " was" : "s were"; };
  if (Converted == 0 && Others == 1) return "The bitmap was not converted.";
  if (Converted == 0) return "None of the " + std::to_string(Others) + " bitmaps was converted.";
  std::string Text = std::to_string(Converted) + " bitmap" + Was(Converted) + " converted";
  if (Others > 0)
    Text += "; " + std::to_string(Others) + " other" + Was(Others) + " left untouched";
  return Text + ".";
}

// One listed bitmap on its way through the run.
struct Item {
  enum class State { NotReached, Interrupted, Disturbed, Sent, Converted, NoPicture, Unfinished };
  std::string Listed;
  FileNames Names;
  std::optional<FileStamp> Bitmap;  // the bitmap as it was when its keys were sent
  std::optional<FileStamp> Before;  // the target as it was before this bitmap's keys
  std::optional<FileStamp> Last;    // the target at the previous look, when it looked right
  bool Delete = false;
  bool Changed = false;  // converted, but the bitmap is no longer the file whose keys were sent
  FileRemarks Remarks;   // what the tool said about it, where it can tell us
  State Now = State::NotReached;
};

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
      Item Item;
      Item.Names = DeriveNames(In_.Folder, Sep_, Name);
      Item.Listed = std::move(Name);
      Items_.push_back(std::move(Item));
    }
    Pace_.Whole(T_.StartPauseMs);

    // Only what the report can use is kept of the tool's standard error.
    std::vector<FileNames> Files;
    Files.reserve(Items_.size());
    for (const Item& Item : Items_) Files.push_back(Item.Names);
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
      (Started.End == ToolStartEnd::Closed ? WasStopped_ : WasCancelled_) = true;
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
      FocusWasLost_ = true;
      LostBy_ = Lost.Why;
    } catch (const Halted&) {
    } catch (const RaisedError& E) {
      Failure_ = E.Description;
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
      Item& Item = Items_[I];
      P_.WindowSystem.DoEvents();
      if (Host_.StopRequested()) {
        WasStopped_ = true;
        return;
      }
      if (P_.RunProgress.CancelRequested()) {
        WasCancelled_ = true;
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
      Item.Now = Item::State::Interrupted;
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
          Item.Now = Item::State::Disturbed;
        throw;
      }
      Item.Now = Item::State::Sent;
      Item.Delete = Host_.DeleteOption() == 1;
      P_.WindowSystem.DoEvents();
    }
  }

  // The pause owed to the previous key string ends just before this string's first event; this
  // string's starts once its last event is handed over. What the back end does before and after
  // those moments (planning the keys, its bookkeeping) falls inside the pauses.
  // With WaitAs, the place of the bitmap whose first string this is, keys held by others before
  // it are waited for.
  void Send(const KeyActions& Actions, int PauseAfterMs, std::size_t WaitAs = 0) {
    PacedString Pacing(Pace_, PauseAfterMs, Watching_ && !FirstWatched_);
    KeysOutcome Outcome = SendKeys(P_.WindowSystem.Keyboard(), Actions, *Tool_, Pacing);
    while (Outcome == KeysOutcome::KeysHeld && WaitAs != 0) {
      switch (WaitForKeyboardRelease(P_, Host_, WaitAs, Items_[WaitAs - 1].Listed)) {
        case ReleaseWait::Released:
          Outcome = SendKeys(P_.WindowSystem.Keyboard(), Actions, *Tool_, Pacing);
          continue;
        case ReleaseWait::Cancelled:
          WasCancelled_ = true;
          throw Halted{};
        case ReleaseWait::Closed:
          WasStopped_ = true;
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
    if (!FocusWasLost_) {
      try {
        WatchKeyboard();
        Send(ParseKeys(kCloseKeys), 0);
        CloseKeysTaken_ = true;
        return;
      } catch (const FocusLost&) {
      } catch (const RaisedError&) {
        // Already reporting a failure; the close request below still ends the tool.
      }
    }
    ToolEnded_ = !P_.Processes.IsRunning(Tool_->Root());
    if (!ToolEnded_) Tool_->CloseWindows();
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
    if (ToolEnded_ || !P_.Processes.IsRunning(Tool_->Root())) return;
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
      for (Item& Item : Items_) {
        if (Item.Now != Item::State::Sent) continue;
        auto Now = P_.FileSystem.Stat(Item.Names.Target);
        if (!Now || Now->Size == 0 || SameStamp(Now, Item.Before)) Now.reset();
        if (Now && Item.Last && SameStamp(Now, Item.Last)) {
          Item.Now = Item::State::Converted;
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
    const Item::State Missing =
        ToolStillWorking_ ? Item::State::Unfinished : Item::State::NoPicture;
    for (Item& Item : Items_)
      if (Item.Now == Item::State::Sent) Item.Now = Missing;
  }

  // The tool's own words about the files, read once it has ended (or been given up on).
  void TakeRemarks() {
    const int WaitMs = ToolStillWorking_ ? 0 : T_.ToolRemarksWaitMs;
    std::vector<FileNames> Files;
    Files.reserve(Items_.size());
    for (const Item& Item : Items_) Files.push_back(Item.Names);
    std::vector<FileRemarks> Remarks =
        RemarksOn(P_.Processes.ErrorLines(Tool_->Root(), WaitMs), Files);
    for (std::size_t I = 0; I < Items_.size(); ++I) Items_[I].Remarks = std::move(Remarks[I]);
  }

  // Only the listed file itself goes, only once its own picture exists, and only while it is
  // still the file whose keys were sent: one rewritten or replaced since may hold what the
  // picture does not show.
  void DeleteConverted() {
    for (Item& Item : Items_) {
      if (Item.Now != Item::State::Converted || !Item.Delete) continue;
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

  // The first Most of Names, each after Before, then how many more there are (after More).
  static std::string Capped(const std::vector<std::string>& Names, std::size_t Most,
                            const char* Before, const char* More) {
    std::string S;
    for (std::size_t I = 0; I < Names.size() && I < Most; ++I) S += Before + Names[I];
    if (Names.size() > Most) S += More + std::to_string(Names.size() - Most) + " more";
    return S;
  }

  static std::string NameList(const std::vector<std::string>& Names) {
    return Capped(Names, kMaxNamesInReport, "\r\n", "\r\n... and ");
  }

  // The bitmaps in one of the States, in the order of the run.
  std::vector<std::string> NamesIn(std::initializer_list<Item::State> States) const {
    std::vector<std::string> Names;
    for (const Item& Item : Items_)
      for (Item::State State : States)
        if (Item.Now == State) Names.push_back(Item.Listed);
    return Names;
  }

  // Pictures whose variable names give one calculator name replace each other there, though
  // the files differ; the keys stay as they are, so the user renames the bitmaps.
  std::vector<std::string> SharedCalculatorNames() const {
    std::map<std::string, std::vector<std::string>> ByName;
    std::vector<std::string> Order;
    for (const Item& Item : Items_) {
      if (Item.Now != Item::State::Converted) continue;
      // No letter a calculator name may hold: the name is the one the tool said it chose, where
      // it said one (its fallback may be another bitmap's own name); else nothing to tell.
      std::string Name = CalculatorName(Item.Names.Variable);
      if (Name.empty()) Name = CalculatorName(Item.Remarks.NamedAs);
      if (Name.empty()) continue;
      auto& Pictures = ByName[Name];
      if (Pictures.empty()) Order.push_back(Name);
      Pictures.push_back(PictureName(Item.Listed));
    }
    std::vector<std::string> Lines;
    for (const std::string& Name : Order) {
      const auto& Pictures = ByName[Name];
      if (Pictures.size() < 2) continue;
      std::string Line = "\"" + Name + "\":";
      Line += Capped(Pictures, kMaxPicturesPerSharedName, " ", " and ");
      Lines.push_back(Line);
    }
    return Lines;
  }

  void Report(bool Complete) {
    std::vector<std::string> Changed, NoPicture, NamedByTool;
    bool NoPictureSaid = false;
    for (const Item& Item : Items_) {
      if (Item.Changed) Changed.push_back(Item.Listed);
      if (Item.Now == Item::State::NoPicture) {
        const std::string& Said = Item.Remarks.Said;
        NoPicture.push_back(Said.empty() ? Item.Listed : Item.Listed + ": " + Said);
        NoPictureSaid = NoPictureSaid || !Said.empty();
      }
      if (Item.Now == Item::State::Converted && !Item.Remarks.NamedAs.empty())
        NamedByTool.push_back(Item.Listed + ": " + Item.Remarks.NamedAs);
    }
    const std::vector<std::string> Shared = SharedCalculatorNames();
    if (Complete && NotDeleted_.empty() && Changed.empty() && Shared.empty() &&
        NamedByTool.empty()) {
      P_.DesktopNotifier.Notify(std::to_string(Converted_) + " pictures written to " + In_.Folder,
                                "");
      return;
    }
    std::string Text;
    const std::vector<std::string> Disturbed = NamesIn({Item::State::Disturbed});
    if (!Disturbed.empty()) {
      Text = "Keys that this program did not type came among the keys for " + Disturbed.front() +
             ", so no more keys were sent.\r\n";
    } else if (LostBy_ == KeysOutcome::KeysHeld) {
      Text = "Keys were held down on the keyboard for " +
             std::to_string(T_.KeyReleaseWaitMs / 1000) +
             " seconds, so no more keys were sent.\r\n";
    } else if (LostBy_ == KeysOutcome::KeyboardGrabbed) {
      Text = "Another program held the keyboard, so no more keys were sent.\r\n";
    } else if (FocusWasLost_ && ToolEnded_) {
      Text = "The capture tool ended unexpectedly, so no more keys were sent.\r\n";
    } else if (FocusWasLost_) {
      Text = "The capture tool lost the keyboard focus, so no more keys were sent.\r\n";
    } else if (WasStopped_) {
      Text = "The conversion was stopped because the window was closed.\r\n";
    } else if (WasCancelled_) {
      Text = "The conversion was cancelled.\r\n";
    } else if (!Failure_.empty()) {
      Text = "The conversion stopped: " + Failure_ + "\r\n";
    }
    const std::size_t Listed = Items_.size() + LeftOut_.size();
    Text += Counts(Converted_, Listed - Converted_);
    const auto Section = [&Text](const char* Heading, const std::vector<std::string>& Names,
                                 const char* Next) {
      if (Names.empty()) return;
      Text += std::string("\r\n\r\n") + Heading + NameList(Names) + "\r\n" + Next;
    };
    // Where the tool could tell us why, its own words stand on the bitmap's line; its window
    // has closed by now.
    Section("No picture appeared for these bitmaps, so they were kept:", NoPicture,
            NoPictureSaid
                ? "Each reason is the capture tool's; where none is given, check that the bitmap "
                  "opens in an image viewer. Then convert them again."
                : "Look for a message in the capture tool's window, check that each bitmap opens "
                  "in an image viewer, then convert them again.");
    // Only a tool that took every key, its close keys too, is known to be at work still.
    Section(CloseKeysTaken_
                ? "The capture tool was still working when the run stopped waiting for it, so "
                  "these bitmaps were kept:"
                : "The capture tool had not closed when the run stopped waiting for it, so these "
                  "bitmaps were kept:",
            NamesIn({Item::State::Unfinished}),
            "Their pictures may still appear; convert the ones without a picture again once the "
            "tool has finished.");
    Section(
        "The capture tool may have taken other keys with the keys for these bitmaps, so they "
        "were kept whatever their pictures show:",
        Disturbed, "Convert them again.");
    Section("These bitmaps were not converted, so they were kept:",
            NamesIn({Item::State::Interrupted, Item::State::NotReached}),
            "Convert the folder again to convert them.");
    Section("These bitmaps were left out of the run and kept:", LeftOut_,
            "Rename them so that each name can be typed and makes a picture of its own, then "
            "convert them again.");
    Section("These bitmaps changed after their keys were sent, so they were kept:", Changed,
            "Their pictures may show what they held before; convert them again.");
    Section("These bitmaps were converted but could not be deleted:", NotDeleted_,
            "Delete them yourself once you no longer need them.");
    Section(
        "These pictures share a calculator name, so on the calculator each replaces the "
        "one before:",
        Shared, "Rename the bitmaps so that their names differ in the first eight letters.");
    Section(
        "The names of these bitmaps hold no letter a calculator name takes, so the capture tool "
        "named their pictures itself:",
        NamedByTool, "Rename the bitmaps to choose the calculator names yourself.");
    P_.WindowSystem.MessageBox(Text, MessageIcon::Exclamation, kAppTitle);
  }

  Platform& P_;
  const RunInputs& In_;
  EndingHost Host_;
  const RunTimings& T_ = kRunTimings;
  Pacer Pace_;
  std::string Sep_, ListFile_, Placeholder_;
  std::optional<ToolProcess> Tool_;
  std::vector<Item> Items_;
  std::vector<std::string> LeftOut_, NotDeleted_;
  std::size_t Converted_ = 0;
  bool FocusWasLost_ = false;
  bool Watching_ = false;      // a watched sequence runs (WatchKeyboard)...
  bool FirstWatched_ = false;  // ...and its first string has not yet gone
  KeysOutcome LostBy_ = KeysOutcome::Sent;
  bool ToolEnded_ = false;
  bool ToolStillWorking_ = false;
  bool CloseKeysTaken_ = false;  // the close keys went, undisturbed
  bool WasStopped_ = false;
  bool WasCancelled_ = false;
  std::string Failure_;
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
