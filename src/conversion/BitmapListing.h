// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "pictrane/Names.h"
#include "platform/Listing.h"

namespace pictrane {

// The bitmaps of a folder as the run takes them.
struct BitmapList {
  // Names (no folder) of the ordinary, visible files ending in ".bmp" in any letter case, in the
  // order NTFS keeps a folder; each can be typed and written as one line of "list.txt".
  std::vector<std::string> Bitmaps;
  // The other bitmaps, in the same order, each shown escaped with why it was left out: a name
  // the keyboard or the list cannot carry, or one whose picture another bitmap already makes.
  std::vector<std::string> LeftOut;
};

// Raises the back end's RaisedError when Folder cannot be read.
BitmapList ListBitmaps(DirectoryListing& Listing, const std::string& Folder);

// "list.txt" as the command interpreter's bare listing writes it: one name per CRLF line.
std::string ListFileText(const std::vector<std::string>& Names);

// The key NTFS orders names by: each UTF-16 code unit upper-cased on its own, compared as
// numbers. A byte that does not begin a UTF-8 character stands for itself (U+0000 to U+00FF).
std::u16string NtfsOrderKey(const std::string& Name);

}  // namespace pictrane
