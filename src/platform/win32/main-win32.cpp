// The Windows program: the Win32 platform around the core, and the message loop.

#include "Win32.h"  // first: the interfaces must not meet the MessageBox and DeleteFile macros

#include <objbase.h>

#include "../../startup/modMain.h"
#include "Errors.h"
#include "FileSystemWin32.h"
#include "FormWin32.h"
#include "MessageLoop.h"
#include "ServicesWin32.h"
#include "WindowSystemWin32.h"

using namespace pictrane;

int WINAPI WinMain(HINSTANCE Instance, HINSTANCE, LPSTR, int) {
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
  win32::FormFactoryWin32 Forms(
      Instance, [&Running](const RaisedError& Error) { ReportRunTimeError(*Running, Error); });
  SilentProgress Progress;  // TODO(progress window): replaced by the Win32 progress window
  SilentNotifier Notices;
  Platform P{SystemProfileStore(),
             Clock,
             Controls,
             Folders,
             Windows,
             Programs,
             Files,
             Listing,
             Forms,
             Progress,
             Notices};
  Running = &P;

  int Status = 0;
  {
    ProgramState State;
    try {
      Main(P, State);
    } catch (...) {
      ReportRunTimeError(P, CurrentError());
    }
    Status = win32::RunMessageLoop();
  }
  if (SUCCEEDED(Com)) ::CoUninitialize();
  return Status;
}
