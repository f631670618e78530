// SPDX-License-Identifier: GPL-3.0-or-later
#include "portable/ExistenceTest.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace pictrane {

namespace {

namespace fs = std::filesystem;

bool IsContinuationByte(char C) {
  return (static_cast<unsigned char>(C) & 0xC0) == 0x80;
}

bool Fits(std::string_view Name, std::string_view Pattern) {
  // Greedy match with backtracking to the last "*": linear enough for file names.
  std::size_t N = 0, P = 0;
  std::size_t StarP = std::string_view::npos, StarN = 0;
  while (N < Name.size()) {
    if (P < Pattern.size() && Pattern[P] == '*') {
      StarP = P++;
      StarN = N;
    } else if (P < Pattern.size() && Pattern[P] == '?') {
      ++P;
      ++N;
      while (N < Name.size() && IsContinuationByte(Name[N])) ++N;
    } else if (P < Pattern.size() && Pattern[P] == Name[N]) {
      ++P;
      ++N;
    } else if (StarP != std::string_view::npos) {
      P = StarP + 1;
      N = ++StarN;
    } else {
      return false;
    }
  }
  while (P < Pattern.size() && Pattern[P] == '*') ++P;
  return P == Pattern.size();
}

bool HasWildcard(std::string_view S) {
  return S.find_first_of("*?") != std::string_view::npos;
}

bool IsOrdinaryVisible(const fs::path& Path, const std::string& Name) {
  if (Name.empty() || Name.front() == '.') return false;
  std::error_code Ec;
  return fs::is_regular_file(Path, Ec);
}

}  // namespace

bool NameFitsPattern(const std::string& Name, const std::string& Pattern) {
  if (Fits(Name, Pattern)) return true;
  // As in the system's search, "name.*" also finds "name" and "*.*" finds every name.
  const std::string_view P = Pattern;
  return P.size() >= 2 && P.substr(P.size() - 2) == ".*" && Fits(Name, P.substr(0, P.size() - 2));
}

bool OrdinaryFileExists(const std::string& Pattern) {
  if (Pattern.empty()) return false;
  const std::size_t Slash = Pattern.rfind('/');
  const std::string Folder =
      Slash == std::string::npos ? std::string(".") : Pattern.substr(0, Slash == 0 ? 1 : Slash);
  // A pattern ending in "/" stands for every name in that folder.
  const std::string Name = Slash == std::string::npos    ? Pattern
                           : Slash + 1 == Pattern.size() ? std::string(1, '*')
                                                         : Pattern.substr(Slash + 1);

  if (!HasWildcard(Name)) return IsOrdinaryVisible(fs::path(Folder) / Name, Name);

  std::error_code Ec;
  fs::directory_iterator It(Folder, Ec);
  if (Ec) return false;
  const fs::directory_iterator End{};
  for (; It != End; It.increment(Ec)) {
    if (Ec) return false;
    const std::string Found = It->path().filename().string();
    if (NameFitsPattern(Found, Name) && IsOrdinaryVisible(It->path(), Found)) return true;
  }
  return false;
}

}  // namespace pictrane
