#include "ConversionRun.h"

#include <optional>
#include <vector>

#include "../platform/Application.h"
#include "../platform/RaisedError.h"
#include "FileScript.h"
#include "SendKeys.h"

namespace pictrane {

namespace {

constexpr int kStartPauseMs = 100;
constexpr std::size_t kMaxNamesInReport = 20;

// Raised inside the run when keys may no longer be sent: the focus left the capture tool.
struct FocusLost {};

bool SameStamp(const std::optional<FileStamp>& A, const std::optional<FileStamp>& B) {
  if (!A || !B) return A.has_value() == B.has_value();
  return A->Size == B->Size && A->ModifiedNs == B->ModifiedNs;
}

class Run {
 public:
  Run(Platform& P, const RunInputs& In, RunHost& Host) : P_(P), In_(In), Host_(Host) {
    Sep_ = P_.Files.Separator();
    const std::string App = P_.Files.ApplicationFolder();
    ListFile_ = App + Sep_ + "list.txt";
    Placeholder_ = App + Sep_ + "dummy.bmp";
  }

  RunOutcome Go() {
    if (In_.Folder.empty()) {
      P_.Windows.MessageBox("Please specify folder.", MessageIcon::Exclamation, kAppTitle);
      return RunOutcome::Idle;
    }
    if (In_.DeviceFolder.empty()) {
      P_.Windows.MessageBox("Please specify device folder.", MessageIcon::Exclamation, kAppTitle);
      return RunOutcome::Idle;
    }

    try {
      P_.Listing.ListBitmaps(In_.Folder, ListFile_);
    } catch (const RaisedError& E) {
      return NotStarted("The bitmaps of the folder could not be listed.", E);
    }
    P_.Time.Sleep(kStartPauseMs);

    try {
      Tool_ = P_.Programs.Start(ToolCommandLine(In_.ScreenCapturePath, Placeholder_),
                                WindowState::MaximizedFocus);
    } catch (const RaisedError& E) {
      return NotStarted("The capture tool could not be started.", E);
    }
    P_.Time.Sleep(kStartPauseMs);

    try {
      ConvertListedFiles();
      Send("%{F4}");
    } catch (const FocusLost&) {
      FocusWasLost_ = true;
      Remaining_ += CountRemainingLines();
    } catch (const RaisedError& E) {
      Failure_ = E.Description;
      CloseToolIfFocused();
    }
    List_.reset();
    RemoveListFile();
    Report();
    return RunOutcome::Finished;
  }

 private:
  // Nothing runs yet, so the window stays as it was for another try.
  RunOutcome NotStarted(const std::string& What, const RaisedError& E) {
    RemoveListFile();
    P_.Windows.MessageBox(What + "\r\n" + E.Description, MessageIcon::Exclamation, kAppTitle);
    return RunOutcome::Idle;
  }

  void ConvertListedFiles() {
    List_ = P_.Files.OpenText(ListFile_);
    while (!List_->AtEnd()) {
      const std::string Name = List_->ReadLine();
      if (Name.empty()) continue;
      P_.Windows.DoEvents();
      if (Host_.StopRequested()) {
        WasStopped_ = true;
        Remaining_ += 1 + CountRemainingLines();
        break;
      }
      ConvertOne(Name);
      P_.Windows.DoEvents();
    }
  }

  void ConvertOne(const std::string& Listed) {
    const FileNames Names = DeriveNames(In_.Folder, Sep_, Listed);
    const auto Before = P_.Files.Stat(Names.Target);
    try {
      for (const ScriptStep& Step : FileScript(Names, In_.DeviceFolder)) {
        if (Step.PauseBeforeMs > 0) P_.Time.Sleep(Step.PauseBeforeMs);
        Send(Step.Keys);
        P_.Time.Sleep(Step.PauseAfterMs);
      }
    } catch (...) {
      ++Remaining_;  // this bitmap was not converted
      throw;
    }
    ++Converted_;

    if (Host_.DeleteOption() != 1) return;
    if (!WaitForPicture(Names.Target, Before)) {
      NotConverted_.push_back(Listed);
      return;
    }
    // The listed file itself goes: it is the one that was opened and converted.
    try {
      P_.Files.DeleteFile(Names.Source);
    } catch (const RaisedError& E) {
      NotDeleted_.push_back(Listed + " (" + E.Description + ")");
    }
  }

  // The picture counts once it exists, is not empty, is not the one that was there before, and
  // holds still from one poll to the next: a tool writing in place has finished with it.
  bool WaitForPicture(const std::string& Target, const std::optional<FileStamp>& Before) {
    const std::int64_t Deadline = P_.Time.NowMs() + kTargetWaitMs;
    std::optional<FileStamp> Last;
    for (;;) {
      auto Now = P_.Files.Stat(Target);
      if (!Now || Now->Size == 0 || SameStamp(Now, Before)) Now.reset();
      if (Now && Last && SameStamp(Now, Last)) return true;
      if (P_.Time.NowMs() >= Deadline) return false;
      Last = Now;
      P_.Time.Sleep(kTargetPollMs);
      P_.Windows.DoEvents();  // the window stays responsive while a slow tool writes
    }
  }

  void Send(const std::string& Keys) {
    const KeyActions Actions = ParseKeys(Keys);  // bad input sends nothing
    if (!P_.Windows.SendKeys(Actions, Tool_)) throw FocusLost{};
  }

  void CloseToolIfFocused() {
    try {
      P_.Windows.SendKeys(ParseKeys("%{F4}"), Tool_);
    } catch (const RaisedError&) {
      // Already reporting a failure; the tool may stay open.
    }
  }

  void RemoveListFile() {
    try {
      if (P_.Files.Stat(ListFile_)) P_.Files.DeleteFile(ListFile_);
    } catch (const RaisedError&) {
      // A list left behind is rewritten by the next run.
    }
  }

  std::size_t CountRemainingLines() {
    std::size_t N = 0;
    try {
      while (List_ && !List_->AtEnd()) {
        if (!List_->ReadLine().empty()) ++N;
      }
    } catch (const RaisedError&) {
    }
    return N;
  }

  static std::string NameList(const std::vector<std::string>& Names) {
    std::string S;
    for (std::size_t I = 0; I < Names.size() && I < kMaxNamesInReport; ++I) S += "\r\n" + Names[I];
    if (Names.size() > kMaxNamesInReport)
      S += "\r\n... and " + std::to_string(Names.size() - kMaxNamesInReport) + " more";
    return S;
  }

  void Report() {
    std::string Text;
    const std::string Counts = std::to_string(Converted_) +
                               " bitmap(s) were converted; the other " +
                               std::to_string(Remaining_) + " were left untouched.";
    if (FocusWasLost_) {
      Text = "The capture tool lost the keyboard focus, so no more keys were sent.\r\n" + Counts;
    } else if (WasStopped_) {
      Text = "The conversion was stopped because the window was closed.\r\n" + Counts;
    } else if (!Failure_.empty()) {
      Text = "The conversion stopped: " + Failure_ + "\r\n" + std::to_string(Converted_) +
             " bitmap(s) were converted; the rest were left untouched.";
    }
    if (!NotConverted_.empty()) {
      if (!Text.empty()) Text += "\r\n\r\n";
      Text += "No picture appeared for these bitmaps, so they were kept:" + NameList(NotConverted_);
    }
    if (!NotDeleted_.empty()) {
      if (!Text.empty()) Text += "\r\n\r\n";
      Text += "These bitmaps were converted but could not be deleted:" + NameList(NotDeleted_);
    }
    if (!Text.empty()) P_.Windows.MessageBox(Text, MessageIcon::Exclamation, kAppTitle);
  }

  Platform& P_;
  const RunInputs& In_;
  RunHost& Host_;
  std::string Sep_, ListFile_, Placeholder_;
  ProcessId Tool_ = 0;
  std::unique_ptr<LineReader> List_;
  std::size_t Converted_ = 0;
  std::size_t Remaining_ = 0;
  bool FocusWasLost_ = false;
  bool WasStopped_ = false;
  std::string Failure_;
  std::vector<std::string> NotConverted_, NotDeleted_;
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
