#include "ConversionRun.h"

#include <optional>
#include <vector>

#include "../platform/Application.h"
#include "../platform/RaisedError.h"
#include "BitmapListing.h"
#include "FileScript.h"
#include "SendKeys.h"
#include "ToolStart.h"

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
  Run(Platform& p, const RunInputs& in, RunHost& host) : P(p), In(in), Host(host) {
    Sep = P.Files.Separator();
    const std::string app = P.Files.ApplicationFolder();
    ListFile = In.ListFile.empty() ? app + Sep + "list.txt" : In.ListFile;
    Placeholder = In.Placeholder.empty() ? app + Sep + "dummy.bmp" : In.Placeholder;
  }

  RunOutcome Go() {
    if (In.Folder.empty()) return Refuse("Please specify folder.");
    if (In.DeviceFolder.empty()) return Refuse("Please specify device folder.");

    // Folder problems are found here, before anything starts, so the window stays for another
    // try and no tool flashes up for nothing.
    BitmapList listed;
    try {
      listed = ListBitmaps(P.Listing, In.Folder);
    } catch (const RaisedError& e) {
      return Refuse("The folder \"" + In.Folder + "\" cannot be read.\r\n" + e.Description);
    }
    if (listed.Bitmaps.empty() && listed.LeftOut.empty())
      return Refuse("There are no bitmaps (*.bmp) in \"" + In.Folder + "\".");
    if (listed.Bitmaps.empty())
      return Refuse("None of the bitmaps in \"" + In.Folder +
                    "\" can be converted:" + NameList(listed.LeftOut));
    LeftOut = std::move(listed.LeftOut);

    try {
      P.Files.ReplaceContent(ListFile, ListFileText(listed.Bitmaps));
    } catch (const RaisedError& e) {
      return Refuse("The list of bitmaps could not be written.\r\n" + e.Description);
    }
    Items.reserve(listed.Bitmaps.size());
    for (std::string& name : listed.Bitmaps) {
      Item item;
      item.Listed = std::move(name);
      Items.push_back(std::move(item));
    }
    P.Time.Sleep(kStartPauseMs);

    try {
      Tool = StartTool(P, ToolCommandLine(In.ScreenCapturePath, Placeholder));
    } catch (const RaisedError& e) {
      RemoveListFile();
      return Refuse("The capture tool could not be started.\r\n" + e.Description);
    }
    P.Time.Sleep(kStartPauseMs);
    P.Progress.Begin(Items.size());

    try {
      ConvertListedFiles();
    } catch (const FocusLost&) {
      FocusWasLost = true;
    } catch (const RaisedError& e) {
      Failure = e.Description;
    }
    CheckPictures();
    DeleteConverted();
    CloseTool();
    RemoveListFile();

    const bool complete = Converted == Items.size() + LeftOut.size();
    P.Progress.End(complete);
    Report(complete);
    return complete ? RunOutcome::Finished : RunOutcome::Incomplete;
  }

 private:
  // Nothing runs yet, so the window stays as it was for another try.
  RunOutcome Refuse(const std::string& text) {
    P.Windows.MessageBox(text, MessageIcon::Exclamation, kAppTitle);
    return RunOutcome::Idle;
  }

  void ConvertListedFiles() {
    for (std::size_t i = 0; i < Items.size(); ++i) {
      Item& item = Items[i];
      P.Windows.DoEvents();
      if (Host.StopRequested()) {
        WasStopped = true;
        return;
      }
      if (P.Progress.CancelRequested()) {
        WasCancelled = true;
        return;
      }
      P.Progress.Step(i + 1, item.Listed);
      const FileNames names = DeriveNames(In.Folder, Sep, item.Listed);
      item.Target = names.Target;
      item.Before = P.Files.Stat(item.Target);
      item.Now = Item::State::Interrupted;
      for (const ScriptStep& step : FileScript(names, In.DeviceFolder)) {
        if (step.PauseBeforeMs > 0) P.Time.Sleep(step.PauseBeforeMs);
        Send(step.Keys);
        P.Time.Sleep(step.PauseAfterMs);
      }
      item.Now = Item::State::Sent;
      item.Delete = Host.DeleteOption() == 1;
      P.Windows.DoEvents();
    }
  }

  // One bounded wait for all the pictures, not one per file: the tool goes on writing while the
  // next file's keys are typed. A picture counts once it exists, is not empty, is not the file
  // that was there before, and holds still from one poll to the next.
  void CheckPictures() {
    const std::int64_t deadline = P.Time.NowMs() + kTargetWaitMs;
    for (;;) {
      bool waiting = false;
      for (Item& item : Items) {
        if (item.Now != Item::State::Sent) continue;
        auto now = P.Files.Stat(item.Target);
        if (!now || now->Size == 0 || SameStamp(now, item.Before)) now.reset();
        if (now && item.Last && SameStamp(now, item.Last)) {
          item.Now = Item::State::Converted;
          ++Converted;
        } else {
          item.Last = now;
          waiting = true;
        }
      }
      if (!waiting) return;
      if (P.Time.NowMs() >= deadline) break;
      P.Time.Sleep(kTargetPollMs);
      P.Windows.DoEvents();  // the window stays responsive while a slow tool writes
    }
    for (Item& item : Items)
      if (item.Now == Item::State::Sent) item.Now = Item::State::NoPicture;
  }

  // Only the listed file itself goes, and only once its own picture exists.
  void DeleteConverted() {
    for (const Item& item : Items) {
      if (item.Now != Item::State::Converted || !item.Delete) continue;
      try {
        P.Files.DeleteFile(DeriveNames(In.Folder, Sep, item.Listed).Source);
      } catch (const RaisedError& e) {
        NotDeleted.push_back(item.Listed + " (" + e.Description + ")");
      }
    }
  }

  // With the focus still on the tool it closes as the user would close it; otherwise it gets a
  // close request to its window, since keys must not go anywhere else.
  void CloseTool() {
    if (!FocusWasLost) {
      try {
        Send("%{F4}");
        return;
      } catch (const FocusLost&) {
      } catch (const RaisedError&) {
        // Already reporting a failure; the close request below still ends the tool.
      }
    }
    ToolEnded = !P.Programs.IsRunning(Tool);
    if (!ToolEnded) P.Windows.CloseWindowsOf(Tool);
  }

  void Send(const std::string& keys) {
    const KeyActions actions = ParseKeys(keys);  // bad input sends nothing
    if (!P.Windows.SendKeys(actions, Tool)) throw FocusLost{};
  }

  void RemoveListFile() {
    try {
      if (P.Files.Stat(ListFile)) P.Files.DeleteFile(ListFile);
    } catch (const RaisedError&) {
      // A list left behind is rewritten by the next run.
    }
  }

  static std::string NameList(const std::vector<std::string>& names) {
    std::string s;
    for (std::size_t i = 0; i < names.size() && i < kMaxNamesInReport; ++i) s += "\r\n" + names[i];
    if (names.size() > kMaxNamesInReport)
      s += "\r\n... and " + std::to_string(names.size() - kMaxNamesInReport) + " more";
    return s;
  }

  std::vector<std::string> NamesIn(Item::State state) const {
    std::vector<std::string> names;
    for (const Item& item : Items)
      if (item.Now == state) names.push_back(item.Listed);
    return names;
  }

  void Report(bool complete) {
    const std::size_t listed = Items.size() + LeftOut.size();
    if (complete && NotDeleted.empty()) {
      P.Notices.Notify(std::to_string(Converted) + " pictures written to " + In.Folder, "");
      return;
    }
    std::string text;
    if (FocusWasLost && ToolEnded) {
      text = "The capture tool ended unexpectedly, so no more keys were sent.\r\n";
    } else if (FocusWasLost) {
      text = "The capture tool lost the keyboard focus, so no more keys were sent.\r\n";
    } else if (WasStopped) {
      text = "The conversion was stopped because the window was closed.\r\n";
    } else if (WasCancelled) {
      text = "The conversion was cancelled.\r\n";
    } else if (!Failure.empty()) {
      text = "The conversion stopped: " + Failure + "\r\n";
    }
    text += std::to_string(Converted) + " bitmap(s) were converted; the other " +
            std::to_string(listed - Converted) + " were left untouched.";
    const auto section = [&text](const char* heading, const std::vector<std::string>& names) {
      if (!names.empty()) text += std::string("\r\n\r\n") + heading + NameList(names);
    };
    section("No picture appeared for these bitmaps, so they were kept:",
            NamesIn(Item::State::NoPicture));
    std::vector<std::string> notConverted = NamesIn(Item::State::Interrupted);
    for (const std::string& name : NamesIn(Item::State::NotReached)) notConverted.push_back(name);
    section("These bitmaps were not converted, so they were kept:", notConverted);
    section("These bitmaps were left out of the run and kept:", LeftOut);
    section("These bitmaps were converted but could not be deleted:", NotDeleted);
    P.Windows.MessageBox(text, MessageIcon::Exclamation, kAppTitle);
  }

  Platform& P;
  const RunInputs& In;
  RunHost& Host;
  std::string Sep, ListFile, Placeholder;
  ProcessId Tool = 0;
  std::vector<Item> Items;
  std::vector<std::string> LeftOut, NotDeleted;
  std::size_t Converted = 0;
  bool FocusWasLost = false;
  bool ToolEnded = false;
  bool WasStopped = false;
  bool WasCancelled = false;
  std::string Failure;
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
