// SPDX-License-Identifier: GPL-3.0-or-later
// Folder problems in the built program: a folder that is not there and one without bitmaps give
// their message before anything starts, and the window stays for another try; so does a tool that
// ends at once. A slow tool is waited for.

#include "Win32TestSupport.h"

#include <algorithm>

#include "win32/ProgressWindowWin32.h"

namespace pictrane::win32::testing {
namespace {

// The text of the program's message box once it shows, after OK was pressed on it; nothing
// when no box came within TimeoutMs.
std::optional<std::string> PressOkOnBox(ChildProcess& Program, DWORD TimeoutMs) {
  const ULONGLONG Deadline = ::GetTickCount64() + TimeoutMs;
  while (::GetTickCount64() < Deadline) {
    for (HWND Dialog : TopWindowsOf(Program.Id(), L"#32770")) {
      if (TextOf(Dialog) != L"Pictrane Converter") continue;
      std::string Text;
      HWND Ok = nullptr;
      for (HWND Child : ChildrenOf(Dialog)) {
        if (_wcsicmp(ClassOf(Child).c_str(), L"Button") == 0) Ok = Child;
        if (_wcsicmp(ClassOf(Child).c_str(), L"Static") == 0 && !TextOf(Child).empty())
          Text = Narrow(TextOf(Child));
      }
      if (Ok == nullptr) continue;
      ::PostMessageW(Ok, BM_CLICK, 0, 0);
      return Text;
    }
    ::Sleep(50);
  }
  return std::nullopt;
}

// The program, its placeholder and the key recorder as its tool, in a folder of their own.
struct Installed {
  TempFolder App{L"app"};
  std::wstring Exe = App / L"Pictrane Converter.exe";
  std::wstring Tool = App / L"recorder.exe";
  bool Ready = ::CopyFileW(PathFromEnvironment("PICTRANE_EXE").c_str(), Exe.c_str(), FALSE) &&
               WriteBytes(App / L"dummy.bmp", "BM") &&
               ::CopyFileW(PathFromEnvironment("PICTRANE_RECORDER").c_str(), Tool.c_str(), FALSE);
};

// The same for a tool that ends at once (a launcher that handed over): the run stops with a
// message naming it, and a program that comes up 2 s later gets no key.
TEST(RunTest, FolderProblemsAreToldAndNoToolStarts) {
  const Installed Setup;
  ASSERT_TRUE(Setup.Ready);
  TempFolder Work(L"run");
  const std::wstring Empty = Work / L"empty \u00e4";
  ASSERT_TRUE(::CreateDirectoryW(Empty.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Empty + L"\\notes.txt", "n"));
  const std::wstring Pics = Work / L"pics";
  ASSERT_TRUE(::CreateDirectoryW(Pics.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(Pics + L"\\a.bmp", "BM"));
  const std::wstring Launcher = Setup.App / L"launcher.exe";
  ASSERT_TRUE(
      ::CopyFileW(PathFromEnvironment("PICTRANE_RECORDER").c_str(), Launcher.c_str(), FALSE));
  TempFolder Elsewhere(L"stranger");
  const std::wstring Stranger = Elsewhere / L"recorder.exe";
  ASSERT_TRUE(
      ::CopyFileW(PathFromEnvironment("PICTRANE_RECORDER").c_str(), Stranger.c_str(), FALSE));

  const struct {
    std::wstring Folder, Tool;
    std::string Message;  // how the box begins
  } Cases[] = {
      {Work / L"missing", Setup.Tool,
       "The folder \"" + Narrow(Work / L"missing") + "\" cannot be read.\r\n"},
      {Empty, Setup.Tool, "There are no bitmaps (*.bmp) in \"" + Narrow(Empty) + "\"."},
      {Pics, Launcher,
       "The capture tool could not be started.\r\n" + Narrow(Launcher) +
           " ended before its window took the keyboard focus; point ScreenCapturePath at the "
           "program itself."},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Narrow(Case.Folder));
    ASSERT_TRUE(
        WriteBytes(Setup.App / L"settings.ini",
                   Utf16File(L"[Settings]\r\nScreenCapturePath=" + Case.Tool + L"\r\nLastDir=" +
                             Case.Folder + L"\r\nLastDeviceDir=main\r\n")));
    ChildProcess Program(L"\"" + Setup.Exe + L"\"");
    HWND Form = WaitForTopWindow(Program, L"PictraneForm", 30000);
    ASSERT_NE(Form, nullptr) << "the window did not appear";
    for (HWND Child : ChildrenOf(Form)) {
      if (TextOf(Child) == L"Convert") ::PostMessageW(Child, BM_CLICK, 0, 0);
    }
    std::optional<ChildProcess> Later;
    if (Case.Tool == Launcher) {
      ::Sleep(2000);
      Later.emplace(L"\"" + Stranger + L"\"");
      ASSERT_NE(WaitForTopWindow(*Later, L"PictraneKeyRecorder", 10000), nullptr);
    }
    const std::optional<std::string> Text = PressOkOnBox(Program, 20000);
    ASSERT_TRUE(Text.has_value()) << "no message box";
    EXPECT_EQ(Text->substr(0, Case.Message.size()), Case.Message) << *Text;
    // The window stays, and no tool was started (or the launcher ended at once).
    EXPECT_EQ(Program.WaitForExit(1000), std::nullopt);
    EXPECT_TRUE(::IsWindow(Form));
    EXPECT_FALSE(FileExists(Setup.App / L"keys.log"));
    if (!Later) {
      EXPECT_TRUE(TopWindowsOf(0, L"PictraneKeyRecorder").empty());
      continue;
    }
    // The stranger's log holds its start-up lines and not one key.
    const std::optional<std::string> Log = ReadBytes(Elsewhere / L"keys.log");
    ASSERT_TRUE(Log.has_value());
    EXPECT_EQ(Log->substr(0, 5), "args ");
    EXPECT_EQ(std::count(Log->begin(), Log->end(), '\n'), 2) << *Log;
  }
}

// A tool whose window shows 15 s after its start still gets its keys. Cancel while the run waits
// for one that has made its window but not shown it asks it to close: it closes itself (it is not
// ended) and gets no key.
TEST(RunTest, ASlowToolIsWaitedForAndCancelAsksItToClose) {
  const struct {
    const wchar_t* ShowAfterMs;
    bool Cancel;
  } Cases[] = {{L"15000", false}, {L"60000", true}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Narrow(Case.ShowAfterMs));
    const Installed Setup;
    ASSERT_TRUE(Setup.Ready);
    TempFolder Work(L"run");
    ASSERT_TRUE(WriteBytes(Work / L"a.bmp", "BM"));
    ASSERT_TRUE(
        WriteBytes(Setup.App / L"settings.ini",
                   Utf16File(L"[Settings]\r\nScreenCapturePath=" + Setup.Tool + L"\r\nLastDir=" +
                             Work.Path() + L"\r\nLastDeviceDir=main\r\n")));
    // The recorder inherits it through the program.
    ::SetEnvironmentVariableW(L"PICTRANE_RECORDER_SHOW_AFTER", Case.ShowAfterMs);
    ChildProcess Program(L"\"" + Setup.Exe + L"\"");
    ::SetEnvironmentVariableW(L"PICTRANE_RECORDER_SHOW_AFTER", nullptr);
    HWND Form = WaitForTopWindow(Program, L"PictraneForm", 30000);
    ASSERT_NE(Form, nullptr) << "the window did not appear";
    for (HWND Child : ChildrenOf(Form)) {
      if (TextOf(Child) == L"Convert") ::PostMessageW(Child, BM_CLICK, 0, 0);
    }
    if (!Case.Cancel) {
      EXPECT_EQ(Program.WaitForExit(60000), std::optional<DWORD>(0));
      const std::optional<std::string> Log = ReadBytes(Setup.App / L"keys.log");
      ASSERT_TRUE(Log.has_value());
      EXPECT_NE(Log->find("\nshow 3\nCtrl+F4\nCtrl+o\n"), std::string::npos) << *Log;
      EXPECT_EQ(Log->substr(Log->size() - 7), "Alt+F4\n") << *Log;
      EXPECT_TRUE(FileExists(Work / L"a.89i"));
      continue;
    }
    HWND Progress = WaitForTopWindow(Program, L"PictraneProgress", 20000);
    ASSERT_NE(Progress, nullptr) << "the wait was not shown";
    Click(CentreOf(::GetDlgItem(Progress, ProgressWindowWin32::kCancelId)));
    const std::optional<std::string> Text = PressOkOnBox(Program, 20000);
    ASSERT_TRUE(Text.has_value()) << "no report";
    EXPECT_EQ(Text->substr(0, 30), "The conversion was cancelled.\r") << *Text;
    EXPECT_EQ(Program.WaitForExit(10000), std::optional<DWORD>(3));
    EXPECT_TRUE(FileExists(Setup.App / L"keys.log.closed")) << "the tool was not asked to close";
    const std::optional<std::string> Log = ReadBytes(Setup.App / L"keys.log");
    ASSERT_TRUE(Log.has_value());
    EXPECT_EQ(std::count(Log->begin(), Log->end(), '\n'), 2) << *Log;
    EXPECT_TRUE(FileExists(Work / L"a.bmp"));
  }
}

}  // namespace
}  // namespace pictrane::win32::testing
