// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/ProcessesWin32.h"

#include "pictrane/win32/Win32.h"

#include <commctrl.h>
#include <shlobj.h>

#include "win32/TimingsWin32.h"
#include "pictrane/win32/Errors.h"
#include "win32/Translations.h"

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

}  // namespace

void ClockWin32::Sleep(int Milliseconds) {
  ::Sleep(Milliseconds > 0 ? static_cast<DWORD>(Milliseconds) : 0);
}

std::int64_t ClockWin32::NowMs() {
  return static_cast<std::int64_t>(::GetTickCount64());
}

std::int64_t ClockWin32::NowUs() {
  LARGE_INTEGER Frequency, Count;
  ::QueryPerformanceFrequency(&Frequency);
  ::QueryPerformanceCounter(&Count);
  const std::int64_t PerSecond = Frequency.QuadPart;
  return Count.QuadPart / PerSecond * 1'000'000 +
         Count.QuadPart % PerSecond * 1'000'000 / PerSecond;
}

void CommonControlsWin32::InitCommonControlsEx(const CommonControlsRecord& Record) {
  INITCOMMONCONTROLSEX Controls = CommonControlsInit(Record);
  ::InitCommonControlsEx(&Controls);  // without the newer classes the window still works
}

std::optional<std::string> FolderDialogWin32::BrowseForFolder(WindowHandle Owner,
                                                              const std::string& Prompt,
                                                              const std::string&) {
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
  // Held until it is in a job of its own, so that whatever it starts is in the job too.
  if (!::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &Startup, &Started)) {
    const DWORD Code = ::GetLastError();
    throw FileError(StartErrorNumber(Code), "Cannot start", CommandLine, Code);
  }
  const auto Id = static_cast<ProcessId>(Started.dwProcessId);
  // Where this program itself runs in a job that takes no nested one (before Windows 8), Stop
  // ends the program alone.
  HANDLE Job = ::CreateJobObjectW(nullptr, nullptr);
  if (Job != nullptr && !::AssignProcessToJobObject(Job, Started.hProcess)) {
    ::CloseHandle(Job);
    Job = nullptr;
  }
  if (void* Earlier = Jobs_[Id]) ::CloseHandle(Earlier);
  Jobs_[Id] = Job;
  ::ResumeThread(Started.hThread);
  ::CloseHandle(Started.hThread);
  // The new program may take the foreground from us, as the keys that follow need.
  if (State == WindowState::MaximizedFocus) {
    ::AllowSetForegroundWindow(Started.dwProcessId);
    if (void* Earlier = Started_[Id]) ::CloseHandle(Earlier);
    Started_[Id] = Started.hProcess;
  } else {
    ::CloseHandle(Started.hProcess);
  }
  return Id;
}

ProcessesWin32::~ProcessesWin32() {
  for (const auto& [Id, Handle] : Started_) ::CloseHandle(Handle);
  // The jobs end nothing when they close: a tool still at work goes on.
  for (const auto& [Id, Job] : Jobs_)
    if (Job != nullptr) ::CloseHandle(Job);
}

std::optional<int> ProcessesWin32::ExitStatus(ProcessId Process) {
  const auto It = Started_.find(Process);
  HANDLE Handle = It != Started_.end()
                      ? It->second
                      : ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                                      static_cast<DWORD>(Process));
  if (Handle == nullptr) return 1;  // gone, status unknown
  std::optional<int> Status;
  DWORD Code = 0;
  if (::WaitForSingleObject(Handle, 0) != WAIT_TIMEOUT)
    Status = ::GetExitCodeProcess(Handle, &Code) ? static_cast<int>(Code) : 1;
  if (It == Started_.end()) ::CloseHandle(Handle);
  return Status;
}

bool ProcessesWin32::ShowWindow(ProcessId Process, int TimeoutMs) {
  const auto Id = static_cast<DWORD>(Process);
  const ULONGLONG Deadline =
      ::GetTickCount64() + static_cast<ULONGLONG>(TimeoutMs > 0 ? TimeoutMs : 0);
  for (;;) {
    WindowSearch Search{Id, nullptr};
    ::EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&Search));
    if (Search.Found != nullptr) {
      if (ForegroundBelongsTo(Id)) return true;
      // Started maximised by its start-up record already; here it only comes forward.
      ::SetForegroundWindow(Search.Found);
      if (ForegroundBelongsTo(Id)) return true;
    }
    if (::GetTickCount64() >= Deadline) return false;
    ::Sleep(static_cast<DWORD>(kForegroundPollMs));
  }
}

void ProcessesWin32::Stop(ProcessId Process, int WaitMs) {
  // Its job holds what it started, even once it has ended itself.
  if (const auto Job = Jobs_.find(Process); Job != Jobs_.end() && Job->second != nullptr)
    ::TerminateJobObject(Job->second, 1);
  const auto Kept = Started_.find(Process);
  HANDLE Handle = Kept != Started_.end() ? Kept->second
                                         : ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                                         static_cast<DWORD>(Process));
  if (Handle == nullptr) return;  // already gone
  ::TerminateProcess(Handle, 1);
  ::WaitForSingleObject(Handle, static_cast<DWORD>(WaitMs));
  if (Kept == Started_.end()) ::CloseHandle(Handle);
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
