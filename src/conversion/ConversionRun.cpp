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

bool SameStamp(const std::optional<FileStamp>& a, const std::optional<FileStamp>& b) {
  if (!a || !b) return a.has_value() == b.has_value();
  return a->Size == b->Size && a->ModifiedNs == b->ModifiedNs;
}

class Run {
 public:
  Run(Platform& p, const RunInputs& in, RunHost& host) : P(p), In(in), Host(host) {
    Sep = P.Files.Separator();
    const std::string app = P.Files.ApplicationFolder();
    ListFile = app + Sep + "list.txt";
    Placeholder = app + Sep + "dummy.bmp";
  }

  RunOutcome Go() {
    if (In.Folder.empty()) {
      P.Windows.MessageBox("Please specify folder.", MessageIcon::Exclamation, kAppTitle);
      return RunOutcome::Idle;
    }
    if (In.DeviceFolder.empty()) {
      P.Windows.MessageBox("Please specify device folder.", MessageIcon::Exclamation, kAppTitle);
      return RunOutcome::Idle;
    }

    try {
      P.Listing.ListBitmaps(In.Folder, ListFile);
    } catch (const RaisedError& e) {
      return NotStarted("The bitmaps of the folder could not be listed.", e);
    }
    P.Time.Sleep(kStartPauseMs);

    try {
      Tool = P.Programs.Start(ToolCommandLine(In.ScreenCapturePath, Placeholder),
                              WindowState::MaximizedFocus);
    } catch (const RaisedError& e) {
      return NotStarted("The capture tool could not be started.", e);
    }
    P.Time.Sleep(kStartPauseMs);

    try {
      ConvertListedFiles();
      Send("%{F4}");
    } catch (const FocusLost&) {
      FocusWasLost = true;
      Remaining += CountRemainingLines();
    } catch (const RaisedError& e) {
      Failure = e.Description;
      CloseToolIfFocused();
    }
    List.reset();
    RemoveListFile();
    Report();
    return RunOutcome::Finished;
  }

 private:
  // Nothing runs yet, so the window stays as it was for another try.
  RunOutcome NotStarted(const std::string& what, const RaisedError& e) {
    RemoveListFile();
    P.Windows.MessageBox(what + "\r\n" + e.Description, MessageIcon::Exclamation, kAppTitle);
    return RunOutcome::Idle;
  }

  void ConvertListedFiles() {
    List = P.Files.OpenText(ListFile);
    while (!List->AtEnd()) {
      const std::string name = List->ReadLine();
      if (name.empty()) continue;
      P.Windows.DoEvents();
      if (Host.StopRequested()) {
        WasStopped = true;
        Remaining += 1 + CountRemainingLines();
        break;
      }
      ConvertOne(name);
      P.Windows.DoEvents();
    }
  }

  void ConvertOne(const std::string& listed) {
    const FileNames names = DeriveNames(In.Folder, Sep, listed);
    const auto before = P.Files.Stat(names.Target);
    try {
      for (const ScriptStep& step : FileScript(names, In.DeviceFolder)) {
        if (step.PauseBeforeMs > 0) P.Time.Sleep(step.PauseBeforeMs);
        Send(step.Keys);
        P.Time.Sleep(step.PauseAfterMs);
      }
    } catch (...) {
      ++Remaining;  // this bitmap was not converted
      throw;
    }
    ++Converted;

    if (Host.DeleteOption() != 1) return;
    if (!WaitForPicture(names.Target, before)) {
      NotConverted.push_back(listed);
      return;
    }
    // The listed file itself goes: it is the one that was opened and converted.
    try {
      P.Files.DeleteFile(names.Source);
    } catch (const RaisedError& e) {
      NotDeleted.push_back(listed + " (" + e.Description + ")");
    }
  }

  // The picture counts once it exists, is not empty, is not the one that was there before, and
  // holds still from one poll to the next: a tool writing in place has finished with it.
  bool WaitForPicture(const std::string& target, const std::optional<FileStamp>& before) {
    const std::int64_t deadline = P.Time.NowMs() + kTargetWaitMs;
    std::optional<FileStamp> last;
    for (;;) {
      auto now = P.Files.Stat(target);
      if (!now || now->Size == 0 || SameStamp(now, before)) now.reset();
      if (now && last && SameStamp(now, last)) return true;
      if (P.Time.NowMs() >= deadline) return false;
      last = now;
      P.Time.Sleep(kTargetPollMs);
      P.Windows.DoEvents();  // the window stays responsive while a slow tool writes
    }
  }

  void Send(const std::string& keys) {
    const KeyActions actions = ParseKeys(keys);  // bad input sends nothing
    if (!P.Windows.SendKeys(actions, Tool)) throw FocusLost{};
  }

  void CloseToolIfFocused() {
    try {
      P.Windows.SendKeys(ParseKeys("%{F4}"), Tool);
    } catch (const RaisedError&) {
      // Already reporting a failure; the tool may stay open.
    }
  }

  void RemoveListFile() {
    try {
      if (P.Files.Stat(ListFile)) P.Files.DeleteFile(ListFile);
    } catch (const RaisedError&) {
      // A list left behind is rewritten by the next run.
    }
  }

  std::size_t CountRemainingLines() {
    std::size_t n = 0;
    try {
      while (List && !List->AtEnd()) {
        if (!List->ReadLine().empty()) ++n;
      }
    } catch (const RaisedError&) {
    }
    return n;
  }

  static std::string NameList(const std::vector<std::string>& names) {
    std::string s;
    for (std::size_t i = 0; i < names.size() && i < kMaxNamesInReport; ++i) s += "\r\n" + names[i];
    if (names.size() > kMaxNamesInReport)
      s += "\r\n... and " + std::to_string(names.size() - kMaxNamesInReport) + " more";
    return s;
  }

  void Report() {
    std::string text;
    const std::string counts = std::to_string(Converted) + " bitmap(s) were converted; the other " +
                               std::to_string(Remaining) + " were left untouched.";
    if (FocusWasLost) {
      text = "The capture tool lost the keyboard focus, so no more keys were sent.\r\n" + counts;
    } else if (WasStopped) {
      text = "The conversion was stopped because the window was closed.\r\n" + counts;
    } else if (!Failure.empty()) {
      text = "The conversion stopped: " + Failure + "\r\n" + std::to_string(Converted) +
             " bitmap(s) were converted; the rest were left untouched.";
    }
    if (!NotConverted.empty()) {
      if (!text.empty()) text += "\r\n\r\n";
      text += "No picture appeared for these bitmaps, so they were kept:" + NameList(NotConverted);
    }
    if (!NotDeleted.empty()) {
      if (!text.empty()) text += "\r\n\r\n";
      text += "These bitmaps were converted but could not be deleted:" + NameList(NotDeleted);
    }
    if (!text.empty()) P.Windows.MessageBox(text, MessageIcon::Exclamation, kAppTitle);
  }

  Platform& P;
  const RunInputs& In;
  RunHost& Host;
  std::string Sep, ListFile, Placeholder;
  ProcessId Tool = 0;
  std::unique_ptr<LineReader> List;
  std::size_t Converted = 0;
  std::size_t Remaining = 0;
  bool FocusWasLost = false;
  bool WasStopped = false;
  std::string Failure;
  std::vector<std::string> NotConverted, NotDeleted;
};

}  // namespace

std::string ToolCommandLine(const std::string& ToolPath, const std::string& Placeholder) {
  const bool quote = ToolPath.find(' ') != std::string::npos;
  const std::string tool = quote ? "\"" + ToolPath + "\"" : ToolPath;
  return tool + " \"" + Placeholder + "\"";
}

RunOutcome RunConversion(Platform& P, const RunInputs& Inputs, RunHost& Host) {
  return Run(P, Inputs, Host).Go();
}

}  // namespace pictrane
