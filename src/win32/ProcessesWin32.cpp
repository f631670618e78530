// SPDX-License-Identifier: GPL-3.0-or-later
#include "win32/ProcessesWin32.h"

#include "pictrane/win32/Win32.h"

#include <mmsystem.h>
#include <tlhelp32.h>

#include <optional>

#include "win32/TimingsWin32.h"
#include "pictrane/win32/Errors.h"
#include "win32/Translations.h"

namespace pictrane::win32 {

namespace {

// When Process was created; nullopt when it cannot be opened.
std::optional<ULONGLONG> CreationTime(DWORD Process) {
  HANDLE Handle = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, Process);
  if (Handle == nullptr) return std::nullopt;
  FILETIME Created{}, Exited{}, Kernel{}, User{};
  const BOOL Got = ::GetProcessTimes(Handle, &Created, &Exited, &Kernel, &User);
  ::CloseHandle(Handle);
  if (!Got) return std::nullopt;
  return (static_cast<ULONGLONG>(Created.dwHighDateTime) << 32) | Created.dwLowDateTime;
}

}  // namespace

ClockWin32::ClockWin32() : FineTimer_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

ClockWin32::~ClockWin32() {
  if (FineTimer_) ::timeEndPeriod(1);
}

void ClockWin32::SleepUs(std::int64_t Microseconds) {
  if (Microseconds <= 0) return;
  const std::int64_t End = NowUs() + Microseconds;
  if (Microseconds >= 1000) ::Sleep(static_cast<DWORD>(Microseconds / 1000));
  while (NowUs() < End) ::Sleep(0);
}

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

ProcessId ProcessesWin32::ParentProcess(ProcessId Process) {
  if (Process <= 0) return 0;
  HANDLE Snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (Snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32W Entry{};
  Entry.dwSize = sizeof Entry;
  DWORD Parent = 0;
  for (BOOL More = ::Process32FirstW(Snapshot, &Entry); More;
       More = ::Process32NextW(Snapshot, &Entry)) {
    if (Entry.th32ProcessID == static_cast<DWORD>(Process)) {
      Parent = Entry.th32ParentProcessID;
      break;
    }
  }
  ::CloseHandle(Snapshot);
  if (Parent == 0) return 0;
  // Windows keeps the id of a parent that has ended, and gives ids again: a parent created after
  // its child is a stranger that got the id.
  const std::optional<ULONGLONG> Child = CreationTime(static_cast<DWORD>(Process));
  const std::optional<ULONGLONG> Elder = CreationTime(Parent);
  if (!Child || !Elder || *Elder > *Child) return 0;
  return static_cast<ProcessId>(Parent);
}

ProcessId ProcessesWin32::OwnProcess() {
  return static_cast<ProcessId>(::GetCurrentProcessId());
}

std::string ProcessesWin32::Environment(const std::string& Name) {
  const std::wstring Wide = Widen(Name);
  const DWORD Needed = ::GetEnvironmentVariableW(Wide.c_str(), nullptr, 0);
  if (Needed == 0) return {};
  std::wstring Value(Needed, L'\0');
  const DWORD Got = ::GetEnvironmentVariableW(Wide.c_str(), Value.data(), Needed);
  Value.resize(Got < Needed ? Got : 0);
  return Narrow(Value);
}

}  // namespace pictrane::win32
