// SPDX-License-Identifier: GPL-3.0-or-later
// The smaller services: starting programs and the shell's folder dialog.

#include "Win32TestSupport.h"  // first: <windows.h> before <objbase.h>
#include "conversion/RunTimings.h"

#include <objbase.h>
#include <tlhelp32.h>

#include "win32/DesktopWin32.h"
#include "win32/ProcessesWin32.h"
#include "win32/WindowSystemWin32.h"

namespace pictrane::win32::testing {
namespace {

// The whole milliseconds are slept and the rest waited out on the clock; it never ends early.
TEST(ClockWin32, SleepUsNeverEndsBeforeTheTimeAsked) {
  ClockWin32 Clock;
  for (const std::int64_t Us : {1, 999, 1000, 1001, 4600}) {
    const std::int64_t Start = Clock.NowUs();
    Clock.SleepUs(Us);
    EXPECT_GE(Clock.NowUs() - Start, Us) << Us << " us";
  }
}

TEST(ProcessesWin32, AProgramThatIsNotThereRaisesFileNotFound) {
  ProcessesWin32 Programs;
  try {
    Programs.Start("Z:\\nowhere\\no tool.exe \"C:\\dummy.bmp\"", WindowState::MaximizedFocus);
    ADD_FAILURE() << "started";
  } catch (const RaisedError& Error) {
    EXPECT_EQ(Error.Number, ErrorNumber::FileNotFound);
    EXPECT_NE(Error.Description.find("Z:\\nowhere\\no tool.exe"), std::string::npos);
  }
}

// The first process found whose parent is Parent, or 0.
DWORD ChildOf(DWORD Parent) {
  HANDLE Snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (Snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof Entry;
  DWORD Found = 0;
  for (BOOL More = ::Process32FirstW(Snapshot, &Entry); More && Found == 0;
       More = ::Process32NextW(Snapshot, &Entry)) {
    if (Entry.th32ParentProcessID == Parent) Found = Entry.th32ProcessID;
  }
  ::CloseHandle(Snapshot);
  return Found;
}

// The primitives the core's wait for the tool's window works with: a program without a window is
// never shown, and Stop ends one that keeps running, with what it started (a windowless tool's
// child) when it went through its command interpreter.
TEST(ProcessesWin32, StartReturnsAtOnceAndStopEndsTheProgram) {
  ProcessesWin32 Programs;
  const ProcessId Quick = Programs.Start("cmd.exe /c exit 0", WindowState::MaximizedFocus);
  WindowSystemWin32 Windows;
  EXPECT_FALSE(Windows.ShowWindow(Quick, 300));
  wchar_t Self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, Self, MAX_PATH);
  const std::string Waits = "\"" + Narrow(Self) +
                            "\" --gtest_also_run_disabled_tests "
                            "--gtest_filter=*DISABLED_KeepsRunningToBeStopped";
  for (const std::string& Line : {Waits, "cmd.exe /s /c \"" + Waits + "\""}) {
    SCOPED_TRACE(Line);
    const ProcessId Slow = Programs.Start(Line, WindowState::MinimizedNoFocus);
    const bool Child = Line.starts_with("cmd.exe");
    DWORD Started = 0;
    for (int I = 0; I < 250 && Child && Started == 0; ++I, ::Sleep(20))
      Started = ChildOf(static_cast<DWORD>(Slow));
    ::Sleep(200);
    EXPECT_TRUE(Programs.IsRunning(Slow));
    HANDLE Grandchild = Started != 0 ? ::OpenProcess(SYNCHRONIZE, FALSE, Started) : nullptr;
    EXPECT_EQ(Grandchild != nullptr, Child);
    Programs.Stop(Slow, kRunTimings.StopWaitMs);
    EXPECT_FALSE(Programs.IsRunning(Slow));
    if (Grandchild == nullptr) continue;
    EXPECT_EQ(::WaitForSingleObject(Grandchild, 5000), WAIT_OBJECT_0) << "its child still runs";
    ::CloseHandle(Grandchild);
  }
}

// The program that the test above stops.
TEST(ProcessesWin32, DISABLED_KeepsRunningToBeStopped) {
  ::Sleep(30000);
}

// What the timer saw of the modal dialog.
struct DialogWatch {
  std::wstring Prompt;
  bool PromptShown = false;
  bool Cancelled = false;
};
DialogWatch* Watch = nullptr;

void CALLBACK CancelTheDialog(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND Dialog : TopWindowsOf(::GetCurrentProcessId(), L"#32770")) {
    for (HWND Child : ChildrenOf(Dialog)) {
      if (TextOf(Child) == Watch->Prompt) Watch->PromptShown = true;
    }
    ::PostMessageW(Dialog, WM_COMMAND, IDCANCEL, 0);
    Watch->Cancelled = true;
  }
}

TEST(FolderDialogWin32, ShowsThePromptAndGivesNothingOnCancel) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  DialogWatch Seen{L"Select folder of BMP files \u00e0 convertir \u03a9:"};
  Watch = &Seen;
  // The dialog is modal: a timer of this thread reads it and cancels it.
  const UINT_PTR Timer = ::SetTimer(nullptr, 0, 100, CancelTheDialog);
  FolderDialogWin32 Folders;
  EXPECT_EQ(Folders.BrowseForFolder(0, Narrow(Seen.Prompt), "C:\\"), std::nullopt);
  ::KillTimer(nullptr, Timer);
  Watch = nullptr;
  EXPECT_TRUE(Seen.Cancelled);
  EXPECT_TRUE(Seen.PromptShown);
  ::CoUninitialize();
}

}  // namespace
}  // namespace pictrane::win32::testing
