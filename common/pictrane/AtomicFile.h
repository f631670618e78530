// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pictrane/RaisedError.h"

namespace pictrane {

struct TemporaryFile;

// Writes Path in one step as others see it: Write fills a new temporary file beside Path (a short
// hidden name in the same folder, created exclusively, so the final rename cannot cross file
// systems and no planted name or link is ever followed), which then replaces Path. A reader
// therefore finds either no file or a complete one, never a half-written one, even after a crash
// or a power loss: the temporary is flushed to the disk before the rename, and the folder after
// it, so Path is there, whole, once this returns. The new file keeps
// the mode of the file it replaces (a new one gets the usual mode for new files). When Write
// throws, or the temporary cannot be made, written or renamed (a full disk included), the
// temporary is removed and a RaisedError from Source describes the failure; Path is left as it
// was.
void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write,
                     const std::string& Source);

// The same for a file whose whole content is Bytes, written through the handle the temporary was
// created with rather than by opening its name again.
void WriteFileAtomically(const std::string& Path, std::string_view Bytes,
                         const std::string& Source);

// Atomic writes made on this thread while a WriteGroup is open (the two above) are put in place
// together, by Commit: each is written to its temporary at once, then the temporaries are flushed
// to the disk side by side (the system commits its journal once for them all rather than once a
// file), each renamed over its target as soon as its own flush is done, and every folder they are
// in flushed once. A target is left as it was until Commit. A write that fails before Commit
// (its temporary cannot be made or written) raises at once, as outside a group, and takes no
// part. A group closed without Commit removes the temporaries it still holds.
class WriteGroup {
 public:
  explicit WriteGroup(std::string Source);
  ~WriteGroup();
  WriteGroup(const WriteGroup&) = delete;
  WriteGroup& operator=(const WriteGroup&) = delete;

  // How many writes wait for Commit.
  std::size_t Pending() const;
  // Puts every write made since the group opened, or since the last Commit, in place; for each,
  // in the order they were made, what kept it from its place (its target then is as it was), or
  // nothing once it is there to stay. A later write to the same target wins, as it would one
  // after the other.
  std::vector<std::optional<RaisedError>> Commit();

 private:
  struct Staged;
  void Stage(const std::string& Path, const TemporaryFile& File);
  // Hands a written temporary to the open group, or puts it in place at once.
  static void Place(const std::string& Path, const TemporaryFile& File, const std::string& Source);
  friend void WriteAtomically(const std::string&, const std::function<void(const std::string&)>&,
                              const std::string&);
  friend void WriteFileAtomically(const std::string&, std::string_view, const std::string&);
  std::string Source_;
  std::vector<Staged> Staged_;
  WriteGroup* Outer_;
};

// Removes from Folder the temporaries that writes like the ones above left behind when the process
// was killed mid-write: ordinary files of this user named as this file's temporaries are, last
// written more than MinAge ago, so that no running write can still own one. Every other name, a
// link, a folder and a younger temporary stay; what cannot be removed stays too, without a word.
void RemoveStaleTemporaries(const std::string& Folder,
                            std::chrono::seconds MinAge = std::chrono::hours(24));

}  // namespace pictrane
