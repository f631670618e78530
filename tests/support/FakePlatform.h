// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Recording fakes of every platform interface. Each fake appends what it was asked to do to one
// shared transcript, so a test can compare the whole conversation with the system at once.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "pictrane/RaisedError.h"

namespace pictrane::testing {

using Transcript = std::vector<std::string>;

// Thrown by FakeProcesses::Terminate so that the code after it does not run.
struct Terminated {
  int Status;
};

class FakeClock : public Clock {
 public:
  explicit FakeClock(Transcript& log) : Log(log) {}
  void Sleep(int Milliseconds) override;
  std::int64_t NowMs() override { return Now; }
  Transcript& Log;
  std::int64_t Now = 0;
  bool Record = true;
  std::function<void()> OnSleep;  // runs after the time has moved on
};

class FakeCommonControls : public CommonControls {
 public:
  explicit FakeCommonControls(Transcript& log) : Log(log) {}
  void InitCommonControlsEx(const CommonControlsRecord& Record) override;
  Transcript& Log;
};

class FakeFolderDialog : public FolderDialog {
 public:
  explicit FakeFolderDialog(Transcript& log) : Log(log) {}
  std::optional<std::string> BrowseForFolder(WindowHandle Owner, const std::string& Prompt,
                                             const std::string& StartFolder) override;
  Transcript& Log;
  std::optional<std::string> Answer;
};

// Files kept in memory. Paths are compared exactly (the fake is case-sensitive).
class FakeFileSystem : public FileSystem {
 public:
  explicit FakeFileSystem(Transcript& log) : Log(log) {}
  std::string Separator() override { return Sep; }
  // Set up with "/", the fake stands for Linux throughout.
  FolderRules Rules() override { return Sep == "/" ? FolderRules::Linux : FolderRules::Windows; }
  std::string ApplicationFolder() override { return AppFolder; }
  bool Exists(const std::string& Path) override;
  void CreateEmptyFile(const std::string& Path) override;
  void DeleteFile(const std::string& Path) override;
  std::optional<FileStamp> Stat(const std::string& Path) override;
  std::unique_ptr<LineReader> OpenText(const std::string& Path) override;
  void ReplaceContent(const std::string& Path, const std::string& Bytes) override;

  void Put(const std::string& Path, const std::string& Content = "");
  bool Has(const std::string& Path) const { return Files.count(Path) != 0; }
  // Names of the files directly in Folder, in name order.
  std::vector<std::string> NamesIn(const std::string& Folder) const;

  struct File {
    std::string Content;
    std::int64_t Stamp = 0;
    bool ReadOnly = false;
  };
  Transcript& Log;
  std::string Sep = "\\";
  std::string AppFolder = "C:\\app";
  std::map<std::string, File> Files;
  std::set<std::string> Unreadable;  // OpenText fails for these
  std::set<std::string> Unwritable;  // ReplaceContent fails for these
  std::int64_t NextStamp = 1;

  // Where the program keeps its files.
  void CreateUserFolder(const std::string& Folder) override;
  bool CanCreateIn(const std::string& Folder) override { return !Protected.count(Folder); }
  std::string ReadAll(const std::string& Path) override;
  void RemoveStaleTemporaries(const std::string& Folder, int /*MinAgeS*/) override {
    Tidied.push_back(Folder);
  }
  std::set<std::string> Folders;    // made by CreateUserFolder
  std::set<std::string> Protected;  // folders where nothing can be created
  std::vector<std::string> Tidied;  // folders whose stale temporaries were removed
};

// Every file directly in the folder as an ordinary, visible entry, in reverse name order (the
// core must not rely on the system's order), then Extra.
class FakeListing : public DirectoryListing {
 public:
  FakeListing(Transcript& log, FakeFileSystem& files) : Log(log), FileSystem(files) {}
  std::vector<FolderEntry> Entries(const std::string& Folder) override;
  Transcript& Log;
  FakeFileSystem& FileSystem;
  std::vector<FolderEntry> Extra;
  std::optional<std::string> Fail;  // raised as the reason, when set
};

class FakeProfileStore : public ProfileStore {
 public:
  FakeProfileStore(Transcript& log, FakeFileSystem& files) : Log(log), FileSystem(files) {}
  void CreateIfMissing(const std::string& File) override;
  std::string ReadString(const std::string& File, const std::string& Section,
                         const std::string& Key) override;
  std::vector<std::string> KeyNames(const std::string& File, const std::string& Section) override;
  std::vector<std::string> SectionNames(const std::string& File) override;
  std::optional<std::string> StoredText(const std::string& File, const std::string& Section,
                                        const std::string& Key) override;
  std::string TextProblem(const std::string& File) override;
  void RemoveStaleTemporaries(const std::string& File) override;
  // A file the fake file system holds read-only takes no change.
  WriteResult WriteString(const std::string& File, const std::string& Section,
                          const std::string& Key, const std::string& Value) override;
  WriteResult DeleteKey(const std::string& File, const std::string& Section,
                        const std::string& Key) override;
  WriteResult DeleteSection(const std::string& File, const std::string& Section) override;

  // Values by file, then "section/key" in lower case.
  Transcript& Log;
  FakeFileSystem& FileSystem;
  std::map<std::string, std::map<std::string, std::string>> Values;
  bool FailCreate = false;
  std::map<std::string, std::string> Problems;  // TextProblem by file
  std::vector<std::string> Tidied;              // files whose temporaries were removed
};

class FakeProcesses : public Processes {
 public:
  explicit FakeProcesses(Transcript& log) : Log(log) {}
  ProcessId Start(const std::string& CommandLine, WindowState State) override;
  void Stop(ProcessId Process, int WaitMs) override;
  bool IsRunning(ProcessId Process) override { return Process != Ended; }
  std::optional<int> ExitStatus(ProcessId Process) override {
    return Process == Ended ? std::optional<int>(EndStatus) : std::nullopt;
  }
  // What the started tool "wrote" to its standard error, whoever asks.
  std::vector<std::string> ErrorLines(ProcessId /*Process*/, int /*WaitMs*/) override {
    return ErrorOutput;
  }
  [[noreturn]] void Terminate(int Status) override;
  ProcessId ParentProcess(ProcessId Process) override {
    const auto It = Parents.find(Process);
    return It == Parents.end() ? 0 : It->second;
  }
  std::string Environment(const std::string& Name) override;
  ProcessId OwnProcess() override { return OwnPid; }
  int EndSignal() override { return Signal; }
  Transcript& Log;
  std::vector<std::string> ErrorOutput;
  ProcessId OwnPid = 4000;  // the program itself, whose windows may take the focus
  int Signal = 0;           // with which the system asked the program to end
  std::map<ProcessId, ProcessId> Parents;
  std::map<std::string, std::string> Env;
  ProcessId NextPid = 4242;
  bool FailStart = false;
  ProcessId Ended = 0;  // IsRunning is false for this one
  int EndStatus = 1;    // what it ended with
};

// The window system and its keyboard; a key string is one batch, logged as "Keys ...".
class FakeWindowSystem : public WindowSystem, public KeyInjector {
 public:
  explicit FakeWindowSystem(Transcript& log) : Log(log) {}
  void MessageBox(const std::string& Text, MessageIcon Icon, const std::string& Title) override;
  void DoEvents() override;
  KeyInjector& Keyboard() override { return *this; }
  void Plan(const KeyActions& Actions) override;
  // The focus is judged (looked at again while the target asks), then the holder of a grab.
  KeysOutcome StillFree(KeyTarget& Target) override;
  bool HasNext() const override { return Planned_.has_value(); }
  // The whole string is one press.
  std::size_t NextPress(std::size_t From) override { return From == 0 ? 0 : 1; }
  void Send(std::size_t Count) override;
  KeysOutcome Finish(KeyTarget& Target, const std::function<void()>& Handed) override;
  void Abandon() noexcept override { Planned_.reset(); }
  ProcessId FocusedProcess() override { return FocusOwner; }
  // Without a window yet, it lets TimeoutMs pass on the clock.
  bool ShowWindow(ProcessId Process, int TimeoutMs) override;
  std::vector<TopLevelWindow> TopLevelWindows() override { return Tops; }
  // Asks the tool's windows to close: false, asking nothing, for a process in Windowless.
  bool CloseWindowsOf(ProcessId Process) override;

  Transcript& Log;
  ProcessId FocusOwner = 4242;
  std::function<void()> OnCloseWindows;  // the tool's answer to a close request
  std::set<ProcessId> Windowless;        // processes without a window, shown or not
  ProcessId GrabHolder = 0;              // a client holding the keyboard, when not 0
  std::vector<TopLevelWindow> Tops;
  ProcessId WindowOf = 0;                         // when not 0, the only process with a window
  std::int64_t WindowAt = 0;                      // the tool's window takes the focus at this time
  std::function<void()> OnShowWindow;             // runs before each attempt
  std::function<void(const KeyActions&)> OnKeys;  // the other side: a fake capture tool
  std::function<void()> OnDoEvents;
  bool RecordFocusChecks = false;
  int KeyStringsSent = 0;

  // The keyboard as others use it. Others hold keys while the clock is before HeldUntil; the
  // string numbered OthersKeysAt (1-based, counting every string handed over) reaches the tool
  // but answers OthersKeys, as when others' keys came among its own.
  void WatchKeyboard() override;
  bool OthersTyped() override;
  void ForgetOthersKeys() override { Forgiven_ = true; }
  bool OthersHold() override;
  bool AskOthersHold() override;
  FakeClock* Clock = nullptr;
  std::int64_t HeldUntil = -1;
  int OthersKeysAt = 0;
  // Others' keys came in the pause before the string numbered OthersKeysBefore: it answers
  // OthersKeys before its first key where the pacing says they count, and is typed otherwise.
  int OthersKeysBefore = 0;
  bool RecordKeyboard = false;  // logs "WatchKeyboard", "Held" and "OthersHoldKeys"

 private:
  std::optional<KeyActions> Planned_;  // the string planned and not yet typed
  bool Forgiven_ = false;              // others' keys before it do not count
};

class FakeProgress : public RunProgress {
 public:
  explicit FakeProgress(Transcript& log) : Log(log) {}
  void Begin(std::size_t Total) override;
  void Step(std::size_t Index, const std::string& Name) override;
  bool CancelRequested() override { return Cancelled; }
  void End(bool Complete) override;
  Transcript& Log;
  bool Cancelled = false;
  std::function<void(std::size_t Index)> OnStep;
};

class FakeNotifier : public DesktopNotifier {
 public:
  explicit FakeNotifier(Transcript& log) : Log(log) {}
  void Notify(const std::string& Summary, const std::string& Body) override {
    Log.push_back("Notify " + Summary + " | " + Body);
  }
  Transcript& Log;
};

class FakeForm : public FormView {
 public:
  FakeForm(Transcript& log, FormEvents& events) : Log(log), Events(events) {}
  std::string Text(const std::string& Control) override { return Texts[Control]; }
  void SetText(const std::string& Control, const std::string& Text) override;
  int Value(const std::string& Control) override { return Values[Control]; }
  void SetValue(const std::string& Control, int Value) override { Values[Control] = Value; }
  WindowHandle Handle() override { return 0x1234; }
  void Show() override;
  void Unload() override;

  Transcript& Log;
  FormEvents& Events;
  std::map<std::string, std::string> Texts;
  std::map<std::string, int> Values;
  int MaxTextLength = 0;
  bool Shown = false;
  bool Closed = false;
};

class FakeFormFactory : public FormFactory {
 public:
  explicit FakeFormFactory(Transcript& log) : Log(log) {}
  std::unique_ptr<FormView> Create(const FormLayout& Layout, FormEvents& Events) override;
  Transcript& Log;
  FakeForm* Last = nullptr;
};

// A stand-in for the capture tool on the far side of FakeWindowSystem: it follows the file script
// and writes the picture file when the last Enter of a file arrives.
class FakeCaptureTool {
 public:
  explicit FakeCaptureTool(FakeFileSystem& files) : FileSystem(files) {}
  void Receive(const KeyActions& Actions);
  FakeFileSystem& FileSystem;
  std::set<std::string> Refuse;  // targets it never writes
  std::vector<std::string> Written;
  bool Closed = false;  // Alt+F4 arrived

 private:
  int Step = 0;
  std::string Target;
};

// Every fake, wired into one Platform.
struct FakePlatform {
  FakePlatform();
  Transcript Log;
  FakeClock Clock{Log};
  FakeCommonControls CommonControls{Log};
  FakeFolderDialog FolderDialog{Log};
  FakeFileSystem FileSystem{Log};
  FakeListing DirectoryListing{Log, FileSystem};
  FakeProfileStore ProfileStore{Log, FileSystem};
  FakeProcesses Processes{Log};
  FakeWindowSystem WindowSystem{Log};
  FakeFormFactory FormFactory{Log};
  FakeProgress RunProgress{Log};
  FakeNotifier DesktopNotifier{Log};
  FakeCaptureTool Tool{FileSystem};
  Platform P;

  // The transcript without the entries that start with one of Prefixes.
  Transcript Without(std::initializer_list<std::string> Prefixes) const;
  // Only the entries that start with one of Prefixes.
  Transcript Only(std::initializer_list<std::string> Prefixes) const;
};

}  // namespace pictrane::testing
