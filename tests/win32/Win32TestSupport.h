// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers of the Windows tests: temporary folders, files, child processes and windows of other
// processes. Everything here speaks UTF-16, as Win32 does.

#include "pictrane/win32/Win32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "pictrane/RaisedError.h"
#include "pictrane/win32/Text.h"

namespace pictrane::win32::testing {

// The Windows path of a Linux path handed over by the test set-up (Wine maps "/" to drive Z:).
inline std::wstring WindowsPath(const std::string& Path) {
  std::wstring Wide = Widen(Path);
  for (wchar_t& C : Wide) {
    if (C == L'/') C = L'\\';
  }
  return Path.size() > 0 && Path[0] == '/' ? L"Z:" + Wide : Wide;
}

// A path the test set-up names in an environment variable; the test fails without it.
inline std::wstring PathFromEnvironment(const char* Name) {
  const char* Value = std::getenv(Name);
  if (Value == nullptr || *Value == '\0') {
    ADD_FAILURE() << Name << " is not set";
    return L"";
  }
  return WindowsPath(Value);
}

// What a folder holds, without "." and "..".
inline std::vector<WIN32_FIND_DATAW> EntriesOf(const std::wstring& Path) {
  std::vector<WIN32_FIND_DATAW> Entries;
  WIN32_FIND_DATAW Found;
  HANDLE Search = ::FindFirstFileW((Path + L"\\*").c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return Entries;
  do {
    const std::wstring Name = Found.cFileName;
    if (Name != L"." && Name != L"..") Entries.push_back(Found);
  } while (::FindNextFileW(Search, &Found));
  ::FindClose(Search);
  return Entries;
}

inline void RemoveTree(const std::wstring& Path) {
  for (const WIN32_FIND_DATAW& Entry : EntriesOf(Path)) {
    const std::wstring Full = Path + L"\\" + Entry.cFileName;
    ::SetFileAttributesW(Full.c_str(), FILE_ATTRIBUTE_NORMAL);
    if ((Entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      RemoveTree(Full);
    } else {
      ::DeleteFileW(Full.c_str());
    }
  }
  ::SetFileAttributesW(Path.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::RemoveDirectoryW(Path.c_str());
}

// A fresh folder in the temporary folder, removed with its content afterwards.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& Hint = L"test") {
    wchar_t Base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, Base);
    static unsigned Counter = 0;
    for (;;) {
      Path_ = std::wstring(Base) + L"pictrane-" + Hint + L"-" +
              std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++Counter);
      if (::CreateDirectoryW(Path_.c_str(), nullptr)) break;
      if (::GetLastError() != ERROR_ALREADY_EXISTS) {
        ADD_FAILURE() << "cannot create a temporary folder";
        break;
      }
    }
  }
  ~TempFolder() { RemoveTree(Path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return Path_; }
  std::wstring operator/(const std::wstring& Name) const { return Path_ + L"\\" + Name; }
  // The UTF-8 path the program's interfaces take.
  std::string Utf8(const std::wstring& Name) const { return Narrow(*this / Name); }
  // The names of what it holds, in the order the system lists them.
  std::vector<std::wstring> Names() const {
    std::vector<std::wstring> Names;
    for (const WIN32_FIND_DATAW& Entry : EntriesOf(Path_)) Names.emplace_back(Entry.cFileName);
    return Names;
  }

 private:
  std::wstring Path_;
};

inline bool WriteBytes(const std::wstring& File, const std::string& Bytes) {
  HANDLE Out = ::CreateFileW(File.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (Out == INVALID_HANDLE_VALUE) return false;
  DWORD Put = 0;
  const BOOL Ok = ::WriteFile(Out, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Put, nullptr);
  ::CloseHandle(Out);
  return Ok != FALSE && Put == Bytes.size();
}

inline std::optional<std::string> ReadBytes(const std::wstring& File) {
  return pictrane::win32::ReadFileBytes(File);
}

inline bool FileExists(const std::wstring& Path) {
  return ::GetFileAttributesW(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A UTF-16 text as the bytes of a Unicode profile file (with its byte order mark).
inline std::string Utf16File(const std::wstring& Text) {
  std::string Bytes = "\xFF\xFE";
  Bytes.append(reinterpret_cast<const char*>(Text.data()), Text.size() * sizeof(wchar_t));
  return Bytes;
}

// A program started by a test, ended by force if the test leaves it running.
class ChildProcess {
 public:
  explicit ChildProcess(const std::wstring& CommandLine) {
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    PROCESS_INFORMATION Started{};
    std::wstring Line = CommandLine;
    if (::CreateProcessW(nullptr, Line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                         &Startup, &Started)) {
      ::CloseHandle(Started.hThread);
      Process_ = Started.hProcess;
      Id_ = Started.dwProcessId;
    }
  }
  // Takes over a process started elsewhere (by the shell, through a shortcut).
  explicit ChildProcess(HANDLE Process)
      : Process_(Process), Id_(Process != nullptr ? ::GetProcessId(Process) : 0) {}
  ~ChildProcess() {
    if (Process_ == nullptr) return;
    if (::WaitForSingleObject(Process_, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(Process_, 99);
      ::WaitForSingleObject(Process_, 5000);
    }
    ::CloseHandle(Process_);
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return Process_ != nullptr; }
  DWORD Id() const { return Id_; }
  // The exit status, or nothing when it is still running after TimeoutMs.
  std::optional<DWORD> WaitForExit(DWORD TimeoutMs) {
    if (Process_ == nullptr || ::WaitForSingleObject(Process_, TimeoutMs) != WAIT_OBJECT_0) {
      return std::nullopt;
    }
    DWORD Status = 0;
    ::GetExitCodeProcess(Process_, &Status);
    return Status;
  }

 private:
  HANDLE Process_ = nullptr;
  DWORD Id_ = 0;
};

inline std::wstring ClassOf(HWND Window) {
  wchar_t Name[256] = {};
  ::GetClassNameW(Window, Name, 256);
  return Name;
}

// A window's text, asked of its own process.
inline std::wstring TextOf(HWND Window) {
  wchar_t Text[1024] = {};
  DWORD_PTR Ignored = 0;
  ::SendMessageTimeoutW(Window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(Text), SMTO_NORMAL, 5000,
                        &Ignored);
  return Text;
}

inline BOOL CALLBACK CollectChild(HWND Child, LPARAM Found) {
  reinterpret_cast<std::vector<HWND>*>(Found)->push_back(Child);
  return TRUE;
}

inline std::vector<HWND> ChildrenOf(HWND Window) {
  std::vector<HWND> Children;
  ::EnumChildWindows(Window, CollectChild, reinterpret_cast<LPARAM>(&Children));
  return Children;
}

struct TopWindowSearch {
  DWORD Process;
  std::wstring Class;
  std::vector<HWND> Found;
};

inline BOOL CALLBACK CollectTopWindow(HWND Window, LPARAM Param) {
  auto* Search = reinterpret_cast<TopWindowSearch*>(Param);
  DWORD Owner = 0;
  ::GetWindowThreadProcessId(Window, &Owner);
  const bool AnyProcess = Search->Process == 0;
  if ((AnyProcess || Owner == Search->Process) && ::IsWindowVisible(Window) &&
      ClassOf(Window) == Search->Class) {
    Search->Found.push_back(Window);
  }
  return TRUE;
}

// The visible top-level windows of a process (0: of any) with a given class.
inline std::vector<HWND> TopWindowsOf(DWORD Process, const std::wstring& Class) {
  TopWindowSearch Search{Process, Class, {}};
  ::EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&Search));
  return Search.Found;
}

// Waits for such a window; nothing after TimeoutMs or once the process has ended.
inline HWND WaitForTopWindow(ChildProcess& Child, const std::wstring& Class, DWORD TimeoutMs) {
  if (!Child.Started()) return nullptr;
  const ULONGLONG Deadline = ::GetTickCount64() + TimeoutMs;
  while (::GetTickCount64() < Deadline) {
    const std::vector<HWND> Found = TopWindowsOf(Child.Id(), Class);
    if (!Found.empty()) return Found.front();
    if (Child.WaitForExit(0)) return nullptr;
    ::Sleep(50);
  }
  return nullptr;
}

// A left click at At (screen pixels) through the system's input, as a user's hand makes it.
inline void Click(POINT At) {
  const int Width = ::GetSystemMetrics(SM_CXSCREEN), Height = ::GetSystemMetrics(SM_CYSCREEN);
  INPUT Inputs[3] = {};
  for (INPUT& I : Inputs) I.type = INPUT_MOUSE;
  Inputs[0].mi.dx = ::MulDiv(At.x, 65535, Width - 1);
  Inputs[0].mi.dy = ::MulDiv(At.y, 65535, Height - 1);
  Inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  Inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  Inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(3, Inputs, sizeof(INPUT));
}

inline POINT CentreOf(HWND Window) {
  RECT R{};
  ::GetWindowRect(Window, &R);
  return {(R.left + R.right) / 2, (R.top + R.bottom) / 2};
}

}  // namespace pictrane::win32::testing
