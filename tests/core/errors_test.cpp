// SPDX-License-Identifier: GPL-3.0-or-later
// What escapes to the top level, and what a failed system call is numbered as.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "pictrane/RaisedError.h"

namespace pictrane {
namespace {

TEST(Errors, EveryExceptionKindBecomesARaisedError) {
  struct Case {
    void (*Throw)();
    int Number;
    std::string Description;
  };
  const Case Cases[] = {
      {[] { throw RaisedError(ErrorNumber::FileNotFound, "clsINI", "gone"); },
       ErrorNumber::FileNotFound, "gone"},
      {[] { throw std::bad_alloc(); }, ErrorNumber::OutOfMemory, "Out of memory"},
      {[] { throw std::logic_error("broken"); }, ErrorNumber::InternalError,
       "Internal error: broken"},
      {[] { throw 42; }, ErrorNumber::InternalError, "Internal error"},
  };
  for (const Case& C : Cases) {
    try {
      C.Throw();
    } catch (...) {
      const RaisedError Error = CurrentError();
      EXPECT_EQ(Error.Number, C.Number);
      EXPECT_EQ(Error.Description, C.Description);
    }
  }
}

TEST(Errors, SystemErrorsGetTheFileNumbersUsersKnow) {
  const std::pair<int, int> Wanted[] = {{ENOENT, ErrorNumber::FileNotFound},
                                        {ENOTDIR, ErrorNumber::PathNotFound},
                                        {EACCES, ErrorNumber::PermissionDenied},
                                        {EROFS, ErrorNumber::PermissionDenied},
                                        {ENOSPC, ErrorNumber::PathFileAccessError}};
  for (const auto& [Errno, Number] : Wanted) EXPECT_EQ(FileErrorNumber(Errno), Number) << Errno;
  EXPECT_EQ(FileErrorNumber(ENOENT, ErrorNumber::PathNotFound), ErrorNumber::PathNotFound);

#ifndef _WIN32
  // std::filesystem reports in the system's category; it must read the same.
  std::error_code Missing;
  EXPECT_EQ(std::filesystem::file_size("/no/such/file/at/all", Missing),
            static_cast<std::uintmax_t>(-1));
  EXPECT_EQ(FileErrorNumber(Missing), ErrorNumber::FileNotFound);
#endif
}

}  // namespace
}  // namespace pictrane
