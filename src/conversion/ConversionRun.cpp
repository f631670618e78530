// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ConversionRun.h"

#include <optional>
#include <vector>

#include "platform/Application.h"
#include "platform/RaisedError.h"
#include "conversion/BitmapListing.h"
#include "conversion/FileScript.h"
#include "conversion/SendKeys.h"
#include "conversion/ToolStart.h"

namespace pictrane {

namespace {

constexpr int kStartPauseMs = 100;
constexpr std::size_t kMaxNamesInReport = 20;

// Raised inside the run when keys may no longer be sent: the focus left the capture tool, or
// another program held the keyboard.
struct FocusLost {
  bool Grabbed = false;
};

bool SameStamp(const std::optional<FileStamp>& A, const std::optional<FileStamp>& B) {
  if (!A || !B) return A.has_value() == B.has_value();
  return A->Size == B->Size && A->ModifiedNs == B->ModifiedNs;
}

// One listed bitmap on its way through the run.
struct Item {
  enum class State { NotReached, Interrupted, Sent, Converted, NoPicture };
  std::string Listed;
  std::string Target;               // once its keys are sent
  std::optional<FileStamp> Before;  // the target as it was before this bitmap's keys
  std::optional<FileStamp> Last;    // the target at the previous poll, when it looked right
  bool Delete = false;
  State Now = State::NotReached;
};

class Run {
 public:
  Run(Platform& P, const RunInputs& In, RunHost& Host) : P_(P), In_(In), Host_(Host) {
    Sep_ = P_.FileSystem.Separator();
    const std::string App = P_.FileSystem.ApplicationFolder();
    ListFile_ = In_.ListFile.empty() ? App + Sep_ + "list.txt" : In_.ListFile;
    Placeholder_ = In_.Placeholder.empty() ? App + Sep_ + "dummy.bmp" : In_.Placeholder;
  }

  RunOutcome Go() {
    if (In_.Folder.empty()) return Refuse("Please specify folder.");
    if (In_.DeviceFolder.empty()) return Refuse("Please specify device folder.");

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
      Item.Listed = std::move(Name);
      Items_.push_back(std::move(Item));
    }
    P_.Clock.Sleep(kStartPauseMs);

    try {
      Tool_ = StartTool(P_, ToolCommandLine(In_.ScreenCapturePath, Placeholder_));
    } catch (const RaisedError& E) {
      RemoveListFile();
      return Refuse("The capture tool could not be started.\r\n" + E.Description);
    }
    P_.Clock.Sleep(kStartPauseMs);
    P_.RunProgress.Begin(Items_.size());

    try {
      ConvertListedFiles();
    } catch (const FocusLost& Lost) {
      FocusWasLost_ = true;
      KeyboardWasGrabbed_ = Lost.Grabbed;
    } catch (const RaisedError& E) {
      Failure_ = E.Description;
    }
    CheckPictures();
    DeleteConverted();
    CloseTool();
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
      const FileNames Names = DeriveNames(In_.Folder, Sep_, Item.Listed);
      Item.Target = Names.Target;
      Item.Before = P_.FileSystem.Stat(Item.Target);
      Item.Now = Item::State::Interrupted;
      for (const ScriptStep& Step : FileScript(Names, In_.DeviceFolder)) {
        if (Step.PauseBeforeMs > 0) P_.Clock.Sleep(Step.PauseBeforeMs);
        Send(Step.Keys);
        P_.Clock.Sleep(Step.PauseAfterMs);
      }
      Item.Now = Item::State::Sent;
      Item.Delete = Host_.DeleteOption() == 1;
      P_.WindowSystem.DoEvents();
    }
  }

  // One bounded wait for all the pictures, not one per file: the tool goes on writing while the
  // next file's keys are typed. A picture counts once it exists, is not empty, is not the file
  // that was there before, and holds still from one poll to the next.
  void CheckPictures() {
    const std::int64_t Deadline = P_.Clock.NowMs() + kTargetWaitMs;
    for (;;) {
      bool Waiting = false;
      for (Item& Item : Items_) {
        if (Item.Now != Item::State::Sent) continue;
        auto Now = P_.FileSystem.Stat(Item.Target);
        if (!Now || Now->Size == 0 || SameStamp(Now, Item.Before)) Now.reset();
        if (Now && Item.Last && SameStamp(Now, Item.Last)) {
          Item.Now = Item::State::Converted;
          ++Converted_;
        } else {
          Item.Last = Now;
          Waiting = true;
        }
      }
      if (!Waiting) return;
      if (P_.Clock.NowMs() >= Deadline) break;
      P_.Clock.Sleep(kTargetPollMs);
      P_.WindowSystem.DoEvents();  // the window stays responsive while a slow tool writes
    }
    for (Item& Item : Items_)
      if (Item.Now == Item::State::Sent) Item.Now = Item::State::NoPicture;
  }

  // Only the listed file itself goes, and only once its own picture exists.
  void DeleteConverted() {
    for (const Item& Item : Items_) {
      if (Item.Now != Item::State::Converted || !Item.Delete) continue;
      try {
        P_.FileSystem.DeleteFile(DeriveNames(In_.Folder, Sep_, Item.Listed).Source);
      } catch (const RaisedError& E) {
        NotDeleted_.push_back(Item.Listed + " (" + E.Description + ")");
      }
    }
  }

  // With the focus still on the tool it closes as the user would close it; otherwise it gets a
  // close request to its window, since keys must not go anywhere else.
  void CloseTool() {
    if (!FocusWasLost_) {
      try {
        Send("%{F4}");
        return;
      } catch (const FocusLost&) {
      } catch (const RaisedError&) {
        // Already reporting a failure; the close request below still ends the tool.
      }
    }
    ToolEnded_ = !P_.Processes.IsRunning(Tool_->Root());
    if (!ToolEnded_) Tool_->CloseWindows();
  }

  void Send(const std::string& Keys) {
    const KeyActions Actions = ParseKeys(Keys);  // bad input sends nothing
    const KeysOutcome Outcome = P_.WindowSystem.SendKeys(Actions, *Tool_);
    if (Outcome != KeysOutcome::Sent) throw FocusLost{Outcome == KeysOutcome::KeyboardGrabbed};
  }

  void RemoveListFile() {
    try {
      if (P_.FileSystem.Stat(ListFile_)) P_.FileSystem.DeleteFile(ListFile_);
    } catch (const RaisedError&) {
      // A list left behind is rewritten by the next run.
    }
  }

  static std::string NameList(const std::vector<std::string>& Names) {
    std::string S;
    for (std::size_t I = 0; I < Names.size() && I < kMaxNamesInReport; ++I) S += "\r\n" + Names[I];
    if (Names.size() > kMaxNamesInReport)
      S += "\r\n... and " + std::to_string(Names.size() - kMaxNamesInReport) + " more";
    return S;
  }

  std::vector<std::string> NamesIn(Item::State State) const {
    std::vector<std::string> Names;
    for (const Item& Item : Items_)
      if (Item.Now == State) Names.push_back(Item.Listed);
    return Names;
  }

  void Report(bool Complete) {
    const std::size_t Listed = Items_.size() + LeftOut_.size();
    if (Complete && NotDeleted_.empty()) {
      P_.DesktopNotifier.Notify(std::to_string(Converted_) + " pictures written to " + In_.Folder,
                                "");
      return;
    }
    std::string Text;
    if (KeyboardWasGrabbed_) {
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
    Text += std::to_string(Converted_) + " bitmap(s) were converted; the other " +
            std::to_string(Listed - Converted_) + " were left untouched.";
    const auto Section = [&Text](const char* Heading, const std::vector<std::string>& Names) {
      if (!Names.empty()) Text += std::string("\r\n\r\n") + Heading + NameList(Names);
    };
    Section("No picture appeared for these bitmaps, so they were kept:",
            NamesIn(Item::State::NoPicture));
    std::vector<std::string> NotConverted = NamesIn(Item::State::Interrupted);
    for (const std::string& Name : NamesIn(Item::State::NotReached)) NotConverted.push_back(Name);
    Section("These bitmaps were not converted, so they were kept:", NotConverted);
    Section("These bitmaps were left out of the run and kept:", LeftOut_);
    Section("These bitmaps were converted but could not be deleted:", NotDeleted_);
    P_.WindowSystem.MessageBox(Text, MessageIcon::Exclamation, kAppTitle);
  }

  Platform& P_;
  const RunInputs& In_;
  RunHost& Host_;
  std::string Sep_, ListFile_, Placeholder_;
  std::optional<ToolProcess> Tool_;
  std::vector<Item> Items_;
  std::vector<std::string> LeftOut_, NotDeleted_;
  std::size_t Converted_ = 0;
  bool FocusWasLost_ = false;
  bool KeyboardWasGrabbed_ = false;
  bool ToolEnded_ = false;
  bool WasStopped_ = false;
  bool WasCancelled_ = false;
  std::string Failure_;
};

}  // namespace

std::string ToolCommandLine(const std::string& ToolPath, const std::string& Placeholder) {
  const bool Quote = ToolPath.find(' ') != std::string::npos;
  const std::string Tool = Quote ? "\"" + ToolPath + "\"" : ToolPath;
  return Tool + " \"" + Placeholder + "\"";
}

RunOutcome RunConversion(Platform& P, const RunInputs& Inputs, RunHost& Host) {
  return Run(P, Inputs, Host).Go();
}

}  // namespace pictrane
