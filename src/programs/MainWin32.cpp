// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows program: the Win32 platform around the core, and the message loop.

#include "pictrane/win32/Win32.h"  // first: the interfaces must not meet the MessageBox and DeleteFile macros

#include <objbase.h>
#include <shellapi.h>

#include <vector>

#include "startup/CommandLine.h"
#include "startup/modMain.h"
#include "window/FormRules.h"
#include "window/ProgressReport.h"
#include "platform/Platform.h"
#include "pictrane/win32/Errors.h"
#include "win32/FileSystemWin32.h"
#include "win32/FormWin32.h"
#include "win32/MessageLoop.h"
#include "win32/ProfileStoreWin32.h"
#include "win32/ProgressWindowWin32.h"
#include "win32/DesktopWin32.h"
#include "win32/ProcessesWin32.h"
#include "win32/WindowSystemWin32.h"

using namespace pictrane;

namespace {

// /?, --help and --version answer in a box: a windowed program has no console to write to. Any
// other argument (a folder dropped onto the program, a shortcut's) is left aside without a word.
bool AnswerCommandLine() {
  int Count = 0;
  LPWSTR* Wide = ::CommandLineToArgvW(::GetCommandLineW(), &Count);
  std::vector<std::string> Args;
  for (int I = 1; Wide && I < Count; ++I) Args.push_back(win32::Narrow(Wide[I]));
  if (Wide) ::LocalFree(Wide);
  const CommandLineAnswer Answer =
      ParseCommandLine(Args, "Pictrane Converter.exe", HelpStyle::MessageBox);
  if (Answer.Run) return false;
  ::MessageBoxW(nullptr, win32::Widen(Answer.Text).c_str(), win32::Widen(kAppTitle).c_str(),
                MB_ICONINFORMATION);
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int) {
  if (AnswerCommandLine()) return 0;
  // The folder dialog's new style needs a single-threaded apartment.
  const HRESULT Com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

  win32::ClockWin32 Clock;
  win32::CommonControlsWin32 Controls;
  win32::FolderDialogWin32 Folders;
  win32::WindowSystemWin32 Windows;
  win32::ProcessesWin32 Programs;
  win32::FileSystemWin32 Files;
  win32::DirectoryListingWin32 Listing;
  Platform* Running = nullptr;
  win32::FormFactoryWin32 Toolkit(
      Instance, [&Running](const RaisedError& Error) { ReportRunTimeError(*Running, Error); });
  TableFormFactory Forms(Toolkit);
  win32::ProgressWindowWin32 Window(Instance, std::make_unique<win32::Taskbar>());
  ProgressReport Progress(Window);
  SilentNotifier Notices;
  static win32::ProfileStoreWin32 Settings;
  Platform P{Settings, Clock,   Controls, Folders,  Windows, Programs,
             Files,    Listing, Forms,    Progress, Notices};
  Running = &P;

  int Status = 0;
  {
    ProgramState State(Settings);
    Status = RunProgram(P, State, [] { return win32::RunMessageLoop(); });
  }
  if (SUCCEEDED(Com)) ::CoUninitialize();
  return Status;
}
