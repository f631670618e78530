// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ToolRemarks.h"

#include <memory>
#include <string_view>
#include <unordered_map>

#include "pictrane/Names.h"

namespace pictrane {

namespace {

// A bitmap and its picture lead to the same file; the path is the whole text before ": ", so
// "a.bmp" is not taken for "a.bmp.bmp".
using PathIndex = std::unordered_map<std::string, std::size_t>;

PathIndex IndexPaths(const std::vector<FileNames>& Files) {
  PathIndex FileOf;
  for (std::size_t I = 0; I < Files.size(); ++I) {
    FileOf.emplace(EscapedName(Files[I].Source), I);
    FileOf.emplace(EscapedName(Files[I].Target), I);
  }
  return FileOf;
}

struct Match {
  std::size_t At = std::string::npos;  // where the ": " after the path stands
  std::size_t File = 0;
};

// A path may hold ": " itself ("a.bmp: b.bmp" beside "a.bmp"): every place it occurs is tried,
// and the longest path that names a listed file wins.
Match Find(const PathIndex& FileOf, std::string_view Line) {
  Match Found;
  for (std::size_t At = Line.find(": "); At != std::string_view::npos;
       At = Line.find(": ", At + 1)) {
    const auto It = FileOf.find(std::string(Line.substr(0, At)));
    if (It != FileOf.end()) Found = {At, It->second};
  }
  return Found;
}

}  // namespace

std::vector<FileRemarks> RemarksOn(const std::vector<std::string>& Lines,
                                   const std::vector<FileNames>& Files) {
  const PathIndex FileOf = IndexPaths(Files);
  std::vector<FileRemarks> Remarks(Files.size());
  const std::string Named = kNamedRemark;
  for (const std::string& Line : Lines) {
    const Match Found = Find(FileOf, Line);
    if (Found.At == std::string::npos) continue;
    std::string Said = Line.substr(Found.At + 2);
    FileRemarks& Remark = Remarks[Found.File];
    if (Said.rfind(Named, 0) == 0) {
      const std::size_t End = Said.find(' ', Named.size());
      Remark.NamedAs = Said.substr(Named.size(), End - Named.size());
    } else {
      Remark.Said = std::move(Said);
    }
  }
  return Remarks;
}

ErrorLineFilter RemarkLines(const std::vector<FileNames>& Files) {
  auto FileOf = std::make_shared<const PathIndex>(IndexPaths(Files));
  return [FileOf](std::string_view Line) { return Find(*FileOf, Line).At != std::string::npos; };
}

}  // namespace pictrane
