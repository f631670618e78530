// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "pictrane/Product.h"

namespace pictrane {

// The one error the program raises: nothing below the top level catches it, and the top level
// reports it as a run-time error box ("Run-time error 'N':") before exiting.
class RaisedError : public std::runtime_error {
 public:
  RaisedError(int Code, std::string From, std::string Text)
      : std::runtime_error(Text),
        Number(Code),
        Source(std::move(From)),
        Description(std::move(Text)) {}

  int Number;
  std::string Source;
  std::string Description;
};

// The source the program's own (platform-numbered) errors carry, as opposed to a class's errors
// such as clsINI's.
inline constexpr const char* ProgramErrorSource = kAppTitle;

// Numbers the platform uses for its own errors, so reports read as users know them.
namespace ErrorNumber {
inline constexpr int ApplicationDefined = 1;  // a class's own error, told apart by its source
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int InternalError = 51;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int InvalidPropertyValue = 380;
}  // namespace ErrorNumber

// The number a failed file operation raises for a system error (errno or std::filesystem's).
// Missing is what "no such file or directory" means to the caller: FileNotFound when the file
// itself was wanted, PathNotFound when it was its folder.
inline int FileErrorNumber(const std::error_code& Error, int Missing = ErrorNumber::FileNotFound) {
  const std::error_condition Condition = Error.default_error_condition();
  if (Condition == std::errc::no_such_file_or_directory) return Missing;
  if (Condition == std::errc::not_a_directory) return ErrorNumber::PathNotFound;
  if (Condition == std::errc::permission_denied ||
      Condition == std::errc::operation_not_permitted ||
      Condition == std::errc::read_only_file_system)
    return ErrorNumber::PermissionDenied;
  return ErrorNumber::PathFileAccessError;
}

inline int FileErrorNumber(int Errno, int Missing = ErrorNumber::FileNotFound) {
  return FileErrorNumber(std::error_code(Errno, std::generic_category()), Missing);
}

// The exception being handled, as the error the top level reports: the program's own as it
// is, anything else numbered as the platform numbers it. Call it only inside a catch block.
inline RaisedError CurrentError(const std::string& Source = ProgramErrorSource) {
  try {
    throw;
  } catch (const RaisedError& E) {
    return E;
  } catch (const std::bad_alloc&) {
    return RaisedError(ErrorNumber::OutOfMemory, Source, "Out of memory");
  } catch (const std::exception& E) {
    return RaisedError(ErrorNumber::InternalError, Source,
                       std::string("Internal error: ") + E.what());
  } catch (...) {
    return RaisedError(ErrorNumber::InternalError, Source, "Internal error");
  }
}

}  // namespace pictrane
