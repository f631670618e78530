#pragma once

#include <stdexcept>
#include <string>

namespace pictrane {

// The one error the program raises: nothing below the top level catches it, and the top level
// reports it as a run-time error box ("Run-time error 'N':") before exiting.
class RaisedError : public std::runtime_error {
 public:
  RaisedError(int number, std::string source, std::string description)
      : std::runtime_error(description),
        Number(number),
        Source(std::move(source)),
        Description(std::move(description)) {}

  int Number;
  std::string Source;
  std::string Description;
};

// Numbers the platform uses for its own errors, so reports read as users know them.
namespace ErrorNumber {
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int PermissionDenied = 70;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
}  // namespace ErrorNumber

}  // namespace pictrane
