// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Raised errors of the Win32 back end, numbered as users of the original platform know them.

#include <string>

#include "pictrane/RaisedError.h"
#include "pictrane/win32/Text.h"

namespace pictrane::win32 {

inline constexpr const char* kErrorSource = ProgramErrorSource;

// The number a failed file operation raises for a Win32 error code.
inline int FileErrorNumber(DWORD Code) {
  switch (Code) {
    case ERROR_FILE_NOT_FOUND:
      return ErrorNumber::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_DRIVE:
      return ErrorNumber::PathNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return ErrorNumber::PermissionDenied;
    default:
      return ErrorNumber::PathFileAccessError;
  }
}

// The number a program that cannot be started raises for a Win32 error code.
inline int StartErrorNumber(DWORD Code) {
  return Code == ERROR_FILE_NOT_FOUND || Code == ERROR_PATH_NOT_FOUND
             ? ErrorNumber::FileNotFound
             : ErrorNumber::InvalidProcedureCall;
}

// "What Path (reason)", e.g. "Cannot delete C:\pics\a.bmp (Access denied)".
inline RaisedError FileError(int Number, const std::string& What, const std::string& Path,
                             DWORD Code) {
  return RaisedError(Number, kErrorSource, What + " " + Path + " (" + SystemMessage(Code) + ")");
}

}  // namespace pictrane::win32
