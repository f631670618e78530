// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What each system gives the atomic writes of AtomicFile.h: a temporary file beside the target,
// written, flushed to disk, renamed over the target or removed. The order of those steps, and
// what is cleaned up when one fails, is AtomicFile.cpp's alone. Every step that can fail raises a
// RaisedError from Source in the system's own words, naming Path (or its folder).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pictrane {

struct TemporaryFile {
  std::string Name;           // UTF-8, in the target's folder
  std::intptr_t Handle = -1;  // the system's open handle; -1 once closed
};

// Creates a new temporary beside Path, exclusively (never an existing name or a planted link),
// open for writing, with the attributes a file written there would get.
TemporaryFile CreateTemporaryBeside(const std::string& Path, const std::string& Source);
// Writes the start of Bytes, at least one byte of it; how many.
std::size_t WriteSomeOf(const TemporaryFile& File, std::string_view Bytes, const std::string& Path,
                        const std::string& Source);
// Has the system put what was written on the disk, then closes the handle: a full disk may only
// show here. A temporary already closed (written by a library through its name) is opened again
// by its name for that.
void FlushAndClose(TemporaryFile& File, const std::string& Path, const std::string& Source);
// Has the system put Path's folder entry on the disk, as a rename left it, where the system's
// rename does not do so itself.
void FlushFolderOf(const std::string& Path, const std::string& Source);
// Closes the handle, if still open, whatever the system says.
void CloseTemporary(TemporaryFile& File) noexcept;
// Renames the closed temporary over Path, which keeps what the system keeps of a replaced file.
void RenameOver(const TemporaryFile& File, const std::string& Path, const std::string& Source);
void RemoveTemporary(const TemporaryFile& File) noexcept;

}  // namespace pictrane
