#include "ServicesWin32.h"

#include "Win32.h"

#include <commctrl.h>
#include <shlobj.h>

#include "Errors.h"
#include "Translations.h"

namespace pictrane::win32 {

namespace {

struct WindowSearch {
  DWORD Process;
  HWND Found;
};

BOOL CALLBACK FindMainWindow(HWND Window, LPARAM Parameter) {
  auto* Search = reinterpret_cast<WindowSearch*>(Parameter);
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  if (Owner != Search->Process || !::IsWindowVisible(Window) ||
      ::GetWindow(Window, GW_OWNER) != nullptr) {
    return TRUE;
  }
  Search->Found = Window;
  return FALSE;
}

bool ForegroundBelongsTo(DWORD Process) {
  HWND Foreground = ::GetForegroundWindow();
  DWORD Owner = 0;
  if (Foreground != nullptr) ::GetWindowThreadProcessId(Foreground, &Owner);
  return Foreground != nullptr && Owner == Process;
}

// Waits until the new program's window is up and makes sure it is the foreground window, so
// that the keys that follow reach it; false when that did not happen within the bounded wait.
bool BringForward(HANDLE Process, DWORD ProcessId, int TimeoutMs) {
  const ULONGLONG Deadline = ::GetTickCount64() + static_cast<ULONGLONG>(TimeoutMs);
  ::WaitForInputIdle(Process, static_cast<DWORD>(TimeoutMs));
  while (::GetTickCount64() < Deadline) {
    if (::WaitForSingleObject(Process, 0) == WAIT_OBJECT_0) return false;  // it ended already
    WindowSearch Search{ProcessId, nullptr};
    ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&Search));
    if (Search.Found != nullptr) {
      if (ForegroundBelongsTo(ProcessId)) return true;
      ::SetForegroundWindow(Search.Found);
      if (ForegroundBelongsTo(ProcessId)) return true;
    }
    ::Sleep(20);
  }
  return false;
}

}  // namespace

void ClockWin32::Sleep(int Milliseconds) {
  ::Sleep(Milliseconds > 0 ? static_cast<DWORD>(Milliseconds) : 0);
}

std::int64_t ClockWin32::NowMs() {
  return static_cast<std::int64_t>(::GetTickCount64());
}

void CommonControlsWin32::InitCommonControlsEx(const CommonControlsRecord& Record) {
  INITCOMMONCONTROLSEX Controls = CommonControlsInit(Record);
  ::InitCommonControlsEx(&Controls);  // without the newer classes the window still works
}

std::optional<std::string> FolderDialogWin32::BrowseForFolder(WindowHandle Owner,
                                                              const std::string& Prompt) {
  const std::wstring Title = Widen(Prompt);
  BROWSEINFOW Info{};
  Info.hwndOwner = reinterpret_cast<HWND>(Owner);
  Info.pidlRoot = nullptr;
  Info.pszDisplayName = nullptr;
  Info.lpszTitle = Title.c_str();
  Info.ulFlags = BIF_NEWDIALOGSTYLE;
  Info.lpfn = nullptr;
  Info.lParam = 0;
  Info.iImage = 0;
  PIDLIST_ABSOLUTE Item = ::SHBrowseForFolderW(&Info);
  if (Item == nullptr) return std::nullopt;
  wchar_t Path[MAX_PATH] = {};
  ::SHGetPathFromIDListW(Item, Path);
  ::CoTaskMemFree(Item);
  if (Path[0] == L'\0') return std::nullopt;  // a virtual folder has no file-system path
  return Narrow(Path);
}

ProcessId ProcessesWin32::Start(const std::string& CommandLine, WindowState State) {
  STARTUPINFOW Startup{};
  Startup.cb = sizeof Startup;
  Startup.dwFlags = STARTF_USESHOWWINDOW;
  Startup.wShowWindow = ShowWindowCommand(State);
  PROCESS_INFORMATION Started{};
  // The system finds the program as it does for any command line: an unquoted name with blanks
  // is tried prefix by prefix.
  std::wstring Line = Widen(CommandLine);
  if (!::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &Startup, &Started)) {
    const DWORD Code = ::GetLastError();
    throw FileError(StartErrorNumber(Code), "Cannot start", CommandLine, Code);
  }
  ::CloseHandle(Started.hThread);
  if (State == WindowState::MaximizedFocus) {
    ::AllowSetForegroundWindow(Started.dwProcessId);
    if (!BringForward(Started.hProcess, Started.dwProcessId, kWindowWaitMs)) {
      // No keys could reach it: a program nobody will drive is not left running.
      ::TerminateProcess(Started.hProcess, 1);
      ::CloseHandle(Started.hProcess);
      throw RaisedError(ErrorNumber::InvalidProcedureCall, kErrorSource,
                        NoWindowMessage(CommandLine));
    }
  }
  ::CloseHandle(Started.hProcess);
  return static_cast<ProcessId>(Started.dwProcessId);
}

bool ProcessesWin32::IsRunning(ProcessId Process) {
  HANDLE Handle = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(Process));
  if (Handle == nullptr) return false;
  const bool Running = ::WaitForSingleObject(Handle, 0) == WAIT_TIMEOUT;
  ::CloseHandle(Handle);
  return Running;
}

void ProcessesWin32::Terminate(int Status) {
  ::ExitProcess(static_cast<UINT>(Status));
}

}  // namespace pictrane::win32
