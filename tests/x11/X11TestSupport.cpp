// SPDX-License-Identifier: GPL-3.0-or-later
#include "X11TestSupport.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace x11test {
namespace {

pid_t Spawn(const std::vector<std::string>& Arguments, posix_spawn_file_actions_t* Actions) {
  std::vector<char*> Argv;
  for (const std::string& A : Arguments) Argv.push_back(const_cast<char*>(A.c_str()));
  Argv.push_back(nullptr);
  pid_t Pid = 0;
  if (posix_spawnp(&Pid, Argv[0], Actions, nullptr, Argv.data(), environ) != 0)
    throw std::runtime_error("cannot start " + Arguments.front());
  return Pid;
}

void EndProcess(pid_t Pid) {
  if (Pid <= 0) return;
  kill(Pid, SIGTERM);
  int ExitStatus = 0;
  waitpid(Pid, &ExitStatus, 0);
}

}  // namespace

XvfbServer::XvfbServer(const std::vector<std::string>& ExtraArguments) {
  int Pipe[2];
  if (pipe(Pipe) != 0) throw std::runtime_error("pipe");
  std::vector<std::string> Arguments{"Xvfb",     "-displayfd", "3", "-nolisten",   "tcp",
                                     "-noreset", "-screen",    "0", "1280x1024x24"};
  Arguments.insert(Arguments.end(), ExtraArguments.begin(), ExtraArguments.end());
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  // The read end goes first: it may itself be descriptor 3.
  posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
  posix_spawn_file_actions_adddup2(&Actions, Pipe[1], 3);
  if (Pipe[1] != 3) posix_spawn_file_actions_addclose(&Actions, Pipe[1]);
  posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
  try {
    Pid_ = Spawn(Arguments, &Actions);
  } catch (...) {
    posix_spawn_file_actions_destroy(&Actions);
    close(Pipe[0]);
    close(Pipe[1]);
    throw;
  }
  posix_spawn_file_actions_destroy(&Actions);
  close(Pipe[1]);
  // Xvfb writes its display number once it accepts connections.
  std::string Number;
  char C = 0;
  while (read(Pipe[0], &C, 1) == 1 && C != '\n') Number += C;
  close(Pipe[0]);
  if (Number.empty()) {
    EndProcess(Pid_);
    throw std::runtime_error("Xvfb did not start");
  }
  Name_ = ":" + Number;
}

XvfbServer::~XvfbServer() {
  EndProcess(Pid_);
}

ChildProcess::ChildProcess(const std::vector<std::string>& Arguments, bool Quiet) {
  posix_spawn_file_actions_t Actions;
  posix_spawn_file_actions_init(&Actions);
  if (Quiet) posix_spawn_file_actions_addopen(&Actions, 2, "/dev/null", O_WRONLY, 0);
  try {
    Pid_ = Spawn(Arguments, &Actions);
  } catch (...) {
    posix_spawn_file_actions_destroy(&Actions);
    throw;
  }
  posix_spawn_file_actions_destroy(&Actions);
}

bool ChildProcess::HasEnded() {
  if (Pid_ <= 0) return true;
  int ExitStatus = 0;
  if (waitpid(Pid_, &ExitStatus, WNOHANG) != Pid_) return false;
  Pid_ = 0;
  return true;
}

void ChildProcess::Stop() {
  EndProcess(Pid_);
  Pid_ = 0;
}

bool WaitUntil(int TimeoutMs, const std::function<bool()>& Done) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  for (;;) {
    if (Done()) return true;
    if (std::chrono::steady_clock::now() >= Deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool Ended(const std::string& Pid) {
  std::ifstream Stat("/proc/" + Pid + "/stat");
  std::string Line;
  if (!std::getline(Stat, Line)) return true;
  const std::size_t Close = Line.rfind(')');
  return Close != std::string::npos && Line.substr(Close + 2, 1) == "Z";
}

int RunToEnd(const std::vector<std::string>& Arguments) {
  const pid_t Pid = Spawn(Arguments, nullptr);
  int ExitStatus = 0;
  if (waitpid(Pid, &ExitStatus, 0) != Pid || !WIFEXITED(ExitStatus)) return -1;
  return WEXITSTATUS(ExitStatus);
}

ScopedEnvironment::ScopedEnvironment(std::string Name, const std::optional<std::string>& Value)
    : Name_(std::move(Name)) {
  if (const char* Old = getenv(Name_.c_str())) Saved_ = Old;
  if (Value)
    setenv(Name_.c_str(), Value->c_str(), 1);
  else
    unsetenv(Name_.c_str());
}

ScopedEnvironment::~ScopedEnvironment() {
  if (Saved_)
    setenv(Name_.c_str(), Saved_->c_str(), 1);
  else
    unsetenv(Name_.c_str());
}

namespace {

std::string MakeFolder() {
  std::string Template = "/tmp/pictrane-x11-XXXXXX";
  if (!mkdtemp(Template.data())) throw std::runtime_error("mkdtemp");
  return Template;
}

std::vector<std::string> RecorderArguments(const std::string& Transcript,
                                           const std::vector<std::string>& Options) {
  std::vector<std::string> Arguments{PICTRANE_KEY_RECORDER, Transcript};
  Arguments.insert(Arguments.end(), Options.begin(), Options.end());
  return Arguments;
}

}  // namespace

KeyRecorder::KeyRecorder(const std::vector<std::string>& Options)
    : Folder_(MakeFolder()),
      Transcript_(Folder_ + "/keys.txt"),
      Process_(RecorderArguments(Transcript_, Options)) {}

KeyRecorder::~KeyRecorder() {
  Process_.Stop();
  std::remove(Transcript_.c_str());
  std::remove((Transcript_ + ".ready").c_str());
  rmdir(Folder_.c_str());
}

unsigned long KeyRecorder::WaitUntilReady(int TimeoutMs) {
  unsigned long Window = 0;
  WaitUntil(TimeoutMs, [&] {
    std::ifstream Ready(Transcript_ + ".ready");
    return static_cast<bool>(Ready >> Window);
  });
  return Window;
}

std::vector<std::string> KeyRecorder::Lines() const {
  std::vector<std::string> Lines;
  std::ifstream In(Transcript_);
  for (std::string Line; std::getline(In, Line);) Lines.push_back(Line);
  return Lines;
}

bool KeyRecorder::WaitForMarker(std::size_t Count, const std::string& Marker, int TimeoutMs) const {
  return WaitUntil(TimeoutMs, [&] {
    const std::vector<std::string> Now = Lines();
    return Now.size() > Count && Now.back() == Marker;
  });
}

namespace {

std::vector<char32_t> Decode(const std::string& Utf8) {
  std::vector<char32_t> Out;
  for (std::size_t I = 0; I < Utf8.size();) {
    const auto Lead = static_cast<unsigned char>(Utf8[I]);
    const int Length = Lead < 0x80 ? 1 : Lead < 0xE0 ? 2 : Lead < 0xF0 ? 3 : 4;
    char32_t C = Length == 1 ? Lead : Lead & (0x7F >> Length);
    for (int K = 1; K < Length; ++K)
      C = (C << 6) | (static_cast<unsigned char>(Utf8[I + K]) & 0x3F);
    Out.push_back(C);
    I += static_cast<std::size_t>(Length);
  }
  return Out;
}

}  // namespace

Probe::Probe() : D_(XOpenDisplay(nullptr)) {
  if (!D_) throw std::runtime_error("the tests cannot open the display");
}

Probe::~Probe() {
  XCloseDisplay(D_);
}

Probe::Geometry Probe::ScreenSize() {
  const int ScreenNumber = DefaultScreen(D_);
  return {0, 0, DisplayWidth(D_, ScreenNumber), DisplayHeight(D_, ScreenNumber)};
}

Probe::Geometry Probe::WindowGeometry(unsigned long Window) {
  XWindowAttributes Attributes{};
  if (!XGetWindowAttributes(D_, Window, &Attributes)) return {-1, -1, -1, -1};
  return {Attributes.x, Attributes.y, Attributes.width, Attributes.height};
}

unsigned long Probe::FocusWindow() {
  ::Window Focus = 0;
  int Revert = 0;
  XGetInputFocus(D_, &Focus, &Revert);
  return Focus;
}

bool Probe::GrabAndRelease(unsigned long Window) {
  if (XGrabKeyboard(D_, Window, False, GrabModeAsync, GrabModeAsync, CurrentTime) != GrabSuccess)
    return false;
  XUngrabKeyboard(D_, CurrentTime);
  XFlush(D_);
  return true;
}

std::vector<int> Probe::KeysDown() {
  char Keys[32];
  XQueryKeymap(D_, Keys);
  std::vector<int> Down;
  for (int Code = 0; Code < 256; ++Code)
    if (Keys[Code / 8] & (1 << (Code % 8))) Down.push_back(Code);
  return Down;
}

namespace {
XkbStateRec StateOf(Display* D) {
  XkbStateRec State{};
  XkbGetState(D, XkbUseCoreKbd, &State);
  return State;
}
}  // namespace

unsigned Probe::Modifiers() {
  const XkbStateRec State = StateOf(D_);
  return static_cast<unsigned>(State.base_mods | State.latched_mods);
}

bool Probe::CapsLocked() {
  return (StateOf(D_).locked_mods & LockMask) != 0;
}

int Probe::Group() {
  return StateOf(D_).group;
}

void Probe::LockGroup(int Group) {
  XkbLockGroup(D_, XkbUseCoreKbd, static_cast<unsigned>(Group));
  XSync(D_, False);
}

void Probe::SetFocus(unsigned long Window) {
  XSetInputFocus(D_, Window, RevertToParent, CurrentTime);
  XSync(D_, False);
}

std::vector<unsigned long> Probe::WholeKeymap() {
  int Min = 0, Max = 0, PerCode = 0;
  XDisplayKeycodes(D_, &Min, &Max);
  KeySym* Syms = XGetKeyboardMapping(D_, static_cast<KeyCode>(Min), Max - Min + 1, &PerCode);
  std::vector<unsigned long> Map(Syms, Syms + (Max - Min + 1) * PerCode);
  XFree(Syms);
  return Map;
}

namespace {
std::vector<unsigned long> Property32(Display* D, ::Window W, const char* Name, Atom Type) {
  Atom Actual = 0;
  int Format = 0;
  unsigned long Count = 0, After = 0;
  unsigned char* Data = nullptr;
  std::vector<unsigned long> Values;
  if (XGetWindowProperty(D, W, XInternAtom(D, Name, False), 0, 1024, False, Type, &Actual, &Format,
                         &Count, &After, &Data) == Success &&
      Data && Format == 32) {
    const auto* Items = reinterpret_cast<const unsigned long*>(Data);
    Values.assign(Items, Items + Count);
  }
  if (Data) XFree(Data);
  return Values;
}
}  // namespace

bool Probe::WaitForWindowManager(int TimeoutMs) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (std::chrono::steady_clock::now() < Deadline) {
    if (!Property32(D_, DefaultRootWindow(D_), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW).empty()) {
      const ::Window Test = XCreateSimpleWindow(D_, DefaultRootWindow(D_), 0, 0, 10, 10, 0, 0, 0);
      XMapWindow(D_, Test);
      XSync(D_, False);
      const bool Managed = WaitUntil(200, [&] { return Reparented(Test); });
      XDestroyWindow(D_, Test);
      XSync(D_, False);
      if (Managed) return true;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  return false;
}

bool Probe::MaximisedByWindowManager(unsigned long Window) {
  const std::vector<unsigned long> States = Property32(D_, Window, "_NET_WM_STATE", XA_ATOM);
  auto Has = [&](const char* Name) {
    const Atom A = XInternAtom(D_, Name, False);
    return std::find(States.begin(), States.end(), A) != States.end();
  };
  return Has("_NET_WM_STATE_MAXIMIZED_VERT") && Has("_NET_WM_STATE_MAXIMIZED_HORZ");
}

bool Probe::Reparented(unsigned long Window) {
  ::Window Root = 0, Parent = 0, *Children = nullptr;
  unsigned Count = 0;
  if (!XQueryTree(D_, Window, &Root, &Parent, &Children, &Count)) return false;
  if (Children) XFree(Children);
  return Parent != Root;
}

pictrane::KeyActions Text(const std::string& Utf8, std::uint8_t Modifiers) {
  pictrane::KeyActions Actions;
  for (char32_t C : Decode(Utf8)) Actions.push_back(Char(C, Modifiers));
  return Actions;
}

pictrane::KeyAction Named(pictrane::NamedKey Key, std::uint8_t Modifiers, int Count) {
  pictrane::KeyAction Action;
  Action.Type = pictrane::KeyAction::Kind::Named;
  Action.Key = Key;
  Action.Modifiers = Modifiers;
  Action.Count = Count;
  return Action;
}

pictrane::KeyAction Char(char32_t Character, std::uint8_t Modifiers, int Count) {
  pictrane::KeyAction Action;
  Action.Character = Character;
  Action.Modifiers = Modifiers;
  Action.Count = Count;
  return Action;
}

std::vector<std::string> CodePoints(const std::string& Utf8) {
  std::vector<std::string> Out;
  for (std::size_t I = 0; I < Utf8.size();) {
    const auto Lead = static_cast<unsigned char>(Utf8[I]);
    const std::size_t Length = Lead < 0x80 ? 1 : Lead < 0xE0 ? 2 : Lead < 0xF0 ? 3 : 4;
    Out.push_back(Utf8.substr(I, Length));
    I += Length;
  }
  return Out;
}

}  // namespace x11test
