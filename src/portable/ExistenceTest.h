// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace pictrane {

// The existence test: a directory search for Pattern taken as a file pattern. "*" (any run of
// characters) and "?" (one character) work in the last component only; a pattern ending in "/"
// stands for every name in that folder, and one ending in ".*" also finds names without that
// extension. True when a matching name is an ordinary file that is not hidden (a name starting
// with "."); folders are never found, and neither is anything for an empty pattern. Names
// compare as the file system compares them (case-sensitively on Linux).
bool OrdinaryFileExists(const std::string& Pattern);

// Whether Name fits Pattern by the rules above ("?" takes one UTF-8 character).
bool NameFitsPattern(const std::string& Name, const std::string& Pattern);

}  // namespace pictrane
