// SPDX-License-Identifier: GPL-3.0-or-later
// pictrane-converter as a process under an Xvfb of its own: the arguments it leaves aside, its
// start-up boxes, and how it ends when the display goes or the system asks it to.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "TestFiles.h"
#include "X11TestSupport.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace x11test;

namespace {

constexpr int kTimeoutMs = 20000;

// How a process ended: its exit status, or the signal that killed it.
struct Ending {
  std::optional<int> Status, Signal;
};

// The converter in an application folder of its own, its error output kept in a file.
class Converter {
 public:
  Converter() {
    char Template[] = "/tmp/pictrane-program-XXXXXX";
    Folder_ = ::mkdtemp(Template);
    fs::create_directories(Folder_ + "/home/.config");
    fs::create_directory(Bitmaps());
    fs::copy_file(PICTRANE_CONVERTER, Folder_ + "/pictrane-converter");
    fs::copy_file(PICTRANE_DUMMY_BMP, Folder_ + "/dummy.bmp");
  }
  ~Converter() {
    if (Pid_ > 0) {
      ::kill(Pid_, SIGKILL);
      ::waitpid(Pid_, nullptr, 0);
    }
    fs::remove_all(Folder_);
  }

  std::string Folder() const { return Folder_; }
  std::string Bitmaps() const { return Folder_ + "/bitmaps"; }
  std::string ListFile() const { return Folder_ + "/list.txt"; }
  void Settings(const std::string& Tool, const std::string& Folder) const {
    std::ofstream(Folder_ + "/settings.ini", std::ios::binary)
        << "[Settings]\r\nScreenCapturePath=" << Tool << "\r\nLastDir=" << Folder
        << "\r\nLastDeviceDir=main\r\n";
  }

  void Start(const std::vector<std::string>& Arguments = {}) {
    std::vector<std::string> Line{Folder_ + "/pictrane-converter"};
    Line.insert(Line.end(), Arguments.begin(), Arguments.end());
    std::vector<char*> Argv;
    for (std::string& A : Line) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 2, ErrorFile().c_str(), O_WRONLY | O_CREAT, 0600);
    // The test's own home, and no session bus: nothing reaches the developer's desktop.
    ScopedEnvironment Home("HOME", Folder_ + "/home"), Bus("DBUS_SESSION_BUS_ADDRESS", {});
    if (::posix_spawn(&Pid_, Argv[0], &Actions, nullptr, Argv.data(), environ) != 0) Pid_ = 0;
    posix_spawn_file_actions_destroy(&Actions);
  }
  pid_t Pid() const { return Pid_; }

  Ending WaitForEnd() {
    Ending End;
    WaitUntil(kTimeoutMs, [&] {
      int Status = 0;
      if (::waitpid(Pid_, &Status, WNOHANG) != Pid_) return false;
      Pid_ = 0;
      if (WIFEXITED(Status)) End.Status = WEXITSTATUS(Status);
      if (WIFSIGNALED(Status)) End.Signal = WTERMSIG(Status);
      return true;
    });
    return End;
  }
  std::string Errors() const { return pictrane::testing_support::ReadAll(ErrorFile()); }

 private:
  std::string ErrorFile() const { return Folder_ + "/stderr.txt"; }
  std::string Folder_;
  pid_t Pid_ = 0;
};

// The first window xdotool finds by Option ("--name", "--classname") and Pattern, or "".
std::string FindWindow(const std::string& Option, const std::string& Pattern) {
  std::string Found;
  WaitUntil(kTimeoutMs, [&] {
    const std::string Out =
        fs::temp_directory_path() / ("pictrane-find-" + std::to_string(getpid()));
    const std::string Command =
        "xdotool search --onlyvisible " + Option + " '" + Pattern + "' > " + Out + " 2>/dev/null";
    if (std::system(Command.c_str()) == 0) Found = pictrane::testing_support::ReadAll(Out);
    fs::remove(Out);
    return !Found.empty();
  });
  return Found.substr(0, Found.find('\n'));
}

void Press(const std::string& Window, const std::string& Key) {
  const std::string Command = "xdotool windowfocus --sync " + Window + " key " + Key;
  ASSERT_EQ(std::system(Command.c_str()), 0);
}

// The X server's keyboard map as xmodmap shows it, every keycode with its keysyms.
std::string Keymap() {
  const std::string Out =
      fs::temp_directory_path() / ("pictrane-keymap-" + std::to_string(getpid()));
  const std::string Command = "xmodmap -pke > " + Out;
  EXPECT_EQ(std::system(Command.c_str()), 0);
  std::string Map = pictrane::testing_support::ReadAll(Out);
  fs::remove(Out);
  return Map;
}

// The lines of After that Before does not have, one per line.
std::string NewLines(const std::string& Before, const std::string& After) {
  std::string Changed;
  std::istringstream In(After);
  for (std::string Line; std::getline(In, Line);)
    if (Before.find(Line + "\n") == std::string::npos) Changed += Line + "\n";
  return Changed;
}

// A run under way: 30 bitmaps whose names the keymap lacks letters for (typed through spare
// keycodes), a key recorder for the tool, Convert pressed; returns once a borrowed letter arrived.
void StartRun(Converter& Run) {
  for (int I = 0; I < 30; ++I)
    std::ofstream(Run.Bitmaps() + "/\u0436\u0443\u043a" + std::to_string(I) + ".bmp");
  const std::string Keys = Run.Folder() + "/tool-keys.txt";
  const std::string Tool = Run.Folder() + "/recorder.sh";
  std::ofstream(Tool) << "#!/bin/sh\necho $$ > '" << Run.Folder() << "/tool.pid'\nexec '"
                      << PICTRANE_KEY_RECORDER << "' '" << Keys << "'\n";
  fs::permissions(Tool, fs::perms::owner_all);
  Run.Settings(Tool, Run.Bitmaps());
  Run.Start();
  const std::string Window = FindWindow("--name", kCaptionPattern);
  ASSERT_FALSE(Window.empty());
  Press(Window, "space");
  ASSERT_TRUE(WaitUntil(kTimeoutMs, [&] {
    return pictrane::testing_support::ReadAll(Keys).find("\u0436\n") != std::string::npos;
  }));
  ASSERT_TRUE(fs::exists(Run.ListFile()));
}

class ProgramTest : public ::testing::Test {
 protected:
  std::optional<XvfbServer> X{std::in_place};
  ScopedEnvironment Display{"DISPLAY", X->Name()};
  ScopedEnvironment Platform{"QT_QPA_PLATFORM", std::nullopt};  // the program's own choice
  Converter App;
};

// Arguments it does not take are named once on stderr and left aside; Qt's own options reach Qt
// (-name gives the window's class).
TEST_F(ProgramTest, IgnoresArgumentsItDoesNotTakeAndPassesQtItsOwn) {
  App.Settings("/bin/true", "");
  App.Start({"-name", "pcname", "/tmp/some folder", "--bogus"});
  const std::string Window = FindWindow("--classname", "^pcname$");
  ASSERT_FALSE(Window.empty()) << App.Errors();
  // Qt may have a word of its own to say there: only the program's lines count.
  std::string Ours;
  std::istringstream Errors(App.Errors());
  for (std::string Line; std::getline(Errors, Line);)
    if (Line.starts_with("pictrane-converter:")) Ours += Line + "\n";
  EXPECT_EQ(Ours,
            "pictrane-converter: ignoring arguments it does not take: '/tmp/some folder' "
            "'--bogus'\n");
  Press(Window, "Tab Tab Tab Tab Tab Return");  // from Convert to Exit
  const Ending End = App.WaitForEnd();
  EXPECT_EQ(End.Status, std::optional<int>(0));
}

// The start-up boxes say their fixed lines first, then the help after a blank line. Read
// as a user copies them (a click into the text, Ctrl+A, Ctrl+C) while the program owns the
// clipboard.
TEST_F(ProgramTest, StartUpBoxesSayTheirFixedLinesFirst) {
  const struct {
    const char* Name;
    bool Tool, Placeholder;
    std::string Text;
  } Cases[] = {
      {"no tool path", false, true,
       "TI ScreenCapture not found!\nCorrect the path in the file settings.ini.\n\nsettings.ini "
       "is here:\n  @/settings.ini\nPath tried: (none set)"},
      {"no dummy.bmp", true, false,
       "dummy.bmp not found!\n\nPaths tried:\n  @/dummy.bmp\n  "
       "/tmp/share/pictrane-converter/dummy.bmp\nReinstall the program; its settings file is:\n"
       "  @/settings.ini"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    Converter Run;
    Run.Settings(Case.Tool ? "/bin/true" : "", "");
    if (!Case.Placeholder) fs::remove(Run.Folder() + "/dummy.bmp");
    Run.Start();
    const std::string Box = FindWindow("--name", kTitlePattern);
    ASSERT_FALSE(Box.empty()) << Run.Errors();
    const std::string Copy =
        "xdotool mousemove --window " + Box + " 120 18 click 1 key ctrl+a ctrl+c";
    ASSERT_EQ(std::system(Copy.c_str()), 0);
    std::string Copied;
    const std::string Out = Run.Folder() + "/copied.txt";
    WaitUntil(kTimeoutMs, [&] {
      const std::string Read = "xclip -o -selection clipboard > " + Out + " 2>/dev/null";
      if (std::system(Read.c_str()) == 0) Copied = pictrane::testing_support::ReadAll(Out);
      return !Copied.empty();
    });
    std::string Expected = Case.Text;
    for (std::size_t At; (At = Expected.find('@')) != std::string::npos;)
      Expected.replace(At, 1, Run.Folder());
    EXPECT_EQ(Copied, Expected);
    Press(Box, "Return");
    EXPECT_EQ(Run.WaitForEnd().Status, std::optional<int>(1));
  }
}

// The display goes while a message is up, or during a run: Qt (or Xlib) ends the process with
// status 1, nothing of the program's crashes on the way out, and the run's list goes.
TEST_F(ProgramTest, ALostDisplayEndsWithStatusOneAndNoSignal) {
  for (const bool Running : {false, true}) {
    SCOPED_TRACE(Running);
    if (!X) X.emplace();
    ScopedEnvironment Shown("DISPLAY", X->Name());
    Converter Run;
    if (Running) {
      StartRun(Run);
    } else {
      Run.Settings("/bin/true", "");
      Run.Start();
      const std::string Window = FindWindow("--name", kCaptionPattern);
      ASSERT_FALSE(Window.empty());
      Press(Window, "space");  // Convert, with no folder: a message
      ASSERT_FALSE(FindWindow("--name", kTitlePattern).empty());
    }
    X.reset();
    const Ending End = Run.WaitForEnd();
    EXPECT_EQ(End.Status, std::optional<int>(1));
    EXPECT_EQ(End.Signal, std::nullopt);
    EXPECT_FALSE(fs::exists(Run.ListFile()));
  }
}

// SIGTERM, SIGINT and SIGHUP end the program by its own exit, idle or during a run, and leave
// nothing behind: no list, the keyboard map as it was before the run borrowed spare keycodes,
// and no capture tool (the recorder does not close on Alt+F4: it is stopped with its group).
TEST_F(ProgramTest, TerminationEndsCleanlyAndRemovesTheList) {
  const struct {
    int Signal;
    bool Running;
  } Cases[] = {{SIGTERM, false}, {SIGTERM, true}, {SIGINT, true}, {SIGHUP, true}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(std::to_string(C.Signal) + (C.Running ? " during a run" : " idle"));
    Converter Run;
    const std::string Before = Keymap();
    if (C.Running) {
      StartRun(Run);
      ASSERT_NE(NewLines(Before, Keymap()), "") << "the run borrowed no spare keycode";
    } else {
      Run.Settings("/bin/true", Run.Bitmaps());
      Run.Start();
      ASSERT_FALSE(FindWindow("--name", kCaptionPattern).empty());
    }
    ::kill(Run.Pid(), C.Signal);
    const Ending End = Run.WaitForEnd();
    EXPECT_EQ(End.Status, std::optional<int>(128 + C.Signal));
    EXPECT_EQ(End.Signal, std::nullopt);
    EXPECT_FALSE(fs::exists(Run.ListFile()));
    const std::string After = Keymap();
    EXPECT_EQ(NewLines(Before, After), "") << "remapped and left so";
    EXPECT_EQ(NewLines(After, Before), "") << "lost";
    if (!C.Running) continue;
    std::string Tool = pictrane::testing_support::ReadAll(Run.Folder() + "/tool.pid");
    Tool = Tool.substr(0, Tool.find('\n'));
    ASSERT_FALSE(Tool.empty());
    EXPECT_TRUE(WaitUntil(5000, [&] { return Ended(Tool); })) << "the tool still runs";
  }
}

}  // namespace
