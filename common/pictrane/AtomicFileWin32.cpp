// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/AtomicFile.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "pictrane/TemporaryFile.h"
#include "pictrane/win32/Errors.h"
#include "pictrane/win32/Text.h"

namespace pictrane {

namespace {

using win32::Widen;

// "What Path (reason)" from Source, numbered as the back end numbers file errors.
[[noreturn]] void Raise(const std::string& What, const std::string& Path, DWORD Code,
                        const std::string& Source) {
  throw RaisedError(win32::FileErrorNumber(Code), Source,
                    What + " " + Path + " (" + win32::SystemMessage(Code) + ")");
}

// "~pc" + six hex digits + ".tmp": the names Temporary below makes.
bool IsTemporaryName(std::wstring_view Name) {
  constexpr std::wstring_view Prefix = L"~pc", Suffix = L".tmp";
  constexpr std::size_t Digits = 6;
  if (Name.size() != Prefix.size() + Digits + Suffix.size() ||
      Name.substr(0, Prefix.size()) != Prefix || Name.substr(Prefix.size() + Digits) != Suffix) {
    return false;
  }
  for (const wchar_t C : Name.substr(Prefix.size(), Digits)) {
    if (!((C >= L'0' && C <= L'9') || (C >= L'a' && C <= L'f'))) return false;
  }
  return true;
}

std::wstring FolderOf(const std::wstring& Path) {
  const auto Slash = Path.find_last_of(L"\\/");
  return Slash == std::wstring::npos ? L"." : Path.substr(0, Slash);
}

HANDLE HandleOf(const TemporaryFile& File) {
  return reinterpret_cast<HANDLE>(File.Handle);
}

}  // namespace

TemporaryFile CreateTemporaryBeside(const std::string& Path, const std::string& Source) {
  const std::wstring Folder = FolderOf(Widen(Path));
  // CREATE_NEW fails on any existing name, a planted link included; a few tries with other
  // short names get past names left by others.
  static unsigned Counter = 0;
  DWORD Code = ERROR_FILE_EXISTS;
  std::wstring Name;
  HANDLE Handle = INVALID_HANDLE_VALUE;
  for (int Try = 0; Try < 64 && Code == ERROR_FILE_EXISTS; ++Try) {
    const unsigned Bits =
        (::GetCurrentProcessId() << 16) ^ ::GetTickCount() ^ (++Counter * 2654435761u);
    wchar_t Unique[16];
    ::wsprintfW(Unique, L"\\~pc%06x.tmp", Bits & 0xFFFFFFu);
    Name = Folder + Unique;
    Handle = ::CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    Code = Handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
  }
  if (Handle == INVALID_HANDLE_VALUE) {
    Raise("Cannot write in the folder", win32::Narrow(Folder), Code, Source);
  }
  return {win32::Narrow(Name), reinterpret_cast<std::intptr_t>(Handle)};
}

std::size_t WriteSomeOf(const TemporaryFile& File, std::string_view Bytes, const std::string& Path,
                        const std::string& Source) {
  const DWORD Chunk = static_cast<DWORD>(std::min<std::size_t>(Bytes.size(), 1u << 30));
  DWORD Put = 0;
  if (!::WriteFile(HandleOf(File), Bytes.data(), Chunk, &Put, nullptr) || Put == 0) {
    const DWORD Code = ::GetLastError();
    Raise("Cannot write", Path, Code, Source);
  }
  return Put;
}

void FlushAndClose(TemporaryFile& File, const std::string& Path, const std::string& Source) {
  if (HandleOf(File) == INVALID_HANDLE_VALUE) {
    // Written by a library through its name: opened again, as a writer, to be flushed.
    const HANDLE Handle =
        ::CreateFileW(Widen(File.Name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (Handle == INVALID_HANDLE_VALUE) {
      const DWORD Code = ::GetLastError();
      Raise("Cannot write", Path, Code, Source);
    }
    File.Handle = reinterpret_cast<std::intptr_t>(Handle);
  }
  if (!::FlushFileBuffers(HandleOf(File))) {
    const DWORD Code = ::GetLastError();
    CloseTemporary(File);
    Raise("Cannot write", Path, Code, Source);
  }
  CloseTemporary(File);
}

void FlushFolderOf(const std::string&, const std::string&) {
  // MOVEFILE_WRITE_THROUGH: the rename returns once the new entry is on the disk.
}

void CloseTemporary(TemporaryFile& File) noexcept {
  if (HandleOf(File) != INVALID_HANDLE_VALUE) ::CloseHandle(HandleOf(File));
  File.Handle = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

void RenameOver(const TemporaryFile& File, const std::string& Path, const std::string& Source) {
  const std::wstring Temporary = Widen(File.Name), Target = Widen(Path);
  // The replaced file's own attributes stay (read-only aside, which would refuse the rename).
  const DWORD Old = ::GetFileAttributesW(Target.c_str());
  if (Old != INVALID_FILE_ATTRIBUTES) {
    ::SetFileAttributesW(Temporary.c_str(),
                         Old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  }
  if (!::MoveFileExW(Temporary.c_str(), Target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD Code = ::GetLastError();
    Raise("Cannot save", Path, Code, Source);
  }
}

void RemoveTemporary(const TemporaryFile& File) noexcept {
  ::DeleteFileW(Widen(File.Name).c_str());
}

void RemoveStaleTemporaries(const std::string& Folder, std::chrono::seconds MinAge) {
  const std::wstring Wide = Widen(Folder);
  WIN32_FIND_DATAW Found{};
  HANDLE Search = ::FindFirstFileW((Wide + L"\\~pc*.tmp").c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return;
  FILETIME NowFile{};
  ::GetSystemTimeAsFileTime(&NowFile);
  const auto Ticks = [](const FILETIME& T) {  // 100-nanosecond units
    return (static_cast<unsigned long long>(T.dwHighDateTime) << 32) | T.dwLowDateTime;
  };
  const unsigned long long Cutoff =
      Ticks(NowFile) - static_cast<unsigned long long>(MinAge.count()) * 10000000ULL;
  do {
    constexpr DWORD NotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((Found.dwFileAttributes & NotOrdinary) != 0 || !IsTemporaryName(Found.cFileName) ||
        Ticks(Found.ftLastWriteTime) > Cutoff) {
      continue;
    }
    ::DeleteFileW((Wide + L"\\" + Found.cFileName).c_str());
  } while (::FindNextFileW(Search, &Found));
  ::FindClose(Search);
}

}  // namespace pictrane
