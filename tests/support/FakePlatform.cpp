// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakePlatform.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "conversion/SendKeys.h"
#include "pictrane/Utf8.h"

namespace pictrane::testing {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Utf8(char32_t c) {
  std::string s;
  AppendUtf8(s, c);
  return s;
}

// Plain text when every action is one unmodified character, else nothing.
std::optional<std::string> AsText(const KeyActions& actions) {
  std::string text;
  for (const KeyAction& a : actions) {
    if (a.Type != KeyAction::Kind::Character || a.Modifiers != kNoModifier || a.Count != 1)
      return std::nullopt;
    text += Utf8(a.Character);
  }
  return text;
}

bool GlobMatch(const std::string& pattern, const std::string& name) {
  std::size_t p = 0, n = 0, star = std::string::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p, ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++, mark = n;
    } else if (star != std::string::npos) {
      p = star + 1, n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Critical:
      return "Critical";
    case MessageIcon::Exclamation:
      return "Exclamation";
    case MessageIcon::Question:
      return "Question";
    case MessageIcon::Information:
      return "Information";
    case MessageIcon::None:
      break;
  }
  return "None";
}

}  // namespace

void FakeClock::Sleep(int Milliseconds) {
  if (Record) Log.push_back("Sleep " + std::to_string(Milliseconds));
  Now += Milliseconds;
  if (OnSleep) OnSleep();
}

void FakeCommonControls::InitCommonControlsEx(const CommonControlsRecord& Record) {
  std::string Line = "InitCommonControlsEx";
  for (const auto& [Asked, Name] : {std::pair{Record.Standard, "standard"},
                                    {Record.Dates, "dates"},
                                    {Record.ComboBoxEx, "comboboxex"},
                                    {Record.Rebars, "rebars"},
                                    {Record.IpAddresses, "ipaddresses"},
                                    {Record.Pagers, "pagers"}})
    if (Asked) Line += std::string(" ") + Name;
  Log.push_back(Line);
}

std::optional<std::string> FakeFolderDialog::BrowseForFolder(WindowHandle,
                                                             const std::string& Prompt,
                                                             const std::string& StartFolder) {
  Log.push_back("BrowseForFolder \"" + Prompt + "\" at \"" + StartFolder + "\"");
  return Answer;
}

bool FakeFileSystem::Exists(const std::string& Path) {
  if (Path.empty()) return false;
  const std::size_t cut = Path.rfind(Sep);
  const std::string folder = cut == std::string::npos ? "" : Path.substr(0, cut);
  const std::string pattern = cut == std::string::npos ? Path : Path.substr(cut + Sep.size());
  for (const auto& [path, file] : Files) {
    const std::size_t c = path.rfind(Sep);
    if (c == std::string::npos || path.substr(0, c) != folder) continue;
    const std::string name = path.substr(c + Sep.size());
    if (pattern.empty() ? !name.empty() : GlobMatch(pattern, name)) return true;
  }
  return false;
}

void FakeFileSystem::CreateEmptyFile(const std::string& Path) {
  Log.push_back("CreateEmptyFile " + Path);
  if (!Has(Path)) Put(Path);
}

void FakeFileSystem::DeleteFile(const std::string& Path) {
  Log.push_back("DeleteFile " + Path);
  const auto it = Files.find(Path);
  if (it == Files.end())
    throw RaisedError(ErrorNumber::FileNotFound, "FileSystem", "File not found: " + Path);
  if (it->second.ReadOnly)
    throw RaisedError(ErrorNumber::PermissionDenied, "FileSystem", "Permission denied: " + Path);
  Files.erase(it);
}

std::optional<FileStamp> FakeFileSystem::Stat(const std::string& Path) {
  const auto it = Files.find(Path);
  if (it == Files.end()) return std::nullopt;
  // Every file its own inode, kept while the name holds it: Put makes a new file.
  return FileStamp{it->second.Content.size(), it->second.Stamp, 1,
                   static_cast<std::uint64_t>(it->second.Stamp)};
}

std::unique_ptr<LineReader> FakeFileSystem::OpenText(const std::string& Path) {
  struct Reader : LineReader {
    std::vector<std::string> Lines;
    std::size_t Next = 0;
    bool AtEnd() override { return Next >= Lines.size(); }
    std::string ReadLine() override { return Lines.at(Next++); }
  };
  Log.push_back("OpenText " + Path);
  const auto it = Files.find(Path);
  if (it == Files.end() || Unreadable.count(Path))
    throw RaisedError(ErrorNumber::FileNotFound, "FileSystem", "File not found: " + Path);
  auto reader = std::make_unique<Reader>();
  const std::string& s = it->second.Content;
  std::size_t start = 0;
  while (start < s.size()) {
    std::size_t end = s.find('\n', start);
    if (end == std::string::npos) end = s.size();
    std::string line = s.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    reader->Lines.push_back(line);
    start = end + 1;
  }
  return reader;
}

void FakeFileSystem::ReplaceContent(const std::string& Path, const std::string& Bytes) {
  Log.push_back("ReplaceContent " + Path);
  if (Unwritable.count(Path))
    throw RaisedError(ErrorNumber::PermissionDenied, "FileSystem", "Permission denied: " + Path);
  Put(Path, Bytes);
}

void FakeFileSystem::Put(const std::string& Path, const std::string& Content) {
  Files[Path] = File{Content, NextStamp++, false};
}

std::vector<std::string> FakeFileSystem::NamesIn(const std::string& Folder) const {
  std::vector<std::string> names;
  for (const auto& entry : Files) {
    const std::string& path = entry.first;
    const std::size_t c = path.rfind(Sep);
    if (c != std::string::npos && path.substr(0, c) == Folder)
      names.push_back(path.substr(c + Sep.size()));
  }
  return names;
}

std::vector<FolderEntry> FakeListing::Entries(const std::string& Folder) {
  Log.push_back("Entries " + Folder);
  if (Fail) throw RaisedError(ErrorNumber::PathNotFound, "Listing", *Fail);
  std::vector<FolderEntry> entries;
  for (const std::string& name : FileSystem.NamesIn(Folder)) entries.push_back({name, true, false});
  std::reverse(entries.begin(), entries.end());
  entries.insert(entries.end(), Extra.begin(), Extra.end());
  return entries;
}

void FakeProfileStore::CreateIfMissing(const std::string& File) {
  if (FileSystem.Has(File)) return;
  if (FailCreate)
    throw RaisedError(ErrorNumber::PathFileAccessError, "FileSystem",
                      "Cannot create " + File + ": permission denied");
  FileSystem.CreateEmptyFile(File);
}

std::string FakeProfileStore::ReadString(const std::string& File, const std::string& Section,
                                         const std::string& Key) {
  const auto& values = Values[File];
  const auto it = values.find(Lower(Section + "/" + Key));
  return it == values.end() ? "" : it->second;
}

std::vector<std::string> FakeProfileStore::KeyNames(const std::string& File,
                                                    const std::string& Section) {
  std::vector<std::string> keys;
  const std::string prefix = Lower(Section + "/");
  for (const auto& [name, value] : Values[File])
    if (name.rfind(prefix, 0) == 0) keys.push_back(name.substr(prefix.size()));
  return keys;
}

std::vector<std::string> FakeProfileStore::SectionNames(const std::string& File) {
  std::set<std::string> sections;
  for (const auto& [name, value] : Values[File]) sections.insert(name.substr(0, name.find('/')));
  return {sections.begin(), sections.end()};
}

std::optional<std::string> FakeProfileStore::StoredText(const std::string& File,
                                                        const std::string& Section,
                                                        const std::string& Key) {
  const auto& values = Values[File];
  const auto it = values.find(Lower(Section + "/" + Key));
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::string FakeProfileStore::TextProblem(const std::string& File) {
  const auto it = Problems.find(File);
  return it == Problems.end() ? "" : it->second;
}

void FakeProfileStore::RemoveStaleTemporaries(const std::string& File) {
  Tidied.push_back(File);
}

WriteResult FakeProfileStore::WriteString(const std::string& File, const std::string& Section,
                                          const std::string& Key, const std::string& Value) {
  Log.push_back("WriteString [" + Section + "] " + Key + "=" + Value);
  auto& values = Values[File];
  const std::string name = Lower(Section + "/" + Key);
  const auto it = values.find(name);
  if (it != values.end() && it->second == Value) return WriteResult::Unchanged();
  if (FileSystem.Has(File) && FileSystem.Files[File].ReadOnly)
    return WriteResult::Failed("the file is read-only.");
  values[name] = Value;
  return WriteResult::Written();
}

WriteResult FakeProfileStore::DeleteKey(const std::string& File, const std::string& Section,
                                        const std::string& Key) {
  Log.push_back("DeleteKey [" + Section + "] " + Key);
  return Values[File].erase(Lower(Section + "/" + Key)) ? WriteResult::Written()
                                                        : WriteResult::Unchanged();
}

WriteResult FakeProfileStore::DeleteSection(const std::string& File, const std::string& Section) {
  Log.push_back("DeleteSection [" + Section + "]");
  const std::vector<std::string> keys = KeyNames(File, Section);
  for (const std::string& key : keys) Values[File].erase(Lower(Section + "/") + key);
  return keys.empty() ? WriteResult::Unchanged() : WriteResult::Written();
}

ProcessId FakeProcesses::Start(const std::string& CommandLine, WindowState State) {
  Log.push_back(std::string("Start ") +
                (State == WindowState::MaximizedFocus ? "maximised " : "minimised ") + CommandLine);
  if (FailStart) throw RaisedError(ErrorNumber::FileNotFound, "Processes", "File not found");
  return NextPid;
}

bool FakeWindowSystem::ShowWindow(ProcessId Process, int TimeoutMs) {
  Log.push_back("ShowWindow " + std::to_string(Process));
  if (OnShowWindow) OnShowWindow();
  if (Clock->Now >= WindowAt && (WindowOf == 0 || WindowOf == Process)) return true;
  Clock->Now += TimeoutMs;
  return false;
}

void FakeProcesses::Stop(ProcessId Process, int /*WaitMs*/) {
  Log.push_back("Stop " + std::to_string(Process));
}

void FakeProcesses::Terminate(int Status) {
  Log.push_back("Terminate " + std::to_string(Status));
  throw Terminated{Status};
}

void FakeWindowSystem::MessageBox(const std::string& Text, MessageIcon Icon,
                                  const std::string& Title) {
  Log.push_back(std::string("MessageBox ") + IconName(Icon) + " [" + Title + "] " + Text);
}

void FakeWindowSystem::DoEvents() {
  Log.push_back("DoEvents");
  if (OnDoEvents) OnDoEvents();
}

void FakeWindowSystem::Plan(const KeyActions& Actions) {
  Planned_ = Actions;
  Forgiven_ = false;
}

KeysOutcome FakeWindowSystem::StillFree(KeyTarget& Target) {
  KeyTarget::Verdict Focus = KeyTarget::Verdict::AskAgain;
  while (Focus == KeyTarget::Verdict::AskAgain) {
    if (RecordFocusChecks) Log.push_back("Judge " + std::to_string(FocusOwner));
    Focus = Target.Judge(FocusOwner);
  }
  if (Focus == KeyTarget::Verdict::Foreign) return KeysOutcome::FocusLost;
  if (GrabHolder != 0 && Target.Judge(GrabHolder) != KeyTarget::Verdict::Owned)
    return KeysOutcome::KeyboardGrabbed;
  return KeysOutcome::Sent;
}

void FakeWindowSystem::Send(std::size_t) {
  const KeyActions Actions = std::move(*Planned_);
  Planned_.reset();
  ++KeyStringsSent;
  const auto text = AsText(Actions);
  Log.push_back(text ? "Keys \"" + *text + "\"" : "Keys " + DescribeKeys(Actions));
  if (OnKeys) OnKeys(Actions);
}

KeysOutcome FakeWindowSystem::Finish(KeyTarget&, const std::function<void()>& Handed) {
  Handed();
  return KeysOutcome::Sent;
}

bool FakeWindowSystem::OthersTyped() {
  if (Planned_) return !Forgiven_ && KeyStringsSent + 1 == OthersKeysBefore;
  return KeyStringsSent == OthersKeysAt;
}

void FakeWindowSystem::WatchKeyboard() {
  if (RecordKeyboard) Log.push_back("WatchKeyboard");
}

bool FakeWindowSystem::OthersHold() {
  if (!Clock || Clock->Now >= HeldUntil) return false;
  if (RecordKeyboard) Log.push_back("Held");
  return true;
}

bool FakeWindowSystem::AskOthersHold() {
  if (RecordKeyboard) Log.push_back("OthersHoldKeys");
  return Clock && Clock->Now < HeldUntil;
}

bool FakeWindowSystem::CloseWindowsOf(ProcessId Process) {
  Log.push_back("CloseWindowsOf " + std::to_string(Process));
  if (Windowless.count(Process)) return false;
  if (OnCloseWindows) OnCloseWindows();
  return true;
}

void FakeProgress::Begin(std::size_t Total) {
  Log.push_back("Progress Begin " + std::to_string(Total));
}

void FakeProgress::Step(std::size_t Index, const std::string& Name) {
  Log.push_back("Progress Step " + std::to_string(Index) + " " + Name);
  if (OnStep) OnStep(Index);
}

void FakeProgress::End(bool Complete) {
  Log.push_back(std::string("Progress End ") + (Complete ? "complete" : "short"));
}

void FakeForm::SetText(const std::string& Control, const std::string& Text) {
  Texts[Control] =
      MaxTextLength > 0 ? Text.substr(0, static_cast<std::size_t>(MaxTextLength)) : Text;
}

void FakeForm::Show() {
  Log.push_back("Form Show");
  Shown = true;
  Events.Load();
}

void FakeForm::Unload() {
  Log.push_back("Form Unload");
  bool cancel = false;
  Events.Unload(cancel);
  if (!cancel) {
    Closed = true;
    Log.push_back("Form Closed");
  }
}

std::unique_ptr<FormView> FakeFormFactory::Create(const FormLayout& Layout, FormEvents& Events) {
  Log.push_back("Form Create " + Layout.Name);
  auto form = std::make_unique<FakeForm>(Log, Events);
  Last = form.get();
  return form;
}

void FakeCaptureTool::Receive(const KeyActions& Actions) {
  if (Actions.size() == 1 && Actions[0].Type == KeyAction::Kind::Named &&
      Actions[0].Key == NamedKey::F4 && Actions[0].Modifiers == kAlt) {
    Closed = true;
    return;
  }
  // Step 7 of a file's script carries the target; step 18 (Enter) writes it.
  if (!Actions.empty() && Actions[0].Type == KeyAction::Kind::Named &&
      Actions[0].Key == NamedKey::F4 && Actions[0].Modifiers == kControl)
    Step = 0;
  ++Step;
  if (Step == 7) {
    Target.clear();
    for (const KeyAction& a : Actions) Target += Utf8(a.Character);
  }
  if (Step == 18 && !Refuse.count(Target)) {
    FileSystem.Put(Target, "**TI89**");
    Written.push_back(Target);
  }
}

FakePlatform::FakePlatform()
    : P{ProfileStore, Clock,       CommonControls, FolderDialog,
        WindowSystem, Processes,   FileSystem,     DirectoryListing,
        FormFactory,  RunProgress, DesktopNotifier} {
  // The tool ends as soon as it is asked to close, unless a test holds it back.
  WindowSystem.OnKeys = [this](const KeyActions& a) {
    Tool.Receive(a);
    if (Tool.Closed) Processes.Ended = Processes.NextPid;
  };
  WindowSystem.OnCloseWindows = [this] { Processes.Ended = Processes.NextPid; };
  WindowSystem.Clock = &Clock;
}

Transcript FakePlatform::Without(std::initializer_list<std::string> Prefixes) const {
  Transcript out;
  for (const std::string& e : Log) {
    if (std::none_of(Prefixes.begin(), Prefixes.end(),
                     [&](const std::string& p) { return e.rfind(p, 0) == 0; }))
      out.push_back(e);
  }
  return out;
}

Transcript FakePlatform::Only(std::initializer_list<std::string> Prefixes) const {
  Transcript out;
  for (const std::string& e : Log) {
    if (std::any_of(Prefixes.begin(), Prefixes.end(),
                    [&](const std::string& p) { return e.rfind(p, 0) == 0; }))
      out.push_back(e);
  }
  return out;
}

}  // namespace pictrane::testing

// Where the program keeps its files.

namespace pictrane::testing {

std::string FakeProcesses::Environment(const std::string& Name) {
  const auto it = Env.find(Name);
  return it == Env.end() ? "" : it->second;
}

void FakeFileSystem::CreateUserFolder(const std::string& Folder) {
  Log.push_back("CreateUserFolder " + Folder);
  for (const std::string& p : Protected)
    if (Folder.rfind(p + Sep, 0) == 0 || Folder == p)
      throw RaisedError(ErrorNumber::PathNotFound, "FileSystem",
                        "Cannot create the folder " + Folder + " (Permission denied)");
  Folders.insert(Folder);
}

std::string FakeFileSystem::ReadAll(const std::string& Path) {
  const auto it = Files.find(Path);
  if (it == Files.end() || Unreadable.count(Path))
    throw RaisedError(ErrorNumber::FileNotFound, "FileSystem", "Cannot read " + Path);
  return it->second.Content;
}

}  // namespace pictrane::testing
