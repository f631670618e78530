// SPDX-License-Identifier: GPL-3.0-or-later
#include "pictrane/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <thread>
#include <utility>

#include "pictrane/TemporaryFile.h"

namespace pictrane {

struct WriteGroup::Staged {
  std::string Path;
  TemporaryFile File;
};

namespace {

// The group the writes of this thread go to, if one is open.
thread_local WriteGroup* CurrentGroup = nullptr;

// Flushes wait on the disk, not on the processor: a few side by side let the system commit them
// together.
constexpr std::size_t kFlushThreads = 16;

// Runs Work(0) .. Work(Count - 1), each once, on up to kFlushThreads threads, this one included.
// Work does not throw.
template <class Each>
void OnSeveralThreads(std::size_t Count, const Each& Work) {
  std::atomic<std::size_t> Next{0};
  const auto Run = [&] {
    for (std::size_t I = Next++; I < Count; I = Next++) Work(I);
  };
  std::vector<std::jthread> Others;
  for (std::size_t T = 1; T < std::min(Count, kFlushThreads); ++T) Others.emplace_back(Run);
  Run();
}

// The folder part of Path as written, to tell which writes share a folder.
std::string FolderKey(const std::string& Path) {
  const auto Slash = Path.find_last_of("/\\");
  return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

// The temporary of one write until the write is handed to its group: closed and removed when the
// write fails before that.
class PendingWrite {
 public:
  PendingWrite(const std::string& Path, const std::string& Source)
      : File_(CreateTemporaryBeside(Path, Source)) {}
  ~PendingWrite() {
    if (Handed_) return;
    CloseTemporary(File_);
    RemoveTemporary(File_);
  }
  PendingWrite(const PendingWrite&) = delete;
  PendingWrite& operator=(const PendingWrite&) = delete;

  TemporaryFile& File() { return File_; }
  // The temporary, written, for its group to put in place.
  TemporaryFile HandOver() {
    Handed_ = true;
    return File_;
  }

 private:
  TemporaryFile File_;
  bool Handed_ = false;
};

}  // namespace

WriteGroup::WriteGroup(std::string Source)
    : Source_(std::move(Source)), Outer_(std::exchange(CurrentGroup, this)) {}

WriteGroup::~WriteGroup() {
  for (Staged& Each : Staged_) {
    CloseTemporary(Each.File);
    RemoveTemporary(Each.File);
  }
  CurrentGroup = Outer_;
}

std::size_t WriteGroup::Pending() const {
  return Staged_.size();
}

std::vector<std::optional<RaisedError>> WriteGroup::Commit() {
  std::vector<Staged> Writes = std::exchange(Staged_, {});
  std::vector<std::optional<RaisedError>> Failed(Writes.size());
  // Only the last write to a target is put in place: the earlier ones it would replace whole.
  std::map<std::string, std::size_t> Last;
  for (std::size_t I = 0; I < Writes.size(); ++I) Last[Writes[I].Path] = I;
  // Each temporary is on the disk before it replaces its target, whatever the others do.
  OnSeveralThreads(Writes.size(), [&](std::size_t I) {
    Staged& Each = Writes[I];
    try {
      if (Last.at(Each.Path) == I) {
        FlushAndClose(Each.File, Each.Path, Source_);
        RenameOver(Each.File, Each.Path, Source_);
        return;
      }
    } catch (...) {
      Failed[I] = CurrentError(Source_);
    }
    CloseTemporary(Each.File);
    RemoveTemporary(Each.File);
  });
  // Then each folder once, so that the new names stay too.
  std::map<std::string, std::optional<RaisedError>> Folders;
  for (std::size_t I = 0; I < Writes.size(); ++I) {
    if (Failed[I] || Last.at(Writes[I].Path) != I) continue;
    const auto [Folder, First] = Folders.try_emplace(FolderKey(Writes[I].Path));
    if (!First) continue;
    try {
      FlushFolderOf(Writes[I].Path, Source_);
    } catch (...) {
      Folder->second = CurrentError(Source_);
    }
  }
  for (std::size_t I = 0; I < Writes.size(); ++I) {
    const std::size_t Placed = Last.at(Writes[I].Path);
    if (Failed[Placed]) {
      Failed[I] = Failed[Placed];
    } else if (const auto& Folder = Folders.at(FolderKey(Writes[I].Path))) {
      Failed[I] = Folder;
    }
  }
  return Failed;
}

void WriteGroup::Stage(const std::string& Path, const TemporaryFile& File) {
  Staged_.push_back({Path, File});
}

void WriteGroup::Place(const std::string& Path, const TemporaryFile& File,
                       const std::string& Source) {
  if (CurrentGroup != nullptr) {
    CurrentGroup->Stage(Path, File);
    return;
  }
  WriteGroup Alone(Source);
  Alone.Stage(Path, File);
  if (auto Failed = Alone.Commit().front()) throw std::move(*Failed);
}

void WriteAtomically(const std::string& Path, const std::function<void(const std::string&)>& Write,
                     const std::string& Source) {
  PendingWrite Pending(Path, Source);
  CloseTemporary(Pending.File());
  Write(Pending.File().Name);
  WriteGroup::Place(Path, Pending.HandOver(), Source);
}

void WriteFileAtomically(const std::string& Path, std::string_view Bytes,
                         const std::string& Source) {
  PendingWrite Pending(Path, Source);
  for (std::size_t Done = 0; Done < Bytes.size();)
    Done += WriteSomeOf(Pending.File(), Bytes.substr(Done), Path, Source);
  WriteGroup::Place(Path, Pending.HandOver(), Source);
}

}  // namespace pictrane
