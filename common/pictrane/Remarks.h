// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace pictrane {

// How our capture tool tells the converter about a file, since its window is gone by the time
// the report shows: one line on its standard error, the file's path as EscapedName shows it,
// ": ", then what it said in its window. A picture saved under a name the tool had to choose
// itself says kNamedRemark and that name first.
inline constexpr const char* kNamedRemark = "named ";

// The line the tool writes about the file at Path (no line end; line breaks in Message become
// blanks, so that one message stays one line).
std::string RemarkLine(const std::string& Path, const std::string& Message);

}  // namespace pictrane
