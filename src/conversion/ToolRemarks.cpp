// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/ToolRemarks.h"

#include <map>

#include "pictrane/Names.h"

namespace pictrane {

std::vector<FileRemarks> RemarksOn(const std::vector<std::string>& Lines,
                                   const std::vector<FileNames>& Files) {
  // A bitmap and its picture lead to the same file; the path is the whole text before ": ", so
  // "a.bmp" is not taken for "a.bmp.bmp".
  std::map<std::string, std::size_t> FileOf;
  for (std::size_t I = 0; I < Files.size(); ++I) {
    FileOf.emplace(EscapedName(Files[I].Source), I);
    FileOf.emplace(EscapedName(Files[I].Target), I);
  }
  std::vector<FileRemarks> Remarks(Files.size());
  const std::string Named = kNamedRemark;
  for (const std::string& Line : Lines) {
    // A path may hold ": " itself: every place it occurs is tried, the first that names a file
    // wins.
    for (std::size_t At = Line.find(": "); At != std::string::npos; At = Line.find(": ", At + 1)) {
      const auto It = FileOf.find(Line.substr(0, At));
      if (It == FileOf.end()) continue;
      std::string Said = Line.substr(At + 2);
      FileRemarks& Remark = Remarks[It->second];
      if (Said.rfind(Named, 0) == 0) {
        const std::size_t End = Said.find(' ', Named.size());
        Remark.NamedAs = Said.substr(Named.size(), End - Named.size());
      } else {
        Remark.Said = std::move(Said);
      }
      break;
    }
  }
  return Remarks;
}

}  // namespace pictrane
