// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "conversion/FileScript.h"

namespace pictrane {

// How our capture tool tells the converter about a file, since its window is gone by the time
// the report shows: one line on its standard error, the file's path as EscapedName shows it,
// ": ", then what it said in its window. A picture saved under a name the tool had to choose
// itself says kNamedRemark and that name first.
inline constexpr const char* kNamedRemark = "named ";

// The line the tool writes about the file at Path (no line end; line breaks in Message become
// blanks, so that one message stays one line).
std::string RemarkLine(const std::string& Path, const std::string& Message);

// What the tool said about one bitmap or its picture.
struct FileRemarks {
  std::string Said;     // its last message about either, as it wrote it; empty: none
  std::string NamedAs;  // the calculator name it chose for the picture; empty: none
};

// For each of Files, in order, the remarks among Lines (the tool's standard error, line by line)
// that begin with its source or its target path. Lines about other files, and the libraries'
// own chatter, are no bitmap's.
std::vector<FileRemarks> RemarksOn(const std::vector<std::string>& Lines,
                                   const std::vector<FileNames>& Files);

}  // namespace pictrane
