// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// UTF-8 inside the program, UTF-16 at the Win32 boundary. Header-only, because the profile store
// is compiled into the core library while the rest of this back end is not.

#include <optional>
#include <string>
#include <string_view>

#include "pictrane/win32/Win32.h"

namespace pictrane::win32 {

// A whole file's bytes, or nothing (with the Win32 error in Code) when it cannot be opened.
inline std::optional<std::string> ReadFileBytes(const std::wstring& Path, DWORD* Code = nullptr) {
  HANDLE In = ::CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (In == INVALID_HANDLE_VALUE) {
    if (Code) *Code = ::GetLastError();
    return std::nullopt;
  }
  std::string Bytes;
  char Chunk[16384];
  DWORD Got = 0;
  while (::ReadFile(In, Chunk, sizeof Chunk, &Got, nullptr) && Got > 0) Bytes.append(Chunk, Got);
  ::CloseHandle(In);
  return Bytes;
}

inline std::wstring Widen(std::string_view Utf8) {
  if (Utf8.empty()) return {};
  const int Size = static_cast<int>(Utf8.size());
  const int Needed = ::MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), Size, nullptr, 0);
  std::wstring Wide(static_cast<std::size_t>(Needed), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, Utf8.data(), Size, Wide.data(), Needed);
  return Wide;
}

inline std::string Narrow(std::wstring_view Wide) {
  if (Wide.empty()) return {};
  const int Size = static_cast<int>(Wide.size());
  const int Needed =
      ::WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Size, nullptr, 0, nullptr, nullptr);
  std::string Utf8(static_cast<std::size_t>(Needed), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, Wide.data(), Size, Utf8.data(), Needed, nullptr, nullptr);
  return Utf8;
}

// The system's own words for a Win32 error code, on one line.
inline std::string SystemMessage(DWORD Code) {
  wchar_t* Buffer = nullptr;
  const DWORD Length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, Code, 0, reinterpret_cast<wchar_t*>(&Buffer), 0, nullptr);
  std::wstring Text = Length > 0 && Buffer != nullptr ? std::wstring(Buffer, Length) : L"";
  if (Buffer != nullptr) ::LocalFree(Buffer);
  while (!Text.empty() && (Text.back() == L'\n' || Text.back() == L'\r' || Text.back() == L' ' ||
                           Text.back() == L'.')) {
    Text.pop_back();
  }
  if (Text.empty()) return "system error " + std::to_string(Code);
  return Narrow(Text);
}

}  // namespace pictrane::win32
