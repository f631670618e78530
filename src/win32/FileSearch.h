// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The existence test over the system's directory search. Header-only for the same reason as
// Text.h: the profile store in the core library needs it too.

#include <string>

#include "pictrane/win32/Text.h"

namespace pictrane::win32 {

// A directory search for Path taken as a file pattern: true when it finds an ordinary file.
// Folders, hidden and system files do not count. A path that ends in a separator or a drive
// stands for every name in that folder.
inline bool OrdinaryFileExists(const std::string& Path) {
  if (Path.empty()) return false;
  std::wstring Pattern = Widen(Path);
  const wchar_t Last = Pattern.back();
  if (Last == L'\\' || Last == L'/' || Last == L':') Pattern += L'*';
  WIN32_FIND_DATAW Found;
  HANDLE Search = ::FindFirstFileW(Pattern.c_str(), &Found);
  if (Search == INVALID_HANDLE_VALUE) return false;
  constexpr DWORD NotOrdinary =
      FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  bool Any = false;
  do {
    if ((Found.dwFileAttributes & NotOrdinary) == 0) Any = true;
  } while (!Any && ::FindNextFileW(Search, &Found));
  ::FindClose(Search);
  return Any;
}

}  // namespace pictrane::win32
