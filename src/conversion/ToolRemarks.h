// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "conversion/FileScript.h"
#include "platform/Processes.h"
#include "pictrane/Remarks.h"

namespace pictrane {

// The converter's side of the tool's remarks (pictrane/Remarks.h).

// What the tool said about one bitmap or its picture.
struct FileRemarks {
  std::string Said;     // its last message about either, as it wrote it; empty: none
  std::string NamedAs;  // the calculator name it chose for the picture; empty: none
};

// For each of Files, in order, the remarks among Lines (the tool's standard error, line by line)
// that begin with its source or its target path and ": " (the longest such path wins). Lines about
// other files, and the libraries' own chatter, are no bitmap's.
std::vector<FileRemarks> RemarksOn(const std::vector<std::string>& Lines,
                                   const std::vector<FileNames>& Files);

// The lines of the tool's standard error that RemarksOn can use, for the back end that keeps
// them while the tool writes (Processes::KeepErrorLines); safe to call from any thread.
ErrorLineFilter RemarkLines(const std::vector<FileNames>& Files);

}  // namespace pictrane
