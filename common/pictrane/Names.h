// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace pictrane {

// A name as a message can show it: control characters, bytes that are not UTF-8 and the
// backslash escaped C-style ("\r", "\x9F", "\\"), everything else as it is.
std::string EscapedName(const std::string& Name);

// True when Name is UTF-8 without control characters: text that can be typed as itself and
// written as one line.
bool TypableName(const std::string& Name);

}  // namespace pictrane
