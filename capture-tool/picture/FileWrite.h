// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every file the capture tool writes appears whole or not at all (AtomicFile.h), is flushed to the
// disk before it replaces the old one, and a write that ran out of room says "the disk is full";
// the file that was there stays as it was.

#include <sys/types.h>

#include <functional>
#include <string>
#include <string_view>

namespace pictrane::capture {

// Writes Bytes as the whole new content of Path. Raises RaisedError naming the file when it cannot
// be written.
void WriteWholeFile(const std::string& Path, std::string_view Bytes);

// Runs Write, a write of about Size bytes to Path that raises RaisedError when it fails; a
// failure on a disk without room for it is raised again as "Cannot write NAME: the disk is full."
void WriteNamingFullDisk(const std::string& Path, off_t Size, const std::function<void()>& Write);

}  // namespace pictrane::capture
